#pragma once
// The per-card files of a run, written on a second thread. Failures reach the run's log even
// when the run ends early. Private to split.cpp and the contacts conversion.
#include "kzlex/filewriter.h"
#include "kzmain/kzmain.h"

class RunWriter {
public:
    // Continue: a failed file is logged and the run goes on. Drop: the run stops at the first
    // failure (thrown from the next write() or finish()) and files queued after it are not written.
    RunWriter(TF_Principal& p, FileWriter::OnFailure onFailure) : m_p(p), m_writer(onFailure) {}

    // On an early end (stop, error) the files given are still written and their failures logged.
    ~RunWriter() {
        try {
            m_writer.waitAll();
            for (const std::exception_ptr& failure : m_writer.takeFailures())
                log(failure);
        } catch (...) {
        }
    }

    void write(const QString& fileName, QByteArray data) {
        report();
        m_writer.write(fileName, std::move(data));
    }

    void writeUtf8(const QString& fileName, QString text) {
        report();
        m_writer.writeUtf8(fileName, std::move(text));
    }

    // An emptied buffer of a written file, for the next one (FileWriter::spareBytes).
    QByteArray spareBytes() { return m_writer.spareBytes(); }
    QString spareText() { return m_writer.spareText(); }

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
            m_p.LogError(e);
        }
    }

    TF_Principal& m_p;
    FileWriter m_writer;
};
