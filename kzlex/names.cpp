#include "kzlex/names.h"

#include "kzlex/text.h"

namespace {

// Characters that a file name must not show: the controls (C0, DEL and C1, which a decoded name
// may hold: =0A, =09 in quoted-printable, U+0085 in UTF-8), the bidirectional controls that
// would make "rlo\u202Efdp.exe" read as an .exe, and the line and paragraph separators.
bool blancDansNom(char16_t u) {
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
        return true;
    if (u < 0x200E)
        return false;
    return u == 0x200E || u == 0x200F || (u >= 0x2028 && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

} // namespace

QString filtreinterdits(const QString& nom) {
    QString s = nom;
    for (QChar& c : s) {
        const char16_t u = c.unicode();
        if (blancDansNom(u) || u == u'"' || u == u'/' || u == u'\\' || u == u'*' || u == u'?' || u == u'<' ||
            u == u'>' || u == u'|' || u == u':')
            c = QLatin1Char(' ');
    }
    return trimControls(s);
}

QString NettoieNom(const QString& text) {
    // Filtered once decoded: a C1 or bidirectional control is two or three bytes of UTF-8 before
    // (a leading UTF-8 byte-order mark goes in the decoding too, and may leave a blank in front).
    return filtreinterdits(ReDecodeUtf8(trimControls(text)));
}

QString FitFileName(const QString& name, const QString& suffix) {
    // 255 bytes per name on the usual file systems; Windows counts 255 UTF-16 units, never more
    // than the UTF-8 bytes.
    constexpr qsizetype kMaxBytes = 255;
    qsizetype octets = suffix.toUtf8().size();
    qsizetype fin = 0;
    while (fin < name.size()) {
        const char16_t c = name.at(fin).unicode();
        const bool paire = QChar::isHighSurrogate(c) && fin + 1 < name.size() && name.at(fin + 1).isLowSurrogate();
        const qsizetype n = paire ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (octets + n > kMaxBytes)
            break;
        octets += n;
        fin += paire ? 2 : 1;
    }
    if (fin == name.size())
        return name + suffix;
    QString court = name.left(fin);
    while (!court.isEmpty() && court.back().unicode() <= 0x20)
        court.chop(1);
    return court + suffix;
}
