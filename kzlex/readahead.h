#pragma once
// Reads a list of files on a thread of its own, ahead of the code that uses them, so that a
// merge works on one file while the next ones are read.
#include "kzlex/linelist.h"
#include "kzlex/workqueue.h"

#include <QStringList>

#include <exception>
#include <optional>

class ReadAhead {
public:
    // With Threading::Caller, or when no thread can be started, next() reads each file itself.
    // Files are read with `access`. `fault` is called by the reading thread before it hands on
    // each file.
    explicit ReadAhead(QStringList fileNames, Threading threading = Threading::Own,
                       FileAccess access = FileAccess::Quick, FaultHook fault = {});
    // Stops reading and ends the thread; files read ahead and not taken are dropped.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The text of the next file, in the order given, as InputText::load reads it; throws what
    // reading that file threw. Nothing is read after a file that failed; asking past it, or
    // past the last file, throws std::out_of_range. Throws what ended the reading thread, once
    // the files it read before are taken.
    InputText next();

private:
    struct Item {
        std::optional<InputText> text; // none for a large file: next() reads it itself
        qsizetype size = 0;            // the bytes read
        std::exception_ptr failure;
    };
    // A file read, and checked as InputText::loadBytes checks it, as the thread reads it.
    Item read(const QString& name) const;
    // The reading thread's work: reads the files up to the last or a failed one.
    void run();

    const QStringList m_names;
    const FileAccess m_access;
    const FaultHook m_fault;
    qsizetype m_taken = 0; // files handed out by next()
    bool m_failed = false; // a file could not be read: next() hands out no more
    WorkQueue<Item> m_queue;
};
