#pragma once
// Reading and writing files safely: regular files only, and a file replaced whole or not at all.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <filesystem>

// How files are read and written: the system's quicker calls first where it has them (a new file
// made complete in one step, a small file read in one go), or the portable calls alone. Both
// give the same files and the same errors; the tests run both.
enum class FileAccess { Quick, Portable };

// The bytes of a regular file (a picture); throws FileReadError when it is no regular file or
// cannot be read.
QByteArray ReadWholeFile(const QString& fileName, FileAccess access = FileAccess::Quick);
// Opens `file` on `fileName` for reading when it is a regular file once links are followed: a
// FIFO, a device or a socket is refused (FileReadError) before anything is read, and a FIFO is
// never waited on. Throws FileReadError when it cannot be opened.
void OpenRegularFile(QFile& file, const QString& fileName, QIODevice::OpenMode mode,
                     FileAccess access = FileAccess::Quick);

// Whose choice the name of a file to write is.
enum class WriteTarget {
    RunNamed,  // a name that the run made (a card's file, a picture of the image cache): a link
               // at that name is replaced by the file, and what it names is left alone
    UserChosen // a path that the user chose (an output file, the settings file): a link to a
               // regular file is followed, that file is replaced and the link stays
};

// Writes bytes to a file whole or not at all, through a temporary file in the same folder
// renamed into place: synced when it replaces an existing file, not synced when the file is
// new. Every short write or failed close throws FileWriteError (naming the file) and leaves
// the old file as it was and no temporary file behind. A folder, a FIFO, a device or a socket
// at the name (or, for a chosen path, at the end of its link) is an error and stays as it is,
// and so is a chosen path that is a link to a missing file. Writing a chosen path first removes
// what killed runs left in its folder.
void WriteFileAtomic(const QString& fileName, const QByteArray& data,
                     WriteTarget target = WriteTarget::UserChosen, FileAccess access = FileAccess::Quick);

// Removes the temporary files that runs which were killed left in `folder` (those of processes
// that no longer run). A run calls it once for a folder it writes its own names into.
void RemoveLeftoverTemporaries(const QString& folder);

// Why no new file can be made in `folder` ("" when one can): a temporary file is made there and
// removed at once. Rights alone do not tell (an administrator, a read-only file system).
QString NewFileRefusal(const QString& folder);

// For the tests: called with the file's name just before a temporary file is renamed into its
// place (null: nothing).
void SetRenameHook(void (*hook)(const QString& fileName));

// The name as the file system spells it (a QString may hold what UTF-8 cannot encode).
std::filesystem::path NativePath(const QString& name);

// Joins a folder typed by the user and a file name with exactly one "/" between them.
QString JoinPath(const QString& folder, const QString& name);
