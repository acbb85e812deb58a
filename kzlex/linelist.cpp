#include "kzlex/linelist.h"

#include "kzlex/cp1252.h"
#include "kzlex/errors.h"
#include "kzlex/parallel.h"
#include "kzlex/platform.h"
#include "kzlex/utf8.h"
#include "kzlex/fileio.h"

#include <QFile>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {

// The first c in [p, end), or end (vectorised searches: files of hundreds of MB
// pass here).
inline const char* findChar(const char* p, const char* end, char c) {
    if (p >= end)
        return end;
    const void* hit = std::memchr(p, c, size_t(end - p));
    return hit ? static_cast<const char*>(hit) : end;
}
inline const char16_t* findChar(const char16_t* p, const char16_t* end, char16_t c) {
    const qsizetype at = QStringView(p, end - p).indexOf(QChar(c));
    return at < 0 ? end : p + at;
}

// Whether the CR at p (before end) is the first of a CR CR LF, which ends one line: iPhone
// exports end every line so.
template <typename Ch> bool beginsCrCrLf(const Ch* p, const Ch* end) {
    return end - p >= 3 && p[1] == Ch('\r') && p[2] == Ch('\n');
}

// Number of line breaks in [begin, end): CR LF and CR CR LF count once.
template <typename Ch> qsizetype countBreaks(const Ch* begin, const Ch* end) {
    qsizetype breaks = 0;
    for (const Ch* p = findChar(begin, end, Ch('\n')); p < end; p = findChar(p + 1, end, Ch('\n')))
        ++breaks;
    for (const Ch* p = findChar(begin, end, Ch('\r')); p < end; p = findChar(p + 1, end, Ch('\r')))
        if (p + 1 == end || p[1] != Ch('\n')) {
            if (beginsCrCrLf(p, end))
                ++p; // its CR LF is counted with the LF
            else
                ++breaks;
        }
    return breaks;
}

// Number of lines that the text in [begin, end) splits into.
template <typename Ch> qsizetype countLines(const Ch* begin, const Ch* end) {
    const bool unterminated = begin < end && end[-1] != Ch('\n') && end[-1] != Ch('\r');
    return countBreaks(begin, end) + (unterminated ? 1 : 0);
}

// The end of the line that begins at `start` (before `end`), and in `next` where the line after
// it begins: breaks are CR LF, CR CR LF, CR and LF, and a break at the very end makes no extra
// empty line.
template <typename Ch> const Ch* lineEnd(const Ch* start, const Ch* end, const Ch*& next) {
    const Ch* lf = findChar(start, end, Ch('\n'));
    const Ch* cr = findChar(start, lf, Ch('\r'));
    if (cr < lf && cr + 1 < lf) {
        if (lf < end && cr + 2 == lf && cr[1] == Ch('\r')) { // CR CR LF
            next = lf + 1;
            return cr;
        }
        next = cr + 1; // a lone CR before the next LF
        return cr;
    }
    if (lf == end) { // the last line, or a CR that ends the text
        next = end;
        return cr < lf ? cr : end;
    }
    next = lf + 1;
    return cr < lf ? cr : lf; // CR LF or LF
}

// Calls onLine(lineBegin, lineEnd) for every line of [begin, end).
template <typename Ch, typename OnLine> void forEachLine(const Ch* begin, const Ch* end, OnLine onLine) {
    for (const Ch* start = begin; start < end;) {
        const Ch* next = end;
        const Ch* stop = lineEnd(start, end, next);
        onLine(start, stop);
        start = next;
    }
}

// The line number (from 1) of the position `at`.
template <typename Ch> qsizetype lineNumberAt(const Ch* begin, const Ch* at) {
    return countBreaks(begin, at) + 1;
}

[[noreturn]] void throwBadUtf8(const QString& fileName, qint64 offset, qsizetype line) {
    throw EncodingError(Msg::BadUtf8, fileName, offset, line);
}

[[noreturn]] void throwNul(const QString& fileName, qsizetype line) {
    throw FileReadError(Msg::NulCharacter, fileName, line);
}

