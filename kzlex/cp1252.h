#pragma once
// Windows-1252, the "ANSI code page": every byte decodes to one character and back.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Cp1252 {
// Each byte becomes one character (the five undefined bytes map to U+0081 U+008D U+008F U+0090 U+009D).
QString decode(QByteArrayView bytes);
// The same into `out`, reusing its storage when it is not shared and large enough.
void decodeInto(QByteArrayView bytes, QString& out);
// The exact byte where one exists; else the base letter of the canonical decomposition when
// that letter is in the code page; else '?'.
QByteArray encode(QStringView text);
// As encode, writing into out (room for text.size() bytes); returns the number of bytes written.
qsizetype encodeInto(QStringView text, char* out);
// True, with the bytes in *out, when every character maps exactly to one byte.
bool encodeExact(QStringView text, QByteArray* out);
// The byte for one character, or -1 when it has no exact byte.
int byteOf(char16_t c);
} // namespace Cp1252
