#pragma once
// Writes files on a thread of its own, in the order given, so that a conversion prepares the
// next card while the file system stores the last one.
#include "kzlex/fileio.h"
#include "kzlex/streamedfile.h"
#include "kzlex/workqueue.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <exception>
#include <memory>
#include <vector>

class FileWriter {
public:
    // What happens to the files still waiting after a write fails.
    enum class OnFailure {
        Continue, // they are written all the same
        Drop      // they are not written (the run stops at the failure)
    };

    // With Threading::Caller, or when no thread can be started, each file is written when queued.
    // Files are written with `access`. `fault` is called by the writing thread after each file.
    explicit FileWriter(OnFailure onFailure = OnFailure::Continue, Threading threading = Threading::Own,
                        FileAccess access = FileAccess::Quick, FaultHook fault = {});
    // Writes what is still waiting, then ends the thread. Call waitAll() and takeFailures()
    // before: a failure not taken by then is not reported.
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    OnFailure onFailure() const { return m_onFailure; }
    // The files written so far (after waitAll(): every file written).
    qint64 written() const { return m_written; }

    // Queues a file, written as WriteFileAtomic does for a name the run made; waits while too
    // many files wait already.
    void write(const QString& fileName, QByteArray data);
    // Queues a file of text, encoded as UTF-8 on the writing thread.
    void writeUtf8(const QString& fileName, QString text);
    // A buffer given with an earlier file and written since, emptied with its room kept, for
    // the next file's contents; an empty one when there is none. Memory that went to the
    // writing thread and was freed there would be given back to the system and asked for
    // again every few files.
    QByteArray spareBytes();
    QString spareText();
    // Queues a file as write() or writeUtf8() does and returns a buffer for the next file's
    // contents: a spare one, with room for as much as this one.
    QByteArray writeReusing(const QString& fileName, QByteArray data);
    QString writeUtf8Reusing(const QString& fileName, QString text);
    // Queues the putting in place of a file already written under a temporary name.
    void place(const QString& fileName, std::unique_ptr<StreamedFile> file);
    // Waits until every queued file is written (or dropped). This, write() and the calls that
    // queue a file throw what ended the writing thread (memory), if anything did.
    void waitAll();
    // The errors of the writes that failed since the last call, in order (each a FileWriteError,
    // or std::bad_alloc); rethrow one to see it.
    std::vector<std::exception_ptr> takeFailures();

private:
    struct Job {
        QString fileName;
        QByteArray data;
        QString text;                           // encoded as UTF-8 into data before the write, when not null
        std::shared_ptr<StreamedFile> streamed; // put in place instead, when given
    };
    void queue(Job job);
    // The writing thread's work: writes the jobs queued until the end.
    void run();
    // Writes `job` (or drops it after a failure), records its failure, keeps its buffer.
    void perform(Job& job);

    const OnFailure m_onFailure;
    const FileAccess m_access;
    const FaultHook m_fault;
    std::atomic<qint64> m_written{0};
    bool m_failed = false; // a write failed: with Drop, later files are not written
    Handback<std::exception_ptr> m_failures;
    Handback<QByteArray> m_spareBytes;
    Handback<QString> m_spareTexts;
    WorkQueue<Job> m_queue;
};