// Splits bytes where each line is decoded on its own (single-byte and UTF-8
// text).
template <typename Decode> QStringList splitBytes(const QString& fileName, QByteArrayView bytes, Decode decode) {
    const char* b = bytes.data();
    const char* e = b + bytes.size();
    if (const char* nul = findChar(b, e, '\0'); nul < e)
        throwNul(fileName, lineNumberAt(b, nul));
    QStringList lines;
    lines.reserve(countLines(b, e));
    forEachLine(b, e, [&](const char* s, const char* t) { lines.append(decode(QByteArrayView(s, t - s))); });
    return lines;
}

QStringList splitText(const QString& fileName, const QString& text) {
    const char16_t* b = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        throwNul(fileName, lineNumberAt(b, b + nul));
    return LineList::splitLines(text);
}

// Decodes UTF-16 bytes (after the mark); a broken surrogate pair is a decoding
// error.
QString decodeUtf16(const QString& fileName, QByteArrayView bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0)
        throw EncodingError(Msg::Utf16OddSize, fileName);
    const qsizetype n = bytes.size() / 2;
    QString text(n, Qt::Uninitialized);
    auto* d = reinterpret_cast<char16_t*>(text.data());
    const auto* s = reinterpret_cast<const uchar*>(bytes.data());
    for (qsizetype i = 0; i < n; ++i)
        d[i] = bigEndian ? qFromBigEndian<quint16>(s + 2 * i) : qFromLittleEndian<quint16>(s + 2 * i);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i];
        if (c < 0xD800 || c > 0xDFFF)
            continue;
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(d[i + 1])) {
            ++i;
            continue;
        }
        throw EncodingError(Msg::Utf16BrokenSurrogate, fileName, 2 * i + 2, lineNumberAt(d, d + i));
    }
    return text;
}

} // namespace

QStringList LineList::splitLines(const QString& text) {
    const char16_t* b = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* e = b + text.size();
    QStringList lines;
    lines.reserve(countLines(b, e));
    forEachLine(b, e, [&](const char16_t* s, const char16_t* t) {
        lines.append(QString(reinterpret_cast<const QChar*>(s), t - s));
    });
    return lines;
}

namespace {

// The file is read in blocks and decoded a block of whole lines at a time, so that only one
// block of raw bytes is held beside the decoded lines.
constexpr qsizetype kBlock = qsizetype(4) << 20;

// An input file open for reading, a block at a time.
class BlockReader {
public:
    BlockReader(const QString& fileName, FileAccess access) : m_name(fileName) {
        // Unbuffered: the blocks go straight from the file into the caller's buffer.
        OpenRegularFile(m_file, fileName, QIODevice::ReadOnly | QIODevice::Unbuffered, access);
        m_size = m_file.size();
    }
    qint64 size() const { return m_size; }

    const QString& fileName() const { return m_name; }

    // Appends the next block to buf; true at the end of the file: nothing read, or a read cut
    // short at the file's known size (a read cut short before it, as some file systems do,
    // goes on).
    bool readBlock(QByteArray& buf, qsizetype block = kBlock) {
        // A small file gets a buffer of its size (and one byte to see its end), not a whole block.
        const qint64 left = m_size - m_file.pos();
        const qsizetype want = left >= 0 && left < block ? qsizetype(left) + 1 : block;
        const qsizetype had = buf.size();
        buf.resize(had + want);
        const qint64 got = m_file.read(buf.data() + had, want);
        if (got < 0 || m_file.error() != QFileDevice::NoError)
            throw FileReadError(Msg::CannotRead, m_name, m_file.errorString());
        buf.resize(had + got);
        return got == 0 || (got < want && m_size > 0 && m_file.pos() >= m_size);
    }

    // Reads again from `offset`.
    void seek(qint64 offset) {
        if (!m_file.seek(offset))
            throw FileReadError(Msg::CannotRead, m_name, m_file.errorString());
    }

private:
    QString m_name;
    QFile m_file;
    qint64 m_size = 0;
};

} // namespace

