#include "kzlex/readahead.h"

#include <stdexcept>
#include <system_error>

namespace {
// Files read ahead up to this size; a larger one is read by next() itself, so that few bytes wait.
constexpr qint64 kWholeMax = qint64(1) << 20;
// Files and bytes waiting at most.
constexpr size_t kMaxFiles = 64;
constexpr qsizetype kMaxBytes = qsizetype(16) << 20;
// The reading thread goes on once the queue has drained to this many files, and next() waits
// for this many when it finds none: the two threads seldom wake each other.
constexpr size_t kResumeAt = 16;
constexpr size_t kBatch = 16;
} // namespace

ReadAhead::ReadAhead(QStringList fileNames) : m_names(std::move(fileNames)) {
    try {
        m_thread = std::thread([this] { run(); });
        m_threaded = true;
    } catch (const std::system_error&) {
        // No thread to be had: next() reads each file when it is asked for.
    }
}

ReadAhead::~ReadAhead() {
    if (!m_threaded)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool ReadAhead::full() const {
    return m_queue.size() >= kMaxFiles || m_queuedBytes >= kMaxBytes;
}

InputText ReadAhead::next() {
    if (m_taken >= m_names.size())
        throw std::out_of_range("ReadAhead::next: no file left");
    const QString& name = m_names.at(m_taken);
    InputText text;
    if (!m_threaded) {
        ++m_taken;
        text.load(name);
        return text;
    }
    std::unique_lock lock(m_mutex);
    if (m_queue.empty()) {
        m_userWaiting = true;
        m_changed.wait(lock, [this] { return m_queue.size() >= kBatch || full() || m_done; });
        m_userWaiting = false;
        if (m_queue.empty())
            throw std::out_of_range("ReadAhead::next: no file after a failed one");
    }
    Item item = std::move(m_queue.front());
    m_queue.pop_front();
    if (item.bytes)
        m_queuedBytes -= item.bytes->size();
    ++m_taken;
    const bool wake = m_readerWaiting && m_queue.size() <= kResumeAt && m_queuedBytes < kMaxBytes / 4;
    lock.unlock();
    if (wake)
        m_changed.notify_all();
    if (item.failure)
        std::rethrow_exception(item.failure);
    // Checked here, and decoded later a line at a time by the thread that uses them.
    if (item.bytes)
        text.loadBytes(name, std::move(*item.bytes));
    else
        text.load(name);
    return text;
}

void ReadAhead::run() {
    // However the loop ends, next() must not wait for more.
    struct Done {
        ReadAhead& r;
        ~Done() {
            {
                std::lock_guard lock(r.m_mutex);
                r.m_done = true;
            }
            r.m_changed.notify_all();
        }
    } done{*this};
    for (const QString& name : m_names) {
        Item item;
        try {
            item.bytes = LineList::readWhole(name, kWholeMax);
        } catch (...) {
            item.failure = std::current_exception();
        }
        const bool failed = bool(item.failure);
        std::unique_lock lock(m_mutex);
        if (full() && !m_closing) {
            m_readerWaiting = true;
            m_changed.wait(lock, [this] { return m_closing || !full(); });
            m_readerWaiting = false;
        }
        if (m_closing)
            return;
        if (item.bytes)
            m_queuedBytes += item.bytes->size();
        m_queue.push_back(std::move(item));
        const bool wake = m_userWaiting && (m_queue.size() >= kBatch || full() || failed);
        lock.unlock();
        if (wake)
            m_changed.notify_all();
        if (failed)
            return;
    }
}
