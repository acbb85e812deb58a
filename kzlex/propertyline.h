#pragma once
// What real exports put on a property line beyond plain vCard text: group prefixes (item1.TEL),
// quoted-printable values with soft line breaks (vCard 2.1 phones) and values in a named
// character set (CHARSET=Shift_JIS). Lines are held as the conversions hold them: one
// character per byte of the file (Windows-1252), UTF-8 text as its bytes.
#include <QByteArray>
#include <QString>
#include <QStringView>

#include <type_traits>

class QStringDecoder;

namespace PropertyLine {

// True when the line's parameter text (before its first ":") holds QUOTED-PRINTABLE, in any case
// (ENCODING=QUOTED-PRINTABLE, or the bare vCard 2.1 word).
bool isQuotedPrintable(QStringView line);
// True when the line is quoted-printable and ends in a soft line break: an "=" after which only
// blanks and line-end characters stand. The next line continues it.
bool endsInSoftBreak(QStringView line);
// Whether the soft line break at the end of `line` takes `next` into it: a card's end line is
// never swallowed (a stray "=" at the end of a card's last value would lose the card).
bool joinsSoftly(QStringView line, QStringView next);
// Removes the soft line break's "=" (and what follows it) from the end of the line.
void dropSoftBreak(QString& line);
// Takes a group prefix off the line: letters, digits or "-" followed by "." and a letter, after
// the leading blanks (item1.TEL;type=CELL:1 reads as TEL;type=CELL:1). Label lines
// (item1.X-ABLabel:Home) keep theirs. True when a prefix was taken off. The line is the text from
// `from` to its end (a line at the end of a longer text is changed in place).
bool stripGroup(QString& text, qsizetype from = 0);

// Whether the line is a vendor line as the lexer reads it: "X-..." after the blanks and tabs that
// it skips, blanks and tabs allowed between the X and the hyphen. Every conversion drops or keeps
// such a line by this test, on its bytes (one per character) or on its decoded text.
template <typename View> bool isVendorLine(View line) {
    auto at = [&line](qsizetype i) -> char16_t {
        if constexpr (std::is_same_v<View, QStringView>)
            return line[i].unicode();
        else
            return char16_t(uchar(line[i]));
    };
    auto blanks = [&](qsizetype i) {
        while (i < line.size() && (at(i) == u' ' || at(i) == u'\t'))
            ++i;
        return i;
    };
    qsizetype i = blanks(0);
    if (i >= line.size() || (at(i) | 0x20) != u'x')
        return false;
    i = blanks(i + 1);
    return i < line.size() && at(i) == u'-';
}

} // namespace PropertyLine

// Decodes property values: quoted-printable bytes, then the line's CHARSET when it names a
// character set that Qt's converters know (other than UTF-8 and US-ASCII). A decoded value is
// held as its UTF-8 bytes, one character per byte, like every line of a UTF-8 file. The decoders
// of the names met are kept for the thread, so a ValueDecoder costs nothing to make; one
// object is used by one thread.
class ValueDecoder {
public:
    // `charsets`: whether CHARSET parameters are read; a file read through a byte-order mark is
    // already Unicode, and its CHARSET says nothing about its bytes.
    explicit ValueDecoder(bool charsets);
    ~ValueDecoder();
    ValueDecoder(const ValueDecoder&) = delete;
    ValueDecoder& operator=(const ValueDecoder&) = delete;

    // Decodes the value of the line (the text after its first ":") in place; false, the line
    // unchanged, when it is neither quoted-printable nor in a known character set. The line is
    // the text from `from` to its end.
    bool decode(QString& text, qsizetype from = 0);

private:
    QStringDecoder* decoderFor(QStringView name);

    bool m_charsets;
};
