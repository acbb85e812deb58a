#include "kzlex/lexer.h"

#include "kzlex/text.h"

namespace {

// upperAscii (only a-z) is the mapping that SEPARATEUR and the keyword comparison use.
// The one-to-one Unicode mapping of the current character; ASCII takes the short road.
inline char16_t upperChar(char16_t c) {
    return c < 0x80 ? upperAscii(c) : QChar::toUpper(c);
}

inline bool isBlank(QChar c) {
    return c.unicode() == u' ' || c.unicode() == u'\t';
}

inline bool isIdentChar(QChar c) {
    return ALPHABETIQUE(c) || NUMERIQUE(c);
}

} // namespace

void DEBUTANALYSE(LECTYPE& LECTEUR) {
    QString& b = LECTEUR.BUFFER;
    const QChar* d = b.constData();
    qsizetype n = b.size();
    while (n > 0 && d[n - 1].unicode() <= 0x20)
        --n;
    if (n < b.size())
        b.truncate(n);
    LECTEUR.INDEX = 0;
    LIRECARACTERE(LECTEUR);
}

void LIRECARACTERE(LECTYPE& LECTEUR) {
    const qsizetype len = LECTEUR.BUFFER.size();
    // A caller may set INDEX by hand; a negative one reads from the start, never before it.
    if (LECTEUR.INDEX < 0)
        LECTEUR.INDEX = 0;
    if (LECTEUR.INDEX < len) {
        ++LECTEUR.INDEX;
        LECTEUR.T = CARACTERE;
        LECTEUR.CL = LECTEUR.BUFFER.constData()[LECTEUR.INDEX - 1];
        LECTEUR.CH = QChar(upperChar(LECTEUR.CL.unicode()));
    } else {
        LECTEUR.T = FINLIGNE;
        LECTEUR.CH = QChar(u'\0');
        LECTEUR.CL = QChar(u'\0');
        LECTEUR.INDEX = len + 1;
    }
}

void SAUTERBLANCS(LECTYPE& LECTEUR) {
    while (LECTEUR.T == CARACTERE && isBlank(LECTEUR.CH))
        LIRECARACTERE(LECTEUR);
}

bool NUMERIQUE(QChar CH) {
    const char16_t c = CH.unicode();
    if (c <= 0xFF)
        return c >= u'0' && c <= u'9';
    return QChar::category(c) == QChar::Number_DecimalDigit;
}

bool ALPHABETIQUE(QChar CH) {
    const char16_t c = upperAscii(CH.unicode());
    // Every code unit above 128 counts as a letter, surrogate halves included.
    return (c >= u'A' && c <= u'Z') || c == u'_' || CH.unicode() > 128;
}

bool SEPARATEUR(LECTYPE& LECTEUR, QStringView DESIRE) {
    SAUTERBLANCS(LECTEUR);
    if (DESIRE.isEmpty())
        return LECTEUR.T == FINLIGNE;
    const qsizetype len = LECTEUR.BUFFER.size();
    if (len == 0 || LECTEUR.T == FINLIGNE)
        return false;
    const qsizetype start = LECTEUR.INDEX; // from 1
    if (start < 1 || start > len || DESIRE.size() > len - start + 1)
        return false;
    // Exact comparison against the raw characters: case and inner blanks count.
    const QChar* d = LECTEUR.BUFFER.constData() + (start - 1);
    for (qsizetype i = 0; i < DESIRE.size(); ++i)
        if (d[i] != DESIRE[i])
            return false;
    const qsizetype next = start + DESIRE.size();
    if (next <= len) {
        LECTEUR.INDEX = next;
        LECTEUR.CL = LECTEUR.BUFFER.constData()[next - 1];
        // Deliberately narrower than LIRECARACTERE: only a-z are upper-cased here.
        LECTEUR.CH = QChar(upperAscii(LECTEUR.CL.unicode()));
        LECTEUR.T = CARACTERE;
    } else {
        LECTEUR.INDEX = len + 1;
        LECTEUR.CL = QChar(u' ');
        LECTEUR.CH = QChar(u' ');
        LECTEUR.T = FINLIGNE;
    }
    return true;
}

