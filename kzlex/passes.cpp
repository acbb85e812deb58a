#include "kzlex/passes.h"
#include "kzlex/cp1252.h"
#include "kzlex/text.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <bitset>
#include <type_traits>
#include <utility>

// The output pass reads the old list once and builds the new one, then swaps it in: inserting
// in the middle of a list of a million lines would cost a move of the whole tail each time.

namespace {


QString upperAsciiString(QStringView s) {
    QString out(s.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < s.size(); ++i)
        d[i] = QChar(upperAscii(s[i].unicode()));
    return out;
}

// Position of the first "X-ABLABEL:" in the line upper-cased (a-z only), or -1. Each colon is
// looked at with the nine characters before it, so a photo line is one quick scan. The line is
// UTF-16 text, or Windows-1252 bytes (the same characters below 128, and none above matches).
inline char16_t unit(QChar c) {
    return c.unicode();
}
inline char16_t unit(char c) {
    return uchar(c);
}
inline qsizetype findColon(QStringView line, qsizetype from) {
    return line.indexOf(u':', from);
}
inline qsizetype findColon(QByteArrayView line, qsizetype from) {
    return line.indexOf(':', from);
}
template <typename View> qsizetype findLabel(View line) {
    static constexpr char16_t kLabel[] = u"X-ABLABEL";
    constexpr qsizetype kLen = std::size(kLabel) - 1;
    for (qsizetype c = findColon(line, kLen); c >= 0; c = findColon(line, c + 1)) {
        const qsizetype i = c - kLen;
        qsizetype k = 0;
        while (k < kLen && upperAscii(unit(line[i + k])) == kLabel[k])
            ++k;
        if (k == kLen)
            return i;
    }
    return -1;
}

bool startsWithPhoto(QStringView line) {
    static constexpr char16_t kPhoto[] = u"PHOTO";
    if (line.size() < 5)
        return false;
    for (qsizetype k = 0; k < 5; ++k)
        if (upperAscii(line[k].unicode()) != kPhoto[k])
            return false;
    return true;
}

} // namespace

// The group prefixes in a trie, each end node holding the prefix's rank in first-met order,
// so that finding the first listed prefix that starts a line costs the length of the match.
class PrefixTrie {
public:
    void add(QStringView prefix, int rank) {
        if (!prefix.isEmpty())
            m_first.set(prefix.front().unicode());
        int node = 0;
        for (QChar c : prefix) {
            const quint64 key = (quint64(node) << 16) | c.unicode();
            auto it = m_children.constFind(key);
            if (it == m_children.constEnd()) {
                m_rank.append(-1);
                it = m_children.insert(key, int(m_rank.size() - 1));
            }
            node = it.value();
        }
        if (m_rank[node] < 0)
            m_rank[node] = rank;
    }

    // Whether some prefix begins with `c` (upper-cased a-z).
    bool mayBegin(char16_t c) const { return m_first.test(upperAscii(c)); }
    // Length of the lowest-ranked prefix that starts `text` (upper-cased a-z as it is read),
    // or 0 when none does.
    qsizetype firstMatch(QStringView text) const {
        // Most lines begin with no prefix's first character: one look settles them.
        if (text.isEmpty() || !m_first.test(upperAscii(text.front().unicode())))
            return 0;
        int node = 0;
        int bestRank = -1;
        qsizetype bestLen = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const quint64 key = (quint64(node) << 16) | upperAscii(text[i].unicode());
            auto it = m_children.constFind(key);
            if (it == m_children.constEnd())
                break;
            node = it.value();
            const int r = m_rank[node];
            if (r >= 0 && (bestRank < 0 || r < bestRank)) {
                bestRank = r;
                bestLen = i + 1;
            }
        }
        return bestLen;
    }

private:
    QHash<quint64, int> m_children;
    QList<int> m_rank{-1};        // node 0 is the root
    std::bitset<0x10000> m_first; // the first characters of the prefixes
};

GoogleLabels::GoogleLabels() = default;
GoogleLabels::~GoogleLabels() = default;

template <typename View> bool GoogleLabels::collectLine(View line) {
    const qsizetype at = findLabel(line);
    if (at < 0)
        return false;
    QString S;
    if constexpr (std::is_same_v<View, QByteArrayView>)
        S = trimControls(upperAsciiString(Cp1252::decode(line.first(at))));
    else
        S = trimControls(upperAsciiString(line.first(at)));
    if (!S.isEmpty() && !m_known.contains(S)) {
        m_known.insert(S);
        m_ordered.append(S);
    }
    return true;
}

