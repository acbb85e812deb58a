#pragma once
// What the system offers beyond the portable calls, where it offers it: a new file whose name
// appears only once its contents are complete, made in fewer system calls than a temporary
// name and a rename; a file opened for reading only once it is known to be a regular file;
// a write that fails rather than a signal that kills; large memory pages for a large buffer.
// Elsewhere, or where the file system refuses, the callers go the portable way.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <filesystem>

namespace Platform {

// What createComplete did.
enum class NewFile {
    Created,   // the file is there with all of `data`
    NameTaken, // something has that name already (a file, a folder, a link): nothing changed
    NotDone    // not done, for whatever reason: nothing changed, the caller goes the portable way
};

// Creates the file `nativeName` (the name as the file system spells it) holding `data`: the
// name appears with the whole contents or not at all, and never replaces what has it already
// (a link there is not followed). `durable`, for a file that is to replace another: the
// contents reach the disk before the name appears, and only the owner may read it (the caller
// then gives it the rights of the file it replaces).
NewFile createComplete(const QByteArray& nativeName, QByteArrayView data, bool durable = false);

// While one lives, createComplete on its thread keeps the last folder it wrote into open and
// makes the files there from it, without looking the folder's path up twice per file: a run
// writes thousands of files into one folder. The folder is the one that had the path when the
// first file went there; it is let go with the last KeptFolder of the thread.
class KeptFolder {
public:
    KeptFolder();
    ~KeptFolder();
    KeptFolder(const KeptFolder&) = delete;
    KeptFolder& operator=(const KeptFolder&) = delete;

private:
    bool m_owner = false;
};

// What readSmall did.
enum class SmallFile {
    Read,       // `bytes` holds the whole file
    TooLarge,   // a regular file of more than the limit: nothing read
    NotRegular, // a FIFO, a device or a socket (links followed): never opened, or not read
    NotDone     // not done, for whatever reason (a folder, an error, a file that changed while
                // it was read): the caller goes the portable way, which says what is wrong
};

// Reads the regular file `nativeName` whole, when it holds `limit` bytes at most: five system
// calls (status, open, status of what was opened, one read, close).
SmallFile readSmall(const QByteArray& nativeName, qint64 limit, QByteArray& bytes);

// What openRegular did.
enum class OpenRead {
    Opened,     // `fd` is open for reading on a regular file; the caller closes it
    NotRegular, // a FIFO, a device or a socket (links followed): never opened, or closed at once
    NotDone     // not done (missing, a folder, no rights...): the portable way says what is wrong
};

// Opens `nativeName` for reading when it is a regular file once links are followed. It is
// looked at before it is opened, so that a device is not opened at all, and opened without
// waiting, so that a FIFO put there meanwhile does not block; what was opened is looked at again.
OpenRead openRegular(const QByteArray& nativeName, int& fd);

// Gives the complete file `from` the name `to`, in the same folder. With `replace`, what has
// that name is replaced, and on Windows the move reaches the disk before this returns; without
// it, Windows refuses a name that is taken (elsewhere a link at the name is replaced, as the
// callers want). Returns an empty text, or the system's reason for a failure.
QString moveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to, bool replace);

// The Windows code page of a character set name that Qt's own converters do not know there
// (Qt for Windows comes without ICU, which knows them elsewhere): 0 on other systems, and for
// a name with no code page.
unsigned codePageFor(QStringView name);
// `bytes` read in the Windows code page `codePage`.
QString decodeCodePage(unsigned codePage, QByteArrayView bytes);

// Sends the contents written through the descriptor `fd` to the disk; false when that failed.
bool flushToDisk(int fd);

// Whether no process of the number `pid` runs on this system any more (false when it cannot
// be told: a file of a process that may still run is left alone).
bool processGone(qint64 pid);

// A write to a closed pipe, or past the file-size limit, fails with an error the program
// reports, rather than raising a signal that ends the process without a word.
void reportWriteSignalsAsErrors();

// Asks that the memory of a buffer of kLargePagesFrom bytes or more be backed by large pages: a
// buffer of tens of megabytes filled once and read through costs far less in page faults and
// address look-ups. Only a hint: nothing changes where it is not heard.
constexpr qsizetype kLargePagesFrom = qsizetype(8) << 20;
void adviseLargePages(void* data, qsizetype size);

} // namespace Platform
