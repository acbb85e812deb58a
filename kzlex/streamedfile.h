#pragma once
// A file too large to be held in memory: written a block at a time under a temporary name in
// the folder it goes to, then renamed into place whole, so that it is never seen half-written
// and a killed run's leftover is cleared like any other temporary file of the run.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringView>

class StreamedFile {
public:
    // Makes the temporary file in `folder` ("" is the current folder). A failure is kept and
    // thrown by placeAs(), which names the file then known.
    explicit StreamedFile(const QString& folder);
    // Removes the temporary file when it was not put in place.
    ~StreamedFile();
    StreamedFile(const StreamedFile&) = delete;
    StreamedFile& operator=(const StreamedFile&) = delete;

    void append(QByteArrayView bytes);
    // Text as UTF-8; a surrogate pair must not be cut between two calls.
    void append(QStringView text);
    // Everything written into `other` so far.
    void appendFrom(StreamedFile& other);

    // Renames the file to `fileName`, a name that the run made: a link there is replaced, an
    // existing file replaced after its contents reach the disk, keeping its permissions; a
    // folder, a FIFO, a device or a socket there is an error and stays. Throws FileWriteError
    // naming `fileName` for that, or for any failure since the file was made.
    void placeAs(const QString& fileName);

private:
    void fail(const QString& reason);

    QFile m_file;
    QString m_failure;
    bool m_placed = false;
};