std::optional<QByteArray> LineList::readWhole(const QString& fileName, qint64 limit, FileAccess access) {
    if (access == FileAccess::Quick) {
        QByteArray bytes;
        switch (Platform::readSmall(QFile::encodeName(fileName), limit, bytes)) {
        case Platform::SmallFile::Read:
            return bytes;
        case Platform::SmallFile::TooLarge:
            return std::nullopt;
        case Platform::SmallFile::NotRegular:
            throw FileReadError(Msg::NotRegularFile, fileName);
        case Platform::SmallFile::NotDone:
            break; // read below, which tells what is wrong
        }
    }
    BlockReader file(fileName, access);
    if (file.size() > limit)
        return std::nullopt;
    QByteArray bytes;
    while (!file.readBlock(bytes)) {
        if (bytes.size() > limit)
            return std::nullopt; // it grew since it was opened
    }
    return bytes;
}

namespace {

// The end of the whole lines of [b, e): after the last break whose kind is known, so not after a
// CR that the next block may go on with LF or CR LF. At the end of the file, everything. Only
// [from, e) is searched: the caller knows that the bytes before `from` end no line (the part of
// a long line read so far), so a line of many blocks is not searched again at every block.
const char* wholeLinesEnd(const char* b, const char* e, bool eof, const char* from = nullptr) {
    if (eof)
        return e;
    const char* stop = from && from > b ? from : b;
    for (const char* p = e; p > stop;) {
        --p;
        if (*p == '\n' || (*p == '\r' && p + 1 < e && p[1] != '\r'))
            return p + 1;
    }
    return b;
}

// Appends the lines of [b, e), decoded as UTF-8 or as Windows-1252, to `lines`: two threads
// decode the chunk, cut after a line feed near its middle.
void decodeChunk(QStringList& lines, const char* b, const char* e, bool asUtf8) {
    auto decodeInto = [asUtf8](QStringList& into, const char* from, const char* to) {
        if (asUtf8) {
            // A line's leading U+FEFF is text, not a mark to drop (as QString::fromUtf8 would); a
            // decoder of each thread's own.
            QStringDecoder utf8(QStringDecoder::Utf8,
                                QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
            forEachLine(from, to,
                        [&](const char* s, const char* t) { into.append(utf8.decode(QByteArrayView(s, t - s))); });
        } else {
            forEachLine(from, to,
                        [&](const char* s, const char* t) { into.append(Cp1252::decode(QByteArrayView(s, t - s))); });
        }
    };
    const char* middle = findChar(b + (e - b) / 2, e, '\n');
    QStringList second;
    inTwoParts(e - b, middle < e ? middle + 1 - b : 0, [&](qsizetype from, qsizetype to, bool calling) {
        decodeInto(calling ? lines : second, b + from, b + to);
    });
    lines.append(std::move(second));
}

} // namespace

void LineList::loadUtf16(const QString& fileName, QByteArray all, LoadForm form) {
    const bool bigEndian = all.startsWith("\xFE\xFF");
    const QString text = decodeUtf16(fileName, QByteArrayView(all).sliced(2), bigEndian);
    all = QByteArray(); // the raw bytes go before the lines are made
    QStringList lines;
    if (form == LoadForm::Utf8Bytes) {
        lines = splitBytes(fileName, text.toUtf8(), [](QByteArrayView line) { return Cp1252::decode(line); });
        m_encoding = TextEncoding::Ansi;
    } else {
        lines = splitText(fileName, text);
        m_encoding = bigEndian ? TextEncoding::Utf16BE : TextEncoding::Utf16LE;
    }
    QStringList::swap(lines);
    m_marked = true;
}

void LineList::LoadFromFile(const QString& fileName, LoadForm form, const Progress& progress, FileAccess access) {
    BlockReader file(fileName, access);
    const qint64 fileSize = file.size();
    QByteArray buf;
    bool eof = file.readBlock(buf);

    if (buf.startsWith("\xFF\xFE") || buf.startsWith("\xFE\xFF")) {
        // UTF-16 is decoded whole.
        while (!eof)
            eof = file.readBlock(buf);
        loadUtf16(fileName, std::move(buf), form);
        return;
    }

    const bool marked = buf.startsWith("\xEF\xBB\xBF");
    const bool asUtf8 = marked && form != LoadForm::Utf8Bytes;
    QStringList lines;
    qint64 offset = 0;                // file offset of buf[0]
    qsizetype start = marked ? 3 : 0; // first byte of buf not decoded yet
    bool reserved = false;
    for (;;) {
        const char* b = buf.constData() + start;
        const char* cut = wholeLinesEnd(b, buf.constData() + buf.size(), eof);
        if (cut > b) {
            const QByteArrayView chunk(b, cut - b);
            if (marked) {
                const qsizetype bad = Utf8::firstInvalid(chunk);
                if (bad >= 0)
                    throwBadUtf8(fileName, offset + start + bad, lines.size() + lineNumberAt(b, b + bad));
            }
            if (const char* nul = findChar(b, cut, '\0'); nul < cut)
                throwNul(fileName, lines.size() + lineNumberAt(b, nul));
            if (!reserved) {
                // Room for the whole file's lines, guessed from the first block.
                const qsizetype first = countLines(b, cut);
                const double share = fileSize > 0 ? double(fileSize) / double(cut - buf.constData()) : 1.0;
                lines.reserve(eof ? first : qsizetype(first * share * 1.02) + 16);
                reserved = true;
            }
            decodeChunk(lines, b, cut, asUtf8);
            start = cut - buf.constData();
        }
        if (eof)
            break;
        // Between blocks, while part of the file is still unread (not for a small file).
        if (progress && offset + buf.size() < fileSize)
            progress();
        buf.remove(0, start);
        offset += start;
        start = 0;
        eof = file.readBlock(buf);
    }

    QStringList::swap(lines);
    m_encoding = asUtf8 ? TextEncoding::Utf8 : TextEncoding::Ansi;
    m_marked = marked;
}

namespace {

// A streamed text keeps the room of this many blocks at most between lines.
constexpr qsizetype kKeptRoom = 8;

} // namespace

struct InputText::Stream {
    Stream(const QString& fileName, FileAccess access) : file(fileName, access) {}
    BlockReader file;
    bool eof = false;
    bool empty = false;      // the file holds no line
    qint64 textStart = 0;    // offset of the text, after a mark
    // Line feeds and carriage returns in a sample of the text (the first block and every
    // sixteenth after it), counted as it was checked, and the bytes looked at: the progress.
    qsizetype feeds = 0;
    qsizetype returns = 0;
    qint64 sampled = 0;
    qint64 size = 0;
    qsizetype linesTaken = 0;
};

InputText::InputText() = default;
InputText::~InputText() = default;
InputText::InputText(InputText&&) noexcept = default;
InputText& InputText::operator=(InputText&&) noexcept = default;

qsizetype InputText::keptRoom() const {
    return kKeptRoom * m_block;
}

bool InputText::isEmpty() const {
    return m_stream ? m_stream->empty : m_begin >= m_bytes.size();
}

void InputText::load(const QString& fileName, const Progress& progress) {
    load(fileName, progress, Reading());
}

void InputText::load(const QString& fileName, const Progress& progress, const Reading& reading) {
    m_stream.reset();
    m_block = qMax<qsizetype>(reading.block, 1);
    auto s = std::make_unique<Stream>(fileName, reading.access);
    if (s->file.size() >= reading.streamFrom)
        return stream(std::move(s), progress);
    BlockReader& file = s->file;
    QByteArray bytes;
    bytes.reserve(qsizetype(file.size()) + 1); // one allocation, as the blocks come in
    Platform::adviseLargePages(bytes.data(), bytes.capacity());
    // Each block is searched for a NUL character as it comes in, while it is in the cache: a
    // second pass over a large file would read it from memory again.
    bool nul = false;
    auto search = [&](qsizetype from) {
        nul = nul || findChar(bytes.constData() + from, bytes.constEnd(), '\0') < bytes.constEnd();
    };
    for (qsizetype had = 0;; had = bytes.size()) {
        const bool end = file.readBlock(bytes);
        search(had);
        if (end)
            break;
        // Between blocks, while part of the file is still unread.
        if (progress && bytes.size() < file.size())
            progress();
    }
    take(fileName, std::move(bytes), !nul);
}

void InputText::stream(std::unique_ptr<Stream> s, const Progress& progress) {
    const QString fileName = s->file.fileName();
    const qsizetype block = m_block;
    QByteArray buf;
    bool eof = s->file.readBlock(buf, block);
    // A UTF-16 file is decoded whole; a fault met by the check is told as for a file held whole,
    // which reading it whole does.
    auto whole = [&] {
        s->file.seek(0);
        buf.clear();
        while (!s->file.readBlock(buf)) {
        }
        take(fileName, std::move(buf), false);
    };
    while (!eof && buf.size() < 3)
        eof = s->file.readBlock(buf, block);
    if (buf.startsWith("\xFF\xFE") || buf.startsWith("\xFE\xFF"))
        return whole();
    const bool marked = buf.startsWith("\xEF\xBB\xBF");
    s->textStart = marked ? 3 : 0;
    s->empty = buf.size() <= s->textStart;
    qsizetype start = s->textStart;
    qsizetype blocks = 0;
    qsizetype searched = 0; // bytes at the front known to end no line
    for (;;) {
        const char* b = buf.constData() + start;
        const char* e = buf.constData() + buf.size();
        const char* cut = wholeLinesEnd(b, e, eof, b + searched);
        const QByteArrayView chunk(b, cut - b);
        if (findChar(b, cut, '\0') < cut || (marked && Utf8::firstInvalid(chunk) >= 0))
            return whole();
        if (cut > b && blocks++ % 16 == 0) {
            s->feeds += std::count(b, cut, '\n');
            if (s->feeds == 0)
                s->returns += std::count(b, cut, '\r');
            s->sampled += cut - b;
        }
        s->size += cut - b;
        if (eof)
            break;
        // Between blocks, while part of the file is still unread.
        if (progress)
            progress();
        const qsizetype rest = e - cut;
        if (cut != buf.constData())
            std::memmove(buf.data(), cut, size_t(rest));
        buf.truncate(rest);
        start = 0;
        // A CR at the end may still end a line with what comes next.
        searched = qMax<qsizetype>(rest - 1, 0);
        eof = s->file.readBlock(buf, block);
    }
    m_bytes = std::move(buf);
    m_marked = marked;
    m_stream = std::move(s);
    rewind();
}

void InputText::loadBytes(const QString& fileName, QByteArray bytes) {
    m_stream.reset();
    take(fileName, std::move(bytes), false);
}

void InputText::take(const QString& fileName, QByteArray bytes, bool nulFree) {
    qsizetype start = 0;
    bool marked = true;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        // UTF-16 is held as its UTF-8 bytes.
        const QString text = decodeUtf16(fileName, QByteArrayView(bytes).sliced(2), bytes.startsWith("\xFE\xFF"));
        bytes = QByteArray(); // the raw bytes go before their UTF-8 form is made
        bytes = text.toUtf8();
        nulFree = false;
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        start = 3;
        const QByteArrayView text = QByteArrayView(bytes).sliced(start);
        const qsizetype bad = Utf8::firstInvalid(text);
        if (bad >= 0)
            throwBadUtf8(fileName, start + bad, lineNumberAt(text.data(), text.data() + bad));
    } else {
        marked = false;
    }
    const char* b = bytes.constData() + start;
    const char* e = bytes.constData() + bytes.size();
    if (const char* nul = nulFree ? e : findChar(b, e, '\0'); nul < e)
        throwNul(fileName, lineNumberAt(b, nul));
    m_bytes = std::move(bytes);
    m_begin = start;
    m_next = start;
    m_cut = m_bytes.size();
    m_marked = marked;
}

