#include "kzlex/unfoldahead.h"

#include "kzlex/propertyline.h"

namespace {
// A batch holds this many lines or characters at most (a picture's data is one long line).
constexpr size_t kBatchLines = 512;
constexpr qsizetype kBatchChars = qsizetype(1) << 16;
// Batches made and not taken at most; the reading side goes on once they are down to kResumeAt.
constexpr size_t kMaxReady = 4;
constexpr size_t kResumeAt = 1;
// A waiting next() is woken by the first batch made.
constexpr size_t kWakeAt = 1;
// Emptied batches kept for reuse, their room with them.
constexpr size_t kMaxSpares = kMaxReady + 2;
} // namespace

UnfoldAhead::UnfoldAhead(InputLines& lines, LineStep step, Threading threading, FaultHook fault)
    : m_lines(lines), m_step(std::move(step)), m_fault(std::move(fault)), m_queue({kMaxReady, kResumeAt, kWakeAt}) {
    m_queue.start(threading, [this] { run(); });
}

UnfoldAhead::~UnfoldAhead() {
    m_queue.stop();
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
        // A long line starts a batch of its own, so that it is handed on without a copy.
        if (!batch.ends.empty() && m_suivante.size() > kBatchChars)
            break;
        const qsizetype numero = m_lu;
        const qsizetype debut = batch.text.size();
        if (debut == 0 && m_suivante.size() > kBatchChars)
            batch.text.swap(m_suivante); // a long line is not copied: it becomes the batch
        else
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
        if (m_step && !m_step(batch.text, debut)) {
            batch.text.truncate(debut);
            continue;
        }
        batch.ends.push_back(batch.text.size());
        batch.numbers.push_back(numero);
    }
    return m_reste;
}

void UnfoldAhead::run() {
    for (;;) {
        Batch batch = m_spares.take();
        make(batch);
        const bool last = batch.last;
        if (m_fault)
            m_fault();
        if (!m_queue.push(std::move(batch)) || last)
            break;
    }
    m_queue.end();
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
    if (!m_queue.threaded()) {
        make(m_current);
        return;
    }
    if (m_current.text.capacity() > 0)
        m_spares.give(std::move(m_current), kMaxSpares);
    // Empty first: when the reading thread failed, pop() throws and the next call asks again.
    m_current = Batch();
    if (!m_queue.pop(m_current)) // there is one: next() asks for none after the last
        m_current.last = true;
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
    number = m_current.numbers[k];
    if (k + 1 == m_current.ends.size() && m_current.ends[k] == m_current.text.size() &&
        m_current.text.size() - debut > kBatchChars) {
        // A long line at the end of its batch (a line joined from many folded ones) is handed
        // over, not copied: the lines before it are taken off its front in place.
        line = std::exchange(m_current.text, QString());
        line.remove(0, debut);
        return true;
    }
    // The room of a long line is not kept for the short ones after it.
    if (line.capacity() > 4 * kBatchChars)
        line = QString();
    line.resize(0);
    line.append(QStringView(m_current.text).sliced(debut, m_current.ends[k] - debut));
    return true;
}
