#pragma once
// The per-card files of a run, written on a second thread. Failures reach the run's log even
// when the run ends early; the files written are counted in its report. Private to split.cpp
// and the contacts conversion.
#include "kzlex/filewriter.h"
#include "kzmain/run.h"

class RunWriter {
public:
    // Continue: a failed file is logged and the run goes on. Drop: the run stops at the first
    // failure (thrown from the next write() or finish()) and files queued after it are not written.
    RunWriter(Run& run, FileWriter::OnFailure onFailure)
        : m_run(run), m_writer(onFailure, Threading::Own, run.options().files) {}

    // On an early end (stop, error) the files given are still written and their failures logged.
    ~RunWriter() {
        try {
            m_writer.waitAll();
            for (const std::exception_ptr& failure : m_writer.takeFailures())
                log(failure);
            m_run.counts().filesWritten += m_writer.written();
        } catch (...) {
        }
    }

    // Queues a file (bytes, or text written as UTF-8) and returns the buffer for the next one: an
    // emptied buffer of the same room that the writing thread is done with.
    QByteArray writeReusing(const QString& fileName, QByteArray data) {
        report();
        return m_writer.writeReusing(fileName, std::move(data));
    }
    QString writeUtf8Reusing(const QString& fileName, QString text) {
        report();
        return m_writer.writeUtf8Reusing(fileName, std::move(text));
    }

    // Queues the putting in place of a file written under a temporary name.
    void place(const QString& fileName, std::unique_ptr<StreamedFile> file) {
        report();
        m_writer.place(fileName, std::move(file));
    }

    // Waits for every file; reports what failed.
    void finish() {
        m_writer.waitAll();
        report();
    }

private:
    void report() {
        for (const std::exception_ptr& failure : m_writer.takeFailures()) {
            if (m_writer.onFailure() == FileWriter::OnFailure::Drop)
                std::rethrow_exception(failure);
            log(failure);
        }
    }
    // A write error becomes its log line; anything else (memory) leaves the run.
    void log(const std::exception_ptr& failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const KzError& e) {
            m_run.LogError(e);
        }
    }

    Run& m_run;
    FileWriter m_writer;
};
