#include "kzlex/filewriter.h"

#include "kzlex/platform.h"

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
template <typename Buffer> void keepSpare(Handback<Buffer>& spares, Buffer& buffer) {
    if (buffer.capacity() > kMaxSpareSize)
        return;
    buffer.truncate(0); // a buffer shared with the caller is let go here instead
    if (buffer.capacity() > 0)
        spares.give(std::move(buffer), kMaxSpares);
}

// `spare` with room for `size`: the next file is likely of a similar size.
template <typename Buffer> Buffer withRoom(Buffer spare, qsizetype size) {
    spare.reserve(size);
    return spare;
}

} // namespace

FileWriter::FileWriter(OnFailure onFailure, Threading threading, FileAccess access, FaultHook fault)
    : m_onFailure(onFailure), m_access(access), m_fault(std::move(fault)), m_queue({kMaxWaiting, kResumeAt, kWakeAt}) {
    m_queue.start(threading, [this] { run(); });
}

FileWriter::~FileWriter() {
    m_queue.finish();
}

void FileWriter::write(const QString& fileName, QByteArray data) {
    queue(Job{fileName, std::move(data), QString(), nullptr});
}

void FileWriter::writeUtf8(const QString& fileName, QString text) {
    queue(Job{fileName, QByteArray(), std::move(text), nullptr});
}

void FileWriter::place(const QString& fileName, std::unique_ptr<StreamedFile> file) {
    queue(Job{fileName, QByteArray(), QString(), std::move(file)});
}

void FileWriter::queue(Job job) {
    if (m_queue.threaded())
        m_queue.push(std::move(job));
    else
        perform(job);
}

QByteArray FileWriter::spareBytes() {
    return m_spareBytes.take();
}

QString FileWriter::spareText() {
    return m_spareTexts.take();
}

QByteArray FileWriter::writeReusing(const QString& fileName, QByteArray data) {
    const qsizetype size = data.size();
    write(fileName, std::move(data));
    return withRoom(spareBytes(), size);
}

QString FileWriter::writeUtf8Reusing(const QString& fileName, QString text) {
    const qsizetype size = text.size();
    writeUtf8(fileName, std::move(text));
    return withRoom(spareText(), size);
}

void FileWriter::waitAll() {
    m_queue.drain();
}

std::vector<std::exception_ptr> FileWriter::takeFailures() {
    return m_failures.takeAll();
}

void FileWriter::run() {
    // The run's files go into one folder, for as long as the thread writes.
    const Platform::KeptFolder folder;
    Job job;
    while (m_queue.pop(job)) {
        perform(job);
        if (m_fault)
            m_fault();
    }
}

void FileWriter::perform(Job& job) {
    const bool fromText = !job.text.isNull();
    if (!m_failed || m_onFailure != OnFailure::Drop) {
        try {
            if (fromText)
                job.data = job.text.toUtf8();
            // The run names its files itself: a link at a name is replaced, not written through.
            if (job.streamed)
                job.streamed->placeAs(job.fileName);
            else
                WriteFileAtomic(job.fileName, job.data, WriteTarget::RunNamed, m_access);
            ++m_written;
        } catch (...) {
            m_failures.give(std::current_exception());
            m_failed = true;
        }
    }
    // The caller's buffer goes back to it; one made here is freed here.
    if (fromText) {
        job.data = QByteArray();
        keepSpare(m_spareTexts, job.text);
    } else {
        keepSpare(m_spareBytes, job.data);
    }
    job = Job();
}