bool GoogleLabels::collect(QStringView line) {
    return collectLine(line);
}
bool GoogleLabels::collect(QByteArrayView line) {
    return collectLine(line);
}

bool GoogleLabels::isLabel(QStringView line) {
    return findLabel(line) >= 0;
}

void GoogleLabels::finish() {
    m_trie = std::make_unique<PrefixTrie>();
    for (int i = 0; i < m_ordered.size(); ++i)
        m_trie->add(m_ordered.at(i), i);
}

void GoogleLabels::strip(QString& line) const {
    // The first listed prefix that the line's trimmed, upper-cased text begins with. The prefix
    // is trimmed itself, so matching after the leading blanks is the same. The count is taken
    // off the untrimmed line, as it stands.
    if (m_ordered.isEmpty())
        return;
    Q_ASSERT(m_trie); // finish() was called
    qsizetype b = 0;
    while (b < line.size() && line.at(b).unicode() <= 0x20)
        ++b;
    const qsizetype match = m_trie->firstMatch(QStringView(line).mid(b));
    if (match > 0)
        line.remove(0, match);
}

bool GoogleLabels::leavesAsItStands(QByteArrayView line) const {
    if (findLabel(line) >= 0)
        return false;
    if (m_ordered.isEmpty())
        return true;
    Q_ASSERT(m_trie); // finish() was called
    // As strip() looks: at the first character after the trimmed ones. A byte above 0x7F is a
    // character of the code page, left to the decoded line.
    qsizetype b = 0;
    while (b < line.size() && uchar(line[b]) <= 0x20)
        ++b;
    return b == line.size() || (uchar(line[b]) < 0x80 && !m_trie->mayBegin(char16_t(uchar(line[b]))));
}

bool MyPhoneInFilter::take(QString& line, bool more) {
    // The line before ended in a quoted-printable soft line break.
    if (m_blankNext) {
        m_blankNext = false;
        if (!line.isEmpty() && line.at(0) != u' ')
            line.prepend(u' ');
    }
    if (m_photo) {
        // The block of base64 data ends at the first continuation line.
        if (!line.isEmpty() && line.at(0) == u' ')
            m_photo = false;
        return true;
    }
    if (startsWithPhoto(line)) {
        m_photo = true;
        return true;
    }
    if (line.isEmpty())
        return false;
    // A quoted-printable soft line break becomes a folded continuation line.
    if (line.endsWith(u'=') && more) {
        line.chop(1);
        m_blankNext = true;
    }
    if (line.contains(u'=')) {
        line.replace(QStringLiteral("=0A"), QStringLiteral("\\n"));
        // Deliberately a blank, not "=": TYPE=3DCELL reads as TYPE CELL.
        line.replace(QStringLiteral("=3D"), QStringLiteral(" "));
    }
    return true;
}

void PostTraitementMyPhone(LineList& T) {
    QStringList out;
    out.reserve(T.size() + T.size() / 16 + 1);
    bool PhotoEnCours = false;
    for (QString& line : T) {
        if (PhotoEnCours) {
            if (line.isEmpty() || line.at(0) == u' ') {
                out.append(std::move(line));
                continue;
            }
            // The line after the photo data: a blank line closes the block, then the line is
            // treated like any other.
            PhotoEnCours = false;
            out.append(QString());
        }
        if (startsWithPhoto(line)) {
            PhotoEnCours = true;
            out.append(std::move(line));
            continue;
        }
        if (line.isEmpty()) {
            out.append(std::move(line));
            continue;
        }
        if (line.contains(u'&'))
            line.replace(QStringLiteral("&#10;"), QStringLiteral("=0A"));
        if (line.contains(u'\\'))
            line.replace(QStringLiteral("\\n"), QStringLiteral("=0A"));
        if (line.size() >= 2 && line.at(1) == u' ')
            line.replace(1, 1, QStringLiteral("=3D"));
        // A folded continuation line becomes a soft line break on the line before it.
        if (line.at(0) == u' ' && !out.isEmpty())
            out.last().append(u'=');
        out.append(trimControls(line));
    }
    T.swap(out);
}

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