bool IDENTIFICATEUR(LECTYPE& LECTEUR, QString& NOM) {
    NOM.resize(0);
    SAUTERBLANCS(LECTEUR);
    if (LECTEUR.T == FINLIGNE || !ALPHABETIQUE(LECTEUR.CH))
        return false;
    // Measure the identifier first, then write it in one go: the first character as CH
    // holds it, the others upper-cased as LIRECARACTERE would.
    const qsizetype len = LECTEUR.BUFFER.size();
    const QChar* d = LECTEUR.BUFFER.constData();
    // INDEX may have been set by hand; LIRECARACTERE reads a negative one as 0.
    const qsizetype start = qMax<qsizetype>(LECTEUR.INDEX, 0);
    qsizetype end = start + 1;
    while (end <= len && isIdentChar(QChar(upperChar(d[end - 1].unicode()))))
        ++end;
    NOM.resize(end - start);
    QChar* o = NOM.data();
    o[0] = LECTEUR.CH;
    for (qsizetype k = start + 1; k < end; ++k)
        o[k - start] = QChar(upperChar(d[k - 1].unicode()));
    LECTEUR.INDEX = end - 1;
    LIRECARACTERE(LECTEUR);
    return true;
}

bool IDENTPATERN(LECTYPE& LECTEUR, QStringView NOM) {
    // Scans ahead on local copies and touches the record only on success: a failed keyword
    // consumes nothing, not even blanks. Works as SAUTERBLANCS then LIRECARACTERE would.
    if (LECTEUR.T != CARACTERE)
        return false;
    const qsizetype len = LECTEUR.BUFFER.size();
    const QChar* d = LECTEUR.BUFFER.constData();
    qsizetype pos = LECTEUR.INDEX;
    char16_t c = LECTEUR.CH.unicode();
    // Reads the character after pos into c; false at the end of the line.
    auto next = [&]() {
        if (pos < 0)
            pos = 0;
        if (pos >= len)
            return false;
        ++pos;
        c = upperChar(d[pos - 1].unicode());
        return true;
    };
    while (c == u' ' || c == u'\t')
        if (!next())
            return false;
    if (!ALPHABETIQUE(QChar(c)))
        return false;
    // The identifier is compared as it is read, never built.
    qsizetype i = 0;
    bool atEnd = false;
    for (;;) {
        if (i >= NOM.size() || c != upperAscii(NOM[i].unicode()))
            return false;
        ++i;
        if (!next()) {
            atEnd = true;
            break;
        }
        if (!isIdentChar(QChar(c)))
            break;
    }
    if (i != NOM.size())
        return false;
    // Stand on the first character after the identifier, or at the end of the line.
    LECTEUR.INDEX = atEnd ? len : pos - 1;
    LIRECARACTERE(LECTEUR);
    return true;
}

char16_t DEBUTIDENT(const LECTYPE& LECTEUR) {
    // IDENTPATERN's first steps, as it takes them.
    if (LECTEUR.T != CARACTERE)
        return 0;
    const qsizetype len = LECTEUR.BUFFER.size();
    const QChar* d = LECTEUR.BUFFER.constData();
    qsizetype pos = qMax<qsizetype>(LECTEUR.INDEX, 0);
    char16_t c = LECTEUR.CH.unicode();
    while (c == u' ' || c == u'\t') {
        if (pos >= len)
            return 0;
        ++pos;
        c = upperChar(d[pos - 1].unicode());
    }
    return c;
}

QString IDENTSEP(LECTYPE& LECTEUR, QChar SEP) {
    SAUTERBLANCS(LECTEUR);
    // Steps over the separator the caller stands on.
    LIRECARACTERE(LECTEUR);
    if (LECTEUR.T == FINLIGNE)
        return QString();
    const qsizetype len = LECTEUR.BUFFER.size();
    const QChar* d = LECTEUR.BUFFER.constData();
    const qsizetype start = LECTEUR.INDEX; // from 1, a character exists there
    qsizetype pos = start;
    if (SEP.unicode() == 0) {
        // U+0000 stands for "the rest of the line", even a line that holds a NUL.
        pos = len + 1;
    } else {
        // The stop test looks at the upper-case form, as CH holds it.
        while (pos <= len && upperChar(d[pos - 1].unicode()) != SEP.unicode())
            ++pos;
    }
    QString result = LECTEUR.BUFFER.mid(start - 1, pos - start);
    LECTEUR.INDEX = pos - 1;
    LIRECARACTERE(LECTEUR);
    return result;
}
