#include "kzlex/text.h"

#include "kzlex/cp1252.h"
#include "kzlex/utf8.h"

QString upperAscii(QString s) {
    for (QChar& c : s)
        c = QChar(upperAscii(c.unicode()));
    return s;
}

QString trimControls(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 0x20)
        ++b;
    while (e > b && s.at(e - 1).unicode() <= 0x20)
        --e;
    return (b == 0 && e == s.size()) ? s : s.mid(b, e - b);
}

qsizetype asciiRunLength(QStringView text, char16_t lowest) {
    constexpr qsizetype kBlock = 16;
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    // A block at a time, without a branch per character (the compiler vectorises it).
    for (; i + kBlock <= n; i += kBlock) {
        bool outside = false;
        for (qsizetype j = 0; j < kBlock; ++j)
            outside |= p[i + j] < lowest || p[i + j] >= 0x80;
        if (outside)
            break;
    }
    while (i < n && p[i] >= lowest && p[i] < 0x80)
        ++i;
    return i;
}

QString ReDecodeUtf8(const QString& text) {
    if (asciiRunLength(text) == text.size())
        return text; // ASCII reads the same in both encodings
    QByteArray bytes;
    if (!Cp1252::encodeExact(text, &bytes) || !Utf8::isValid(bytes))
        return text;
    return QString::fromUtf8(bytes);
}