void InputText::rewind() {
    if (!m_stream) {
        m_next = m_begin;
        return;
    }
    m_stream->file.seek(m_stream->textStart);
    m_stream->eof = false;
    m_stream->linesTaken = 0;
    // The check may have held a long line whole: its room goes, not only its bytes.
    if (m_bytes.capacity() > keptRoom())
        m_bytes = QByteArray();
    else
        m_bytes.truncate(0);
    m_begin = m_next = m_cut = 0;
}

bool InputText::refill() {
    Stream& s = *m_stream;
    while (m_next >= m_cut) {
        if (s.eof)
            return false;
        // The bytes of a line not whole yet go to the front, and the next block after them.
        const qsizetype rest = m_bytes.size() - m_next;
        if (m_bytes.capacity() > keptRoom() && rest < m_block) {
            // A long line is done with: its room goes back, so that it is not held to the end.
            m_bytes = QByteArray(m_bytes.constData() + m_next, rest);
        } else {
            if (m_next > 0)
                std::memmove(m_bytes.data(), m_bytes.constData() + m_next, size_t(rest));
            m_bytes.truncate(rest);
        }
        m_next = 0;
        s.eof = s.file.readBlock(m_bytes, m_block);
        const char* b = m_bytes.constData();
        const char* e = b + m_bytes.size();
        // The file was checked whole; one changed since is not read further.
        if (const char* nul = findChar(b + rest, e, '\0'); nul < e)
            throwNul(s.file.fileName(), s.linesTaken + lineNumberAt(b, nul));
        m_cut = wholeLinesEnd(b, e, s.eof, b + qMax<qsizetype>(rest - 1, 0)) - b;
    }
    return true;
}

