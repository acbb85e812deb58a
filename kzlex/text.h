#pragma once
// Character rules that the toolkit's parts share: ASCII upper-casing, trimming, and what XML 1.0
// forbids.
#include <QString>

// `a`-`z` to `A`-`Z`, every other character as it is.
inline char16_t upperAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}
QString upperAscii(QString s);

// Trims every character of code U+0020 or below from both ends (QString::trimmed would also
// take the no-break space and keep the other controls).
QString trimControls(const QString& s);

// Characters that XML 1.0 does not allow anywhere in a document: controls other than tab, LF and
// CR, U+FFFE and U+FFFF.
inline bool isXmlForbidden(char16_t c) {
    return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF;
}
// The text without what XML 1.0 forbids: those characters, and surrogate halves that are not
// part of a pair. Copies only when something goes.
QString withoutXmlForbidden(const QString& text);
