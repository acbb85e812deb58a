#include "kzmain/contactxml.h"

#include "kzlex/text.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <utility>

namespace {

// The characters written as numeric references: the common accented letters and
// typographic signs of Windows-1252. Others (among them ú, Ì to ß, the no-break space and
// the curly double quotes) pass unchanged.
constexpr char16_t kReferenced[] = {
    0x20AC, 0x0192, 0x2026, 0x02C6, 0x2030, 0x0160, 0x0152, 0x2014, 0x2122, 0x0161, 0x0153, 0x00A1, 0x00A2,
    0x00A3, 0x00A4, 0x00A5, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2,
    0x00B3, 0x00B5, 0x00BA, 0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5,
    0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6,
    0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3,
    0x00F4, 0x00F5, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF};
static_assert(std::size(kReferenced) == 76);

// 0x00A0-0x00FF as a bit table; the eleven characters above that are tested one by one.
struct Latin1Table {
    bool bits[0x60] = {};
    constexpr Latin1Table() {
        for (char16_t c : kReferenced)
            if (c >= 0xA0 && c <= 0xFF)
                bits[c - 0xA0] = true;
    }
};
constexpr Latin1Table kLatin1;

bool isReferenced(char16_t c) {
    if (c < 0xA0)
        return false;
    if (c <= 0xFF)
        return kLatin1.bits[c - 0xA0];
    switch (c) {
    case 0x20AC:
    case 0x0192:
    case 0x2026:
    case 0x02C6:
    case 0x2030:
    case 0x0160:
    case 0x0152:
    case 0x2014:
    case 0x2122:
    case 0x0161:
    case 0x0153:
        return true;
    default:
        return false;
    }
}

// What stands in the document for the character c: its replacement written at `ref` and its
// length; 0 when the character stays as it is.
qsizetype remplacement(char16_t c, char16_t* ref) {
    const char16_t* fixe = nullptr;
    switch (c) {
    case u'&':
        fixe = u"&amp;";
        break;
    case u'<':
        fixe = u"&lt;";
        break;
    case u'>':
        fixe = u"&gt;";
        break;
    case u'"':
        fixe = u"&quot;";
        break;
    case u'\n':
        fixe = u"&#10;";
        break;
    case 0x2019:
        fixe = u"'";
        break;
    default:
        if (c >= 0x80 && isReferenced(c)) {
            // A numeric reference: every referenced code has 3 or 4 digits.
            qsizetype k = 0;
            ref[k++] = u'&';
            ref[k++] = u'#';
            if (c >= 1000)
                ref[k++] = char16_t(u'0' + c / 1000);
            ref[k++] = char16_t(u'0' + c / 100 % 10);
            ref[k++] = char16_t(u'0' + c / 10 % 10);
            ref[k++] = char16_t(u'0' + c % 10);
            ref[k++] = u';';
            return k;
        }
    }
    qsizetype k = 0;
    for (; fixe && fixe[k]; ++k)
        ref[k] = fixe[k];
    return k;
}

// The same for the text at p[i] (of n), with in `used` how many characters it takes. A vCard
// escape takes two: the backslash goes and the character after it stands for itself (\, \;
// \: \" \\), but for n and N, which stand for a line break. A last backslash escapes nothing
// and stays.
qsizetype remplacement(const char16_t* p, qsizetype n, qsizetype i, char16_t* ref, qsizetype& used) {
    if (p[i] != u'\\' || i + 1 == n) {
        used = 1;
        return remplacement(p[i], ref);
    }
    used = 2;
    char16_t c = p[i + 1];
    if (c == u'n' || c == u'N')
        c = u'\n';
    const qsizetype k = remplacement(c, ref);
    if (k)
        return k;
    ref[0] = c;
    return 1;
}

} // namespace

// Read from left to right, each vCard escape resolved as it is met (so \\n is a backslash
// followed by n), and what remains escaped for XML: "&", "<", ">", the double quote and the line
// feed as entities, the referenced characters as numeric references, the right single quote as
// an apostrophe. A first pass measures the result, so a value that needs nothing is returned as
// it is and any other is written into one allocation.
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

QString TraiteLigneContact(const QString& S) {
    if (S.isEmpty())
        return QString();
    // Printable ASCII with nothing to escape, the usual value, is settled in one pass without a
    // branch per character: every step below would leave it as it is.
    const char16_t* s = reinterpret_cast<const char16_t*>(S.utf16());
    unsigned autre = 0;
    for (qsizetype i = 0; i < S.size(); ++i) {
        const unsigned c = s[i];
        autre |= (c - 0x20u > 0x5Fu) | (c == 0x26u) | ((c | 2u) == 0x3Eu) | (c == 0x22u) | (c == 0x5Cu);
    }
    if (autre == 0)
        return S.front() == u' ' ? S.mid(1) : S;
    const QString text = withoutXmlForbidden(ReDecodeUtf8(S));
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();

    // A first pass measures the result, the second writes it.
    char16_t ref[8];
    qsizetype used = 1;
    qsizetype outLen = 0;
    bool changed = false;
    for (qsizetype i = 0; i < n; i += used) {
        const qsizetype k = remplacement(p, n, i, ref, used);
        outLen += k ? k : 1;
        changed = changed || k;
    }
    if (!changed)
        return p[0] == u' ' ? text.mid(1) : text;

    QString out(outLen, Qt::Uninitialized);
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < n; i += used) {
        const qsizetype k = remplacement(p, n, i, ref, used);
        if (k)
            o = std::copy_n(ref, k, o);
        else
            *o++ = p[i];
    }
    Q_ASSERT(o == reinterpret_cast<char16_t*>(out.data()) + outLen);
    // One leading blank goes, an escaped one too.
    if (out.front() == u' ')
        out.remove(0, 1);
    return out;
}

void TraiteLigneContact(QString S, const std::function<void(QStringView)>& out) {
    const QString text = withoutXmlForbidden(ReDecodeUtf8(std::exchange(S, QString())));
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    constexpr qsizetype kBloc = qsizetype(1) << 16;
    const auto bloc = std::make_unique<char16_t[]>(kBloc + 8); // room for one more replacement
    qsizetype k = 0;
    bool premier = true;
    auto vider = [&](bool fin) {
        // A high surrogate waits for its pair in the next block.
        const qsizetype garde = !fin && k > 0 && QChar::isHighSurrogate(bloc[k - 1]) ? 1 : 0;
        QStringView vue(bloc.get(), k - garde);
        // One leading blank goes, an escaped one too.
        if (premier && !vue.isEmpty()) {
            if (vue.front() == u' ')
                vue = vue.sliced(1);
            premier = false;
        }
        if (!vue.isEmpty())
            out(vue);
        if (garde)
            bloc[0] = bloc[k - 1];
        k = garde;
    };
    qsizetype used = 1;
    for (qsizetype i = 0; i < n; i += used) {
        const qsizetype r = remplacement(p, n, i, bloc.get() + k, used);
        if (r)
            k += r;
        else
            bloc[k++] = p[i];
        if (k >= kBloc)
            vider(false);
    }
    vider(true);
}
