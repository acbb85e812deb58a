#pragma once
// Reads a list of files on a thread of its own, ahead of the code that uses them, so that a
// merge works on one file while the next ones are read.
#include "kzlex/linelist.h"

#include <QStringList>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

class ReadAhead {
public:
    explicit ReadAhead(QStringList fileNames);
    // Stops reading and ends the thread; files read ahead and not taken are dropped.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The text of the next file, in the order given, as InputText::load reads it; throws what
    // reading that file threw. Nothing is read after a file that failed; asking past it, or
    // past the last file, throws std::out_of_range.
    InputText next();

private:
    struct Item {
        std::optional<QByteArray> bytes; // none for a large file: next() reads it itself
        std::exception_ptr failure;
    };
    void run();
    bool full() const;

    const QStringList m_names;
    qsizetype m_taken = 0; // files handed out by next()
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_queue;
    qsizetype m_queuedBytes = 0;
    bool m_closing = false;
    bool m_done = false;          // the thread has read its last file
    bool m_readerWaiting = false; // the thread sleeps until the queue drains
    bool m_userWaiting = false;   // next() sleeps until files are read
    bool m_threaded = false;      // false when no thread could be started: next() reads itself
    std::thread m_thread;
};
