#include "kzlex/text.h"

#include "kzlex/utilities.h"

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

QString withoutXmlForbidden(const QString& text) {
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    auto dropped = [&](qsizetype i) {
        const char16_t c = p[i];
        if (QChar::isHighSurrogate(c))
            return !(i + 1 < n && QChar::isLowSurrogate(p[i + 1]));
        if (QChar::isLowSurrogate(c))
            return !(i > 0 && QChar::isHighSurrogate(p[i - 1]));
        return isXmlForbidden(c);
    };
    // Printable ASCII, the usual text, is settled sixteen characters at a time.
    qsizetype i = asciiRunLength(text, 0x20);
    while (i < n && !dropped(i))
        ++i;
    if (i == n)
        return text;
    QString out;
    out.reserve(n);
    out.append(QStringView(text).left(i));
    for (++i; i < n; ++i)
        if (!dropped(i))
            out.append(QChar(p[i]));
    return out;
}
