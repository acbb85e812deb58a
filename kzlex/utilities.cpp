#include "kzlex/utilities.h"
#include "kzlex/parallel.h"

#include "kzlex/cp1252.h"
#include "kzlex/text.h"
#include "kzlex/utf8.h"

#include <chrono>

void ElimineXSyncLigne(QString& line) {
    // Look at each semicolon only: a photo line holds none and is scanned once.
    const QStringView v(line);
    qsizetype at = v.indexOf(u';');
    while (at >= 0 && !v.sliced(at + 1).startsWith(u"X-SYNC"))
        at = v.indexOf(u';', at + 1);
    if (at < 0)
        return;
    qsizetype stop = line.indexOf(QLatin1Char(';'), at + 1);
    if (stop < 0)
        stop = line.indexOf(QLatin1Char(':'), at + 1);
    if (stop >= 0)
        line.remove(at, stop - at);
}

void ElimineXSync(LineList& T, const Progress& progress) {
    QString* lines = T.data();
    inTwoParts(T.size(), T.size() / 2, [&](qsizetype begin, qsizetype end, bool calling) {
        qsizetype counted = 0;
        for (qsizetype i = begin; i < end; ++i) {
            if (calling)
                tickProgress(progress, counted);
            ElimineXSyncLigne(lines[i]);
        }
    });
}

quint32 ElementIds::drawBelow(quint32 n) {
    m_state = m_state * 134775813u + 1u;
    return quint32((quint64(n) * m_state) >> 32);
}

QString ElementIds::next() {
    QString id(36, Qt::Uninitialized);
    into(reinterpret_cast<char16_t*>(id.data()));
    return id;
}

void ElementIds::into(char16_t* out) {
    // Eight draws of four upper-case hex digits: XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX.
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    for (int k = 0; k < 8; ++k) {
        if (k >= 2 && k <= 5)
            *out++ = u'-';
        const quint32 v = drawBelow(65535);
        *out++ = digits[(v >> 12) & 0xF];
        *out++ = digits[(v >> 8) & 0xF];
        *out++ = digits[(v >> 4) & 0xF];
        *out++ = digits[v & 0xF];
    }
}

quint32 ElementIds::clockSeed() {
    // The low 32 bits of the monotonic clock in nanoseconds differ on every call.
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    return quint32(quint64(ns));
}

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

QString ShownLine(const QString& line) {
    auto controle = [](char16_t u) { return (u < 0x20 && u != u'\t') || (u >= 0x7F && u <= 0x9F); };
    qsizetype i = 0;
    while (i < line.size() && !controle(line.at(i).unicode()))
        ++i;
    if (i == line.size())
        return line;
    QString shown = line;
    for (QChar* c = shown.data() + i; c != shown.data() + shown.size(); ++c)
        if (controle(c->unicode()))
            *c = QLatin1Char(' ');
    return shown;
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
