#pragma once
// Helpers shared by the fuzz targets: turning fuzz bytes into text, and failing loudly.
#include "kzlex/cp1252.h"
#include "kzlex/utf8.h"
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Stops the run with a message: libFuzzer records the input as a crash.
#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);                              \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

// Text from fuzz bytes, in the forms the program meets:
// - first byte 0: the rest as raw UTF-16LE code units (lone surrogates, any control);
// - valid UTF-8: decoded (any Unicode text);
// - otherwise one Windows-1252 character per byte (how input files without mark are held).
inline QString fuzzText(QByteArrayView bytes) {
    if (!bytes.isEmpty() && bytes[0] == 0) {
        bytes = bytes.sliced(1);
        QString s(bytes.size() / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < s.size(); ++i)
            s[i] = QChar(char16_t(uchar(bytes[2 * i]) | (uchar(bytes[2 * i + 1]) << 8)));
        return s;
    }
    if (Utf8::isValid(bytes))
        return QString::fromUtf8(bytes);
    return Cp1252::decode(bytes);
}

// Reads small numbers off the front of the fuzz bytes; 0 once they run out.
class FuzzBytes {
public:
    FuzzBytes(const uint8_t* data, size_t size) : m_p(data), m_end(data + size) {}
    bool empty() const { return m_p >= m_end; }
    uint8_t byte() { return m_p < m_end ? *m_p++ : 0; }
    QByteArrayView rest() const { return QByteArrayView(m_p, m_end - m_p); }
    // Bytes up to (not including) `stop`, which is consumed too.
    QByteArrayView until(char stop) {
        const uint8_t* s = m_p;
        while (m_p < m_end && *m_p != uint8_t(stop))
            ++m_p;
        QByteArrayView v(s, m_p - s);
        if (m_p < m_end)
            ++m_p;
        return v;
    }

private:
    const uint8_t* m_p;
    const uint8_t* m_end;
};
