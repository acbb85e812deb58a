#pragma once
// What the system offers beyond the portable calls, where it offers it: a new file whose name
// appears only once its contents are complete, made in fewer system calls than a temporary
// name and a rename, and large memory pages for a large buffer. Elsewhere, or where the file
// system refuses, the callers go the portable way.
#include <QByteArray>
#include <QByteArrayView>

namespace Platform {

// What createComplete did.
enum class NewFile {
    Created,   // the file is there with all of `data`
    NameTaken, // something has that name already (a file, a folder, a link): nothing changed
    NotDone    // not done, for whatever reason: nothing changed, the caller goes the portable way
};

// Creates the file `nativeName` (the name as the file system spells it) holding `data`: the
// name appears with the whole contents or not at all, and never replaces what has it already.
NewFile createComplete(const QByteArray& nativeName, QByteArrayView data);

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
    Read,     // `bytes` holds the whole file
    TooLarge, // a regular file of more than the limit: nothing read
    NotDone   // not done, for whatever reason (no regular file, an error, a file that changed
              // while it was read): the caller goes the portable way, which says what is wrong
};

// Reads the regular file `nativeName` whole, when it holds `limit` bytes at most: four system
// calls (open, status, one read, close) where the portable way makes six.
SmallFile readSmall(const QByteArray& nativeName, qint64 limit, QByteArray& bytes);

// Whether WriteFileAtomic and LineList::readWhole try createComplete and readSmall first (on by
// default). Off, every file goes the portable way: the tests run both.
void setQuickFiles(bool on);
bool quickFiles();

// Asks that the memory of a buffer of kLargePagesFrom bytes or more be backed by large pages: a
// buffer of tens of megabytes filled once and read through costs far less in page faults and
// address look-ups. Only a hint: nothing changes where it is not heard.
constexpr qsizetype kLargePagesFrom = qsizetype(8) << 20;
void adviseLargePages(void* data, qsizetype size);

} // namespace Platform
