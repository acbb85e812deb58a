#pragma once
// Character rules that the toolkit's parts share: ASCII upper-casing, trimming, ASCII runs and
// text that is UTF-8 read as Windows-1252.
#include <QString>

// `a`-`z` to `A`-`Z`, every other character as it is.
inline char16_t upperAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}
QString upperAscii(QString s);

// Trims every character of code U+0020 or below from both ends (QString::trimmed would also
// take the no-break space and keep the other controls).
QString trimControls(const QString& s);

// Length of the run of characters from `lowest` to U+007F that starts the text (sixteen at a
// time: photo data runs to tens of thousands of them).
qsizetype asciiRunLength(QStringView text, char16_t lowest = 0);
// Re-decodes text held as Windows-1252 characters of UTF-8 bytes, when every character maps
// exactly to one byte and those bytes are valid UTF-8; otherwise returns the text unchanged.
QString ReDecodeUtf8(const QString& text);