bool InputText::atEnd() {
    return m_next >= m_cut && !(m_stream && refill());
}

qsizetype InputText::lineCountEstimate() const {
    if (m_stream)
    {
        const Stream& s = *m_stream;
        const double share = s.sampled > 0 ? double(s.size) / double(s.sampled) : 1.0;
        return qsizetype(double(s.feeds > 0 ? s.feeds : s.returns + 1) * share);
    }
    const char* begin = m_bytes.constData() + m_begin;
    const char* end = m_bytes.constData() + m_bytes.size();
    const auto feedsIn = [](const char* from, const char* to) {
        qsizetype feeds = 0;
        for (const char* p = from; p < to; ++p)
            feeds += *p == '\n';
        return feeds;
    };
    // A large text is sampled: 64 slices of 64 KB spread over it give the share of line feeds
    // closely enough for a progress bar, without a pass over hundreds of megabytes.
    constexpr qsizetype kSlices = 64, kSlice = 64 * 1024;
    const qsizetype size = end - begin;
    qsizetype feeds = 0;
    if (size <= kSlices * kSlice * 4) {
        feeds = feedsIn(begin, end);
    } else {
        for (qsizetype k = 0; k < kSlices; ++k) {
            const char* from = begin + (size - kSlice) / (kSlices - 1) * k;
            feeds += feedsIn(from, from + kSlice);
        }
        feeds = qsizetype(double(feeds) * double(size) / double(kSlices * kSlice));
    }
    return feeds > 0 ? feeds : countLines(begin, end);
}

