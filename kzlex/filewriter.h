#pragma once
// Writes files on a thread of its own, in the order given, so that a conversion prepares the
// next card while the file system stores the last one.
#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

class FileWriter {
public:
    // What happens to the files still waiting after a write fails.
    enum class OnFailure {
        Continue, // they are written all the same
        Drop      // they are not written (the run stops at the failure)
    };

    explicit FileWriter(OnFailure onFailure = OnFailure::Continue);
    // Writes what is still waiting, then ends the thread. Call waitAll() and takeFailures()
    // before: a failure not taken by then is not reported.
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    OnFailure onFailure() const { return m_onFailure; }

    // Queues a file, written as WriteFileAtomic does; waits while too many files wait already.
    void write(const QString& fileName, QByteArray data);
    // Queues a file of text, encoded as UTF-8 on the writing thread.
    void writeUtf8(const QString& fileName, QString text);
    // A buffer given with an earlier file and written since, emptied with its room kept, for
    // the next file's contents; an empty one when there is none. Memory that went to the
    // writing thread and was freed there would be given back to the system and asked for
    // again every few files.
    QByteArray spareBytes();
    QString spareText();
    // Waits until every queued file is written (or dropped).
    void waitAll();
    // The errors of the writes that failed since the last call, in order (each a FileWriteError,
    // or std::bad_alloc); rethrow one to see it.
    std::vector<std::exception_ptr> takeFailures();

private:
    struct Job {
        QString fileName;
        QByteArray data;
        QString text; // encoded as UTF-8 into data before the write, when not null
    };
    void queue(Job job);
    void run();

    const OnFailure m_onFailure;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_queue;
    std::vector<std::exception_ptr> m_failures;
    std::vector<QByteArray> m_spareBytes;
    std::vector<QString> m_spareTexts;
    bool m_busy = false; // the thread is writing a job taken off the queue
    bool m_closing = false;
    bool m_failed = false;          // a write failed: with Drop, later files are not written
    bool m_writerWaiting = false;   // the thread sleeps until a file is queued
    bool m_producerWaiting = false; // write() or waitAll() sleeps until the queue drains
    std::thread m_thread;
};
