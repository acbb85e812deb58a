#pragma once
// One Run's work on a worker thread. What the run shows is gathered there and handed to the
// window's thread in batches (every few hundredths of a second, or sooner when many lines
// wait), so that a run of a million log lines costs the window a few hundred updates.
#include "kzmain/run.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// What a run showed since the last batch: cleared outputs, then the lines of each view, then the
// last counter and progress.
struct ShownBatch {
    enum class Kind { ClearCompteur, ClearMemo, ClearLog, Log, Notice };
    // The outputs cleared, in order, before any line of the batch: a clear never follows a line
    // in one batch (the batch is handed over before it).
    QList<Kind> clears;
    // The log's lines, each with whether it is a notice, and the processed-files list's lines.
    LineBlock log;
    std::vector<bool> notices;
    LineBlock memo;
    std::optional<QString> compteur;
    std::optional<std::pair<qint64, qint64>> progress;
    qsizetype lines = 0;

    bool isEmpty() const { return clears.isEmpty() && log.isEmpty() && memo.isEmpty() && !compteur && !progress; }
    // Shows the batches on `sink` in order, handing their lines over (a batch is shown once), then
    // the last counter and progress among them. Those two go once: setting a progress bar's value
    // repaints the window there and then, so once per batch would paint it once per batch.
    static void showAll(const std::vector<std::shared_ptr<ShownBatch>>& batches, RunSink& sink);
};

// The worker thread's sink: gathers a batch and hands it to `post` when it is due.
class BatchingSink : public RunSink {
public:
    BatchingSink(bool showsProgress, std::function<void(std::shared_ptr<ShownBatch>)> post);

    void clearCompteur() override;
    void clearMemo() override { clear(ShownBatch::Kind::ClearMemo); }
    void clearLog() override { clear(ShownBatch::Kind::ClearLog); }
    void appendMemo(const QString& line) override;
    void appendLog(const QString& line) override { append(ShownBatch::Kind::Log, line); }
    void appendLogNotice(const QString& line) override { append(ShownBatch::Kind::Notice, line); }
    void setCompteur(const QString& text) override;
    bool showsProgress() const override { return m_showsProgress; }
    void setProgress(qint64 done, qint64 total) override;

    // Hands over what was gathered, if anything.
    void flush();

private:
    void clear(ShownBatch::Kind kind);
    void append(ShownBatch::Kind kind, const QString& line);
    // One more call: the batch goes when it is old or large enough.
    void added();

    const bool m_showsProgress;
    std::function<void(std::shared_ptr<ShownBatch>)> m_post;
    std::shared_ptr<ShownBatch> m_batch;
    QElapsedTimer m_sinceFlush;
    unsigned m_calls = 0;
};

class RunThread : public QObject {
    Q_OBJECT

public:
    // `shown` shows the batches, on this object's thread; `ended` is called there once the run
    // has ended and all it showed was shown, with its report and what escaped it (or null).
    RunThread(RunSink& shown, std::function<void(const RunReport&, std::exception_ptr)> ended);
    // A run still under way is stopped (as for a closing window) and waited for.
    ~RunThread() override;

    // The sink to make the Run with: it is called on the worker thread.
    RunSink& sink() { return m_sink; }
    // Runs `run` (made with sink()) on a new thread.
    void start(std::unique_ptr<Run> run);
    void requestStop(bool closing);
    // Blocks until the worker thread has ended (its last batches and `ended` are still to come
    // through the event loop).
    void wait();

private:
    void work();
    // On this object's thread, every few hundredths of a second: ends the run once its thread is
    // done, and shows the batches that wait when it last did a quarter of a second ago or more.
    // The worker posts no event: a timer of this thread's own is what reliably wakes its event
    // loop on every system (a queued call from another thread could be left undelivered under
    // Wine).
    void poll();
    void finish();

    RunSink& m_shown;
    std::function<void(const RunReport&, std::exception_ptr)> m_ended;
    BatchingSink m_sink;
    std::unique_ptr<Run> m_run;
    std::thread m_thread;
    QTimer m_poll;
    QElapsedTimer m_sinceShown;
    std::mutex m_mutex; // guards m_waiting
    std::vector<std::shared_ptr<ShownBatch>> m_waiting;
    std::atomic<bool> m_done{false};
    RunReport m_report;
    std::exception_ptr m_error;
};
