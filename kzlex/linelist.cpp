#include "kzlex/linelist.h"

#include "kzlex/cp1252.h"
#include "kzlex/errors.h"
#include "kzlex/utf8.h"
#include "kzlex/utilities.h"

#include <QFile>
#include <QtEndian>
#include <cstring>

namespace {

// The first c in [p, end), or end (vectorised searches: files of hundreds of MB pass here).
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

// Number of line breaks in [begin, end): CR LF counts once.
template <typename Ch> qsizetype countBreaks(const Ch* begin, const Ch* end) {
    qsizetype breaks = 0;
    for (const Ch* p = findChar(begin, end, Ch('\n')); p < end; p = findChar(p + 1, end, Ch('\n')))
        ++breaks;
    for (const Ch* p = findChar(begin, end, Ch('\r')); p < end; p = findChar(p + 1, end, Ch('\r')))
        if (p + 1 == end || p[1] != Ch('\n'))
            ++breaks;
    return breaks;
}

// Number of lines that the text in [begin, end) splits into.
template <typename Ch> qsizetype countLines(const Ch* begin, const Ch* end) {
    const bool unterminated = begin < end && end[-1] != Ch('\n') && end[-1] != Ch('\r');
    return countBreaks(begin, end) + (unterminated ? 1 : 0);
}

// Calls onLine(lineBegin, lineEnd) for every line of [begin, end): breaks are CR LF, CR and LF,
// and a break at the very end makes no extra empty line.
template <typename Ch, typename OnLine> void forEachLine(const Ch* begin, const Ch* end, OnLine onLine) {
    const Ch* start = begin;
    while (start < end) {
        const Ch* lf = findChar(start, end, Ch('\n'));
        // Lone CRs before the next LF end lines of their own.
        const Ch* cr = findChar(start, lf, Ch('\r'));
        while (cr < lf && cr + 1 < lf) {
            onLine(start, cr);
            start = cr + 1;
            cr = findChar(start, lf, Ch('\r'));
        }
        if (lf == end) {
            if (cr < lf) { // a CR ends the text
                onLine(start, cr);
            } else {
                onLine(start, end);
            }
            return;
        }
        onLine(start, cr < lf ? cr : lf); // CR LF or LF
        start = lf + 1;
    }
}

// The line number (from 1) of the position `at`.
template <typename Ch> qsizetype lineNumberAt(const Ch* begin, const Ch* at) {
    return countBreaks(begin, at) + 1;
}

[[noreturn]] void throwNul(const QString& fileName, qsizetype line) {
    throw FileReadError(QStringLiteral("The file \"%1\" holds a NUL character at line %2 (binary file, or UTF-16 "
                                       "without byte-order mark?)")
                            .arg(fileName)
                            .arg(line));
}

// Splits bytes where each line is decoded on its own (single-byte and UTF-8 text).
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

// Decodes UTF-16 bytes (after the mark); a broken surrogate pair is a decoding error.
QString decodeUtf16(const QString& fileName, QByteArrayView bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0)
        throw EncodingError(
            QStringLiteral("The file \"%1\" is marked as UTF-16 but has an odd number of bytes").arg(fileName));
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
        throw EncodingError(QStringLiteral("The file \"%1\" is marked as UTF-16 but holds a broken surrogate pair "
                                           "at offset %2 (line %3)")
                                .arg(fileName)
                                .arg(2 * i + 2)
                                .arg(lineNumberAt(d, d + i)));
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

void LineList::LoadFromFile(const QString& fileName, LoadForm form) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw FileReadError(QStringLiteral("Cannot open \"%1\": %2").arg(fileName, file.errorString()));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileReadError(QStringLiteral("Cannot read \"%1\": %2").arg(fileName, file.errorString()));
    file.close();

    const QByteArrayView all(data);
    QStringList lines;
    TextEncoding encoding = TextEncoding::Ansi;
    auto cp1252 = [](QByteArrayView line) { return Cp1252::decode(line); };

    if (all.startsWith("\xEF\xBB\xBF")) {
        const QByteArrayView body = all.sliced(3);
        const qsizetype bad = Utf8::firstInvalid(body);
        if (bad >= 0)
            throw EncodingError(
                QStringLiteral("The file \"%1\" is marked as UTF-8 but the byte at offset %2 (line %3) is not "
                               "valid UTF-8")
                    .arg(fileName)
                    .arg(bad + 3)
                    .arg(lineNumberAt(body.data(), body.data() + bad)));
        if (form == LoadForm::Utf8Bytes) {
            lines = splitBytes(fileName, body, cp1252);
        } else {
            lines = splitBytes(fileName, body, [](QByteArrayView line) { return QString::fromUtf8(line); });
            encoding = TextEncoding::Utf8;
        }
    } else if (all.startsWith("\xFF\xFE") || all.startsWith("\xFE\xFF")) {
        const bool bigEndian = all.startsWith("\xFE\xFF");
        const QString text = decodeUtf16(fileName, all.sliced(2), bigEndian);
        if (form == LoadForm::Utf8Bytes) {
            const QByteArray utf8 = text.toUtf8();
            lines = splitBytes(fileName, utf8, cp1252);
        } else {
            lines = splitText(fileName, text);
            encoding = bigEndian ? TextEncoding::Utf16BE : TextEncoding::Utf16LE;
        }
    } else {
        lines = splitBytes(fileName, all, cp1252);
    }

    QStringList::swap(lines);
    m_encoding = encoding;
}

QByteArray LineList::toBytes() const {
    QByteArray out;
    if (isEmpty())
        return out; // an empty list gives an empty file, without mark
    qsizetype total = 0;
    for (const QString& line : *this)
        total += line.size() + 2;
    switch (m_encoding) {
    case TextEncoding::Ansi: {
        // One byte per code unit at most: encode straight into the buffer.
        out.resize(total);
        char* d = out.data();
        for (const QString& line : *this) {
            d += Cp1252::encodeInto(line, d);
            *d++ = '\r';
            *d++ = '\n';
        }
        out.truncate(d - out.data());
        break;
    }
    case TextEncoding::Utf8:
        out.reserve(3 + total + total / 4);
        out += "\xEF\xBB\xBF";
        for (const QString& line : *this) {
            out += line.toUtf8();
            out += "\r\n";
        }
        break;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool big = m_encoding == TextEncoding::Utf16BE;
        out.resize(2 + 2 * total);
        auto* d = reinterpret_cast<uchar*>(out.data());
        d[0] = big ? 0xFE : 0xFF;
        d[1] = big ? 0xFF : 0xFE;
        d += 2;
        auto put = [&](char16_t c) {
            if (big)
                qToBigEndian<quint16>(c, d);
            else
                qToLittleEndian<quint16>(c, d);
            d += 2;
        };
        for (const QString& line : *this) {
            for (QChar c : line)
                put(c.unicode());
            put(u'\r');
            put(u'\n');
        }
        break;
    }
    }
    return out;
}

void LineList::SaveToFile(const QString& fileName) const {
    WriteFileAtomic(fileName, toBytes());
}
