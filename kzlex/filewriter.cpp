#include "kzlex/filewriter.h"

#include "kzlex/utilities.h"

namespace {
// Files waiting at most: enough to keep the thread busy, few enough that little memory waits
// and a failure is reported soon after the card that caused it.
constexpr size_t kMaxWaiting = 32;
// A conversion held back by a full queue goes on once it has drained to this: one wake-up per
// many files rather than one per file.
constexpr size_t kResumeAt = 8;
// A sleeping thread is woken once this many files wait (or when the caller waits for it): a
// wake-up is a system call, too dear to pay for every small file.
constexpr size_t kWakeAt = 4;
// Buffers kept for the next files: as many as can wait, and none larger than this.
constexpr size_t kMaxSpares = kMaxWaiting + 2;
constexpr qsizetype kMaxSpareSize = 1 << 20;

// Keeps `buffer`, emptied, when it is worth keeping.
template <typename Buffer> void keepSpare(std::vector<Buffer>& spares, Buffer& buffer) {
    if (spares.size() >= kMaxSpares || buffer.capacity() > kMaxSpareSize)
        return;
    buffer.truncate(0); // a buffer shared with the caller is let go here instead
    if (buffer.capacity() > 0)
        spares.push_back(std::move(buffer));
}

template <typename Buffer> Buffer takeSpare(std::mutex& mutex, std::vector<Buffer>& spares) {
    std::lock_guard lock(mutex);
    if (spares.empty())
        return Buffer();
    Buffer spare = std::move(spares.back());
    spares.pop_back();
    return spare;
}

} // namespace

FileWriter::FileWriter(OnFailure onFailure) : m_onFailure(onFailure), m_thread([this] { run(); }) {}

FileWriter::~FileWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void FileWriter::write(const QString& fileName, QByteArray data) {
    queue(Job{fileName, std::move(data), QString()});
}

void FileWriter::writeUtf8(const QString& fileName, QString text) {
    queue(Job{fileName, QByteArray(), std::move(text)});
}

void FileWriter::queue(Job job) {
    std::unique_lock lock(m_mutex);
    if (m_queue.size() >= kMaxWaiting) {
        m_producerWaiting = true;
        m_changed.wait(lock, [this] { return m_queue.size() <= kResumeAt; });
        m_producerWaiting = false;
    }
    m_queue.push_back(std::move(job));
    const bool wake = m_writerWaiting && m_queue.size() >= kWakeAt;
    lock.unlock();
    if (wake)
        m_changed.notify_all();
}

QByteArray FileWriter::spareBytes() {
    return takeSpare(m_mutex, m_spareBytes);
}

QString FileWriter::spareText() {
    return takeSpare(m_mutex, m_spareTexts);
}

void FileWriter::waitAll() {
    std::unique_lock lock(m_mutex);
    if (m_writerWaiting && !m_queue.empty())
        m_changed.notify_all(); // the few files below the wake-up mark
    m_producerWaiting = true;
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_busy; });
    m_producerWaiting = false;
}

std::vector<std::exception_ptr> FileWriter::takeFailures() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_failures, {});
}

void FileWriter::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_writerWaiting = true;
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_closing; });
        m_writerWaiting = false;
        if (m_queue.empty())
            return; // closing, and nothing waits
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        const bool drop = m_failed && m_onFailure == OnFailure::Drop;
        m_busy = !drop;
        lock.unlock();
        std::exception_ptr failure;
        const bool fromText = !job.text.isNull();
        if (!drop) {
            try {
                if (fromText)
                    job.data = job.text.toUtf8();
                WriteFileAtomic(job.fileName, job.data);
            } catch (...) {
                failure = std::current_exception();
            }
        }
        job.fileName = QString();
        if (fromText)
            job.data = QByteArray(); // made here: freed here
        lock.lock();
        // The caller's buffer goes back to it.
        if (fromText)
            keepSpare(m_spareTexts, job.text);
        else
            keepSpare(m_spareBytes, job.data);
        job = Job();
        if (failure) {
            m_failures.push_back(failure);
            m_failed = true;
        }
        m_busy = false;
        // The conversion waits for room in the queue, or for the queue to empty.
        if (m_producerWaiting && m_queue.size() <= kResumeAt)
            m_changed.notify_all();
    }
}