bool InputText::nextBytes(QByteArrayView& line) {
    // Once a long line is taken (its view is let go with this call), the few bytes after it
    // move to a buffer of their own: its room is not held while the lines after it are read.
    if (m_stream && m_bytes.capacity() > keptRoom() && m_bytes.size() - m_next < m_block) {
        m_bytes = QByteArray(m_bytes.constData() + m_next, m_bytes.size() - m_next);
        m_cut -= m_next;
        m_next = 0;
    }
    if (m_next >= m_cut && !(m_stream && refill()))
        return false;
    const char* base = m_bytes.constData();
    const char* end = base + m_cut;
    const char* start = base + m_next;
    const char* after = end;
    const char* stop = lineEnd(start, end, after);
    line = QByteArrayView(start, stop - start);
    m_next = after - base;
    if (m_stream)
        ++m_stream->linesTaken;
    return true;
}

bool InputText::next(QString& line) {
    QByteArrayView bytes;
    if (!nextBytes(bytes))
        return false;
    Cp1252::decodeInto(bytes, line);
    return true;
}

namespace {

// Room for `more` bytes, growing by half at least, so that many small parts stay linear. Past a
// megabyte the text jumps to the size from which it is held in large pages: a merged text of
// tens of megabytes would otherwise fault its first pages in one small page at a time.
void reserveMore(QByteArray& out, qsizetype more) {
    constexpr qsizetype kLarge = qsizetype(1) << 20;
    const qsizetype need = out.size() + more;
    if (need > out.capacity()) {
        qsizetype room = qMax(need, out.capacity() + out.capacity() / 2);
        if (room > kLarge)
            room = qMax(room, Platform::kLargePagesFrom);
        out.reserve(room);
        Platform::adviseLargePages(out.data(), out.capacity());
    }
}

// One line in Windows-1252 (one byte per code unit at most) and CR LF, written at d.
char* putAnsiLine(char* d, QStringView line) {
    d += Cp1252::encodeInto(line, d);
    *d++ = '\r';
    *d++ = '\n';
    return d;
}

} // namespace

