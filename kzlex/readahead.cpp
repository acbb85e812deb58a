#include "kzlex/readahead.h"

#include <stdexcept>

namespace {
// Files read ahead up to this size; a larger one is read by next() itself, so that few bytes wait.
constexpr qint64 kWholeMax = qint64(1) << 20;
// A file waiting weighs 1, and 1 more for every kWeightBytes it holds: at most 64 files or about
// 16 MB wait.
constexpr qsizetype kWeightBytes = qsizetype(256) << 10;
constexpr size_t kMost = 64;
// The reading thread goes on once the queue has drained to this weight, and next() waits for as
// much when it finds none: the two threads seldom wake each other.
constexpr size_t kResumeAt = 16;
constexpr size_t kBatch = 16;
} // namespace

ReadAhead::ReadAhead(QStringList fileNames, Threading threading, FileAccess access, FaultHook fault)
    : m_names(std::move(fileNames)), m_access(access), m_fault(std::move(fault)), m_queue({kMost, kResumeAt, kBatch}) {
    m_queue.start(threading, [this] { run(); });
}

ReadAhead::~ReadAhead() {
    m_queue.stop();
}

ReadAhead::Item ReadAhead::read(const QString& name) const {
    Item item;
    try {
        if (std::optional<QByteArray> bytes = LineList::readWhole(name, kWholeMax, m_access)) {
            item.size = bytes->size();
            item.text.emplace().loadBytes(name, std::move(*bytes));
        }
    } catch (...) {
        item.failure = std::current_exception();
    }
    return item;
}

InputText ReadAhead::next() {
    if (m_taken >= m_names.size())
        throw std::out_of_range("ReadAhead::next: no file left");
    if (m_failed)
        throw std::out_of_range("ReadAhead::next: no file after a failed one");
    const QString& name = m_names.at(m_taken++);
    Item item;
    if (m_queue.threaded())
        m_queue.pop(item); // there is one: the thread stops after a failed file, as next() does
    else
        item = read(name);
    if (item.failure) {
        m_failed = true;
        std::rethrow_exception(item.failure);
    }
    // Checked on the reading thread, and decoded later a line at a time by the thread that uses
    // them.
    if (item.text)
        return std::move(*item.text);
    InputText text;
    text.load(name, {}, {m_access});
    return text;
}

void ReadAhead::run() {
    for (const QString& name : m_names) {
        Item item = read(name);
        const bool failed = bool(item.failure);
        const size_t weight = 1 + size_t(item.size / kWeightBytes);
        if (m_fault)
            m_fault();
        if (!m_queue.push(std::move(item), weight) || failed)
            break;
    }
    m_queue.end(); // next() waits for no more
}
