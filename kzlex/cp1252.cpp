#include "kzlex/cp1252.h"

#include <QChar>
#include <QString>
#include <array>
#include <memory>

namespace {

// Characters of the bytes 0x80 to 0x9F; the five bytes left undefined map to the C1 control
// of the same value so that every byte survives a round trip.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::array<char16_t, 256> makeDecodeTable() {
    std::array<char16_t, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : char16_t(b);
    return t;
}
constexpr std::array<char16_t, 256> kDecode = makeDecodeTable();

// For every UTF-16 code unit: its exact byte (0..255), or the byte of its best fit with the
// flag 0x100, or -1 when only '?' will do.
struct EncodeTables {
    std::unique_ptr<qint16[]> map{new qint16[0x10000]};

    EncodeTables() {
        for (int c = 0; c < 0x10000; ++c)
            map[c] = -1;
        for (int b = 0; b < 256; ++b)
            map[kDecode[b]] = qint16(b);
        // Best fit: the base letter of the full canonical decomposition, when it has an exact byte.
        for (int c = 0xA0; c < 0x10000; ++c) {
            if (map[c] >= 0 || (c >= 0xD800 && c < 0xE000))
                continue;
            if (QChar::decompositionTag(char32_t(c)) != QChar::Canonical)
                continue;
            char32_t base = char32_t(c);
            while (QChar::decompositionTag(base) == QChar::Canonical) {
                const QString d = QChar::decomposition(base);
                if (d.isEmpty())
                    break;
                base = d.at(0).isHighSurrogate() && d.size() > 1 ? QChar::surrogateToUcs4(d.at(0), d.at(1))
                                                                 : char32_t(d.at(0).unicode());
            }
            if (base < 0x10000 && (map[base] & 0xFF00) == 0 && map[base] >= 0)
                map[c] = qint16(0x100 | map[base]);
        }
    }
};

// Characters handled a block at a time (loops the compiler turns into vector instructions).
constexpr qsizetype kBlock = 16;

// Copies the ASCII characters at the start of s as bytes; returns how many there were.
qsizetype copyAscii(const char16_t* s, char* d, qsizetype n) {
    qsizetype i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        char16_t all = 0;
        for (qsizetype j = 0; j < kBlock; ++j)
            all |= s[i + j];
        if (all >= 0x80)
            break;
        for (qsizetype j = 0; j < kBlock; ++j)
            d[i + j] = char(s[i + j]);
    }
    while (i < n && s[i] < 0x80) {
        d[i] = char(s[i]);
        ++i;
    }
    return i;
}

const EncodeTables& tables() {
    static const EncodeTables t;
    return t;
}

} // namespace

namespace Cp1252 {

QString decode(QByteArrayView bytes) {
    QString out;
    decodeInto(bytes, out);
    return out;
}

void decodeInto(QByteArrayView bytes, QString& out) {
    // A string that is not shared and big enough keeps its storage; any other gets a new one
    // (an empty line is an empty string, not a null one).
    if (out.isDetached() && out.capacity() >= bytes.size() && !out.isNull())
        out.resize(bytes.size());
    else
        out = QString(bytes.size(), Qt::Uninitialized);
    auto* d = reinterpret_cast<char16_t*>(out.data());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    // A block at a time: every byte but 0x80 to 0x9F is its own character, so the block is
    // widened as it stands and looked up in the table only when it holds one of those.
    for (; i + kBlock <= n; i += kBlock) {
        bool high = false;
        for (qsizetype j = 0; j < kBlock; ++j) {
            d[i + j] = s[i + j];
            high |= (s[i + j] & 0xE0) == 0x80;
        }
        if (high)
            for (qsizetype j = 0; j < kBlock; ++j)
                d[i + j] = kDecode[s[i + j]];
    }
    for (; i < n; ++i)
        d[i] = kDecode[s[i]];
}

qsizetype encodeInto(QStringView text, char* d) {
    const qsizetype n = text.size();
    const char16_t* s = text.utf16();
    qsizetype i = copyAscii(s, d, n);
    if (i == n)
        return n;
    const qint16* map = tables().map.get();
    qsizetype o = i;
    while (i < n) {
        const char16_t c = s[i];
        if (c < 0x80) {
            const qsizetype run = copyAscii(s + i, d + o, n - i);
            i += run;
            o += run;
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
            d[o++] = '?'; // one mark for the whole character
            i += 2;
            continue;
        }
        const qint16 m = map[c];
        d[o++] = m < 0 ? '?' : char(m & 0xFF);
        ++i;
    }
    return o;
}

QByteArray encode(QStringView text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    out.truncate(encodeInto(text, out.data()));
    return out;
}

bool encodeExact(QStringView text, QByteArray* out) {
    const qsizetype n = text.size();
    QByteArray bytes(n, Qt::Uninitialized);
    char* d = bytes.data();
    const char16_t* s = text.utf16();
    qsizetype i = copyAscii(s, d, n);
    if (i < n) {
        const qint16* map = tables().map.get();
        for (; i < n; ++i) {
            const qint16 m = map[s[i]];
            if (m < 0 || m > 0xFF)
                return false;
            d[i] = char(m);
        }
    }
    if (out)
        *out = std::move(bytes);
    return true;
}

int byteOf(char16_t c) {
    if (c < 0x80)
        return c;
    const qint16 m = tables().map[c];
    return (m < 0 || m > 0xFF) ? -1 : m;
}

} // namespace Cp1252
