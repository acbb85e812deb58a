#include "ui/presenter/runthread.h"

#include <utility>

namespace {

// A batch goes to the window's queue this often at most, unless it holds this many lines.
constexpr qint64 kFlushIntervalMs = 25;
constexpr qsizetype kFlushLines = 16384;
// The window looks for the run's end at this interval, and shows what waits at most this often:
// every showing repaints the views, the counter and what lies under them (a few milliseconds of
// the cores the run shares), and four a second keep the counter moving.
constexpr int kPollIntervalMs = 25;
constexpr qint64 kShowIntervalMs = 250;
// The clock is read once in this many calls.
constexpr unsigned kCallsPerClockRead = 32;

} // namespace

void ShownBatch::showAll(const std::vector<std::shared_ptr<ShownBatch>>& batches, RunSink& sink) {
    std::optional<QString> compteur;
    std::optional<std::pair<qint64, qint64>> progress;
    for (const std::shared_ptr<ShownBatch>& batch : batches) {
        // Each batch's clears first, then each view's lines in one call.
        for (Kind kind : batch->clears) {
            if (kind == Kind::ClearCompteur) {
                sink.clearCompteur();
                compteur.reset(); // a counter from an earlier batch is gone with it
            } else if (kind == Kind::ClearMemo) {
                sink.clearMemo();
            } else if (kind == Kind::ClearLog) {
                sink.clearLog();
            }
        }
        if (!batch->log.isEmpty())
            sink.appendLogLines(std::exchange(batch->log, {}), batch->notices);
        if (!batch->memo.isEmpty())
            sink.appendMemoLines(std::exchange(batch->memo, {}));
        if (batch->compteur)
            compteur = batch->compteur;
        if (batch->progress)
            progress = batch->progress;
    }
    if (compteur)
        sink.setCompteur(*compteur);
    if (progress)
        sink.setProgress(progress->first, progress->second);
}

BatchingSink::BatchingSink(bool showsProgress, std::function<void(std::shared_ptr<ShownBatch>)> post)
    : m_showsProgress(showsProgress), m_post(std::move(post)), m_batch(std::make_shared<ShownBatch>()) {
    m_sinceFlush.start();
}

void BatchingSink::clear(ShownBatch::Kind kind) {
    // What came before a clear goes first.
    if (m_batch->lines > 0)
        flush();
    m_batch->clears.append(kind);
    added();
}

void BatchingSink::appendMemo(const QString& line) {
    m_batch->memo.append(line);
    ++m_batch->lines;
    added();
}

void BatchingSink::clearCompteur() {
    m_batch->compteur.reset();
    clear(ShownBatch::Kind::ClearCompteur);
}

void BatchingSink::append(ShownBatch::Kind kind, const QString& line) {
    m_batch->log.append(line);
    m_batch->notices.push_back(kind == ShownBatch::Kind::Notice);
    ++m_batch->lines;
    added();
}

void BatchingSink::setCompteur(const QString& text) {
    m_batch->compteur = text;
    added();
}

void BatchingSink::setProgress(qint64 done, qint64 total) {
    m_batch->progress = {done, total};
    added();
}

void BatchingSink::added() {
    if (m_batch->lines < kFlushLines &&
        (++m_calls % kCallsPerClockRead != 0 || m_sinceFlush.elapsed() < kFlushIntervalMs))
        return;
    flush();
}

void BatchingSink::flush() {
    m_sinceFlush.start();
    if (m_batch->isEmpty())
        return;
    std::shared_ptr<ShownBatch> full = std::exchange(m_batch, std::make_shared<ShownBatch>());
    full->log.squeeze();
    full->memo.squeeze();
    m_post(std::move(full));
}

RunThread::RunThread(RunSink& shown, std::function<void(const RunReport&, std::exception_ptr)> ended)
    : m_shown(shown), m_ended(std::move(ended)),
      m_sink(shown.showsProgress(), [this](std::shared_ptr<ShownBatch> batch) {
          const std::lock_guard<std::mutex> lock(m_mutex);
          m_waiting.push_back(std::move(batch));
      }) {
    m_poll.setInterval(kPollIntervalMs);
    connect(&m_poll, &QTimer::timeout, this, &RunThread::poll);
}

RunThread::~RunThread() {
    requestStop(true);
    wait();
}

void RunThread::start(std::unique_ptr<Run> run) {
    m_run = std::move(run);
    m_done = false;
    m_thread = std::thread([this] { work(); });
    m_sinceShown.start();
    m_poll.start();
}

void RunThread::requestStop(bool closing) {
    if (m_run)
        m_run->requestStop(closing);
}

void RunThread::wait() {
    if (m_thread.joinable())
        m_thread.join();
}

// The worker thread's body: nothing leaves it; what escaped the run is handed over with its report.
void RunThread::work() {
    try {
        m_report = m_run->exec();
    } catch (...) {
        m_error = std::current_exception();
        m_report = m_run->report();
    }
    try {
        m_sink.flush();
    } catch (...) {
        if (!m_error)
            m_error = std::current_exception();
    }
    m_done = true;
}

void RunThread::poll() {
    // Read before the batches are taken: a run seen done has handed over its last one.
    const bool done = m_done;
    if (!done && m_sinceShown.elapsed() < kShowIntervalMs)
        return;
    m_sinceShown.start();
    std::vector<std::shared_ptr<ShownBatch>> batches;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        batches.swap(m_waiting);
    }
    ShownBatch::showAll(batches, m_shown);
    if (done) {
        m_poll.stop();
        finish(); // last: what it calls may end this object
    }
}

void RunThread::finish() {
    wait();
    m_ended(m_report, m_error);
}
