#include "kzlex/unfoldahead.h"

#include "kzlex/propertyline.h"

#include <system_error>

namespace {
// A batch holds this many lines or characters at most (a picture's data is one long line).
constexpr size_t kBatchLines = 512;
constexpr qsizetype kBatchChars = qsizetype(1) << 16;
// Batches made and not taken at most; the reading side goes on once they are down to kResumeAt.
constexpr size_t kMaxReady = 4;
constexpr size_t kResumeAt = 1;
// Emptied batches kept for reuse, their room with them.
constexpr size_t kMaxSpares = kMaxReady + 2;
} // namespace

UnfoldAhead::UnfoldAhead(InputLines& lines, LineStep step) : m_lines(lines), m_step(std::move(step)) {
    try {
        m_thread = std::thread([this] { run(); });
        m_threaded = true;
    } catch (const std::system_error&) {
        // No thread to be had: next() unfolds the lines itself.
    }
}

UnfoldAhead::~UnfoldAhead() {
    if (!m_threaded)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool UnfoldAhead::fill(Batch& batch) {
    batch.text.truncate(0);
    batch.ends.clear();
    batch.numbers.clear();
    batch.taken = 0;
    batch.failure = nullptr;
    batch.last = false;
    if (m_lu == 0 && !m_reste) {
        // The first line: unfolding looks one line ahead.
        m_reste = m_lines.next(m_suivante);
        m_lu = m_reste ? 1 : -1;
    }
    auto suivante = [this] {
        m_reste = m_lines.next(m_suivante);
        if (m_reste)
            ++m_lu;
    };
    while (m_reste && batch.ends.size() < kBatchLines && batch.text.size() < kBatchChars) {
        const qsizetype numero = m_lu;
        const qsizetype debut = batch.text.size();
        batch.text.append(m_suivante);
        suivante();
        while (m_reste) {
            if (PropertyLine::joinsSoftly(QStringView(batch.text).sliced(debut), m_suivante)) {
                // A quoted-printable soft line break: the next line goes on, as it stands.
                PropertyLine::dropSoftBreak(batch.text);
                batch.text.append(m_suivante);
            } else if (m_suivante.startsWith(QLatin1Char(' '))) {
                // A following line that starts with one blank continues this one.
                batch.text.append(QStringView(m_suivante).mid(1));
            } else {
                break;
            }
            suivante();
        }
        if (m_step)
            m_step(batch.text, debut);
        batch.ends.push_back(batch.text.size());
        batch.numbers.push_back(numero);
    }
    return m_reste;
}

void UnfoldAhead::run() {
    for (;;) {
        Batch batch;
        {
            std::lock_guard lock(m_mutex);
            if (!m_spares.empty()) {
                batch = std::move(m_spares.back());
                m_spares.pop_back();
            }
        }
        make(batch);
        const bool more = !batch.last;
        std::unique_lock lock(m_mutex);
        if (m_ready.size() >= kMaxReady && !m_closing) {
            m_readerWaiting = true;
            m_changed.wait(lock, [this] { return m_closing || m_ready.size() <= kResumeAt; });
            m_readerWaiting = false;
        }
        if (m_closing)
            return;
        m_ready.push_back(std::move(batch));
        const bool wake = m_userWaiting;
        lock.unlock();
        if (wake)
            m_changed.notify_all();
        if (!more)
            return;
    }
}

void UnfoldAhead::make(Batch& batch) {
    try {
        batch.last = !fill(batch);
    } catch (...) {
        batch.failure = std::current_exception();
        batch.last = true;
    }
}

void UnfoldAhead::nextBatch() {
    if (!m_threaded) {
        make(m_current);
        return;
    }
    std::unique_lock lock(m_mutex);
    if (m_spares.size() < kMaxSpares && m_current.text.capacity() > 0)
        m_spares.push_back(std::move(m_current));
    if (m_ready.empty()) {
        m_userWaiting = true;
        m_changed.wait(lock, [this] { return !m_ready.empty(); });
        m_userWaiting = false;
    }
    m_current = std::move(m_ready.front());
    m_ready.pop_front();
    const bool wake = m_readerWaiting && m_ready.size() <= kResumeAt;
    lock.unlock();
    if (wake)
        m_changed.notify_all();
}

bool UnfoldAhead::next(QString& line, qsizetype& number) {
    while (m_current.taken == m_current.ends.size()) {
        // A batch that ends in a failure is the last one.
        if (m_current.failure)
            std::rethrow_exception(std::exchange(m_current.failure, nullptr));
        if (m_current.last)
            return false;
        nextBatch();
    }
    const size_t k = m_current.taken++;
    const qsizetype debut = k == 0 ? 0 : m_current.ends[k - 1];
    line.resize(0);
    line.append(QStringView(m_current.text).sliced(debut, m_current.ends[k] - debut));
    number = m_current.numbers[k];
    return true;
}
