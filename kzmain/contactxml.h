#pragma once
// XML text of the Windows Contacts documents: what XML 1.0 forbids, and the escaping of one
// vCard value.
#include <QString>

#include <functional>

// Characters that XML 1.0 does not allow anywhere in a document: controls other than tab, LF and
// CR, U+FFFE and U+FFFF.
inline bool isXmlForbidden(char16_t c) {
    return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF;
}
// The text without what XML 1.0 forbids: those characters, and surrogate halves that are not
// part of a pair. Copies only when something goes.
QString withoutXmlForbidden(const QString& text);

// One vCard value as the text of a document element: re-decoded when it is UTF-8, without what
// XML forbids, its markup and listed characters escaped.
QString TraiteLigneContact(const QString& S);
// The same, handed to `out` a block at a time (never cutting a surrogate pair): a value of
// hundreds of megabytes is never held escaped. The value is let go once read.
void TraiteLigneContact(QString S, const std::function<void(QStringView)>& out);