void LineList::appendAnsiLine(QByteArray& out, QStringView line) {
    const qsizetype had = out.size();
    reserveMore(out, line.size() + 2);
    out.resize(had + line.size() + 2);
    char* d = putAnsiLine(out.data() + had, line);
    out.truncate(d - out.data());
}

void LineList::appendEncodedLine(QByteArray& out, QByteArrayView line) {
    const qsizetype had = out.size();
    reserveMore(out, line.size() + 2);
    out.resize(had + line.size() + 2);
    char* d = std::copy_n(line.data(), line.size(), out.data() + had);
    d[0] = '\r';
    d[1] = '\n';
}

QByteArray LineList::toBytes() const {
    QByteArray out;
    appendBytes(out, 0, size());
    return out;
}

void LineList::appendBytes(QByteArray& out, qsizetype from, qsizetype to) const {
    if (from >= to)
        return; // an empty list gives an empty file, without mark
    const bool first = from == 0;
    qsizetype total = 0;
    for (qsizetype i = from; i < to; ++i)
        total += at(i).size() + 2;
    switch (m_encoding) {
    case TextEncoding::Ansi: {
        // One byte per code unit at most: encode straight into the buffer.
        const qsizetype had = out.size();
        reserveMore(out, total);
        out.resize(had + total);
        char* d = out.data() + had;
        for (qsizetype i = from; i < to; ++i)
            d = putAnsiLine(d, at(i));
        out.truncate(d - out.data());
        break;
    }
    case TextEncoding::Utf8:
        reserveMore(out, (first ? 3 : 0) + total + total / 4);
        if (first)
            out += "\xEF\xBB\xBF";
        for (qsizetype i = from; i < to; ++i) {
            out += at(i).toUtf8();
            out += "\r\n";
        }
        break;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool big = m_encoding == TextEncoding::Utf16BE;
        const qsizetype had = out.size();
        const qsizetype more = (first ? 2 : 0) + 2 * total;
        reserveMore(out, more);
        out.resize(had + more);
        auto* d = reinterpret_cast<uchar*>(out.data() + had);
        if (first) {
            d[0] = big ? 0xFE : 0xFF;
            d[1] = big ? 0xFF : 0xFE;
            d += 2;
        }
        auto put = [&](char16_t c) {
            if (big)
                qToBigEndian<quint16>(c, d);
            else
                qToLittleEndian<quint16>(c, d);
            d += 2;
        };
        for (qsizetype i = from; i < to; ++i) {
            for (QChar c : at(i))
                put(c.unicode());
            put(u'\r');
            put(u'\n');
        }
        break;
    }
    }
}

void LineList::SaveToFile(const QString& fileName, FileAccess access) const {
    WriteFileAtomic(fileName, toBytes(), WriteTarget::UserChosen, access);
}
