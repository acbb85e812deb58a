// Fuzzes the line lexer: one line (the bytes up to the first line feed), then a chain of
// lexer operations chosen by the remaining bytes, as the conversions chain them. After every
// step the record must describe a position inside the line, and the line must not change.
#include "fuzz_util.h"
#include "kzlex/lexer.h"
#include <QStringList>

namespace {

const QStringList kKeywords = {"BEGIN", "END",   "VCARD", "N", "ORG",  "TEL",  "EMAIL", "ADR", "URL",
                               "FN",    "PHOTO", "LOGO",  "X", "NOTE", "TRUE", "EN",    "É",   ""};
const QStringList kSeparators = {":", ";", "-", "=", "", ".", " :", "VCARD", "vcard", ";;", "\t"};
const QList<QChar> kSepChars = {u';', u':', QChar(0), u',', u'=', u' ', u'\t'};

// A text taken from the line itself (so that matches happen), or from a fixed list.
QString pick(FuzzBytes& in, const QString& line, const QStringList& fixed) {
    const uint8_t b = in.byte();
    if (b < fixed.size() * 8 || line.isEmpty())
        return fixed[b % fixed.size()];
    const qsizetype from = in.byte() % line.size();
    return line.mid(from, in.byte() % 6);
}

void checkRecord(const LECTYPE& L, const QString& trimmed) {
    FUZZ_CHECK(L.BUFFER == trimmed);
    const qsizetype len = L.BUFFER.size();
    if (L.T == CARACTERE) {
        FUZZ_CHECK(L.INDEX >= 1 && L.INDEX <= len);
        FUZZ_CHECK(L.CL == L.BUFFER[L.INDEX - 1]);
    } else {
        FUZZ_CHECK(L.T == FINLIGNE);
        FUZZ_CHECK(L.INDEX == len + 1);
    }
}

bool isUpperIdent(const QString& s) {
    for (QChar c : s)
        if (c.unicode() >= u'a' && c.unicode() <= u'z')
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    const QString line = fuzzText(in.until('\n'));

    QString trimmed = line;
    while (!trimmed.isEmpty() && trimmed.back().unicode() <= 0x20)
        trimmed.chop(1);

    LECTYPE L;
    L.BUFFER = line;
    DEBUTANALYSE(L);
    checkRecord(L, trimmed);
    if (trimmed.isEmpty())
        FUZZ_CHECK(L.T == FINLIGNE && L.INDEX == 1);

    for (int step = 0; step < 64 && !in.empty(); ++step) {
        switch (in.byte() % 8) {
        case 0:
            LIRECARACTERE(L);
            break;
        case 1:
            SAUTERBLANCS(L);
            FUZZ_CHECK(L.T == FINLIGNE || (L.CH != u' ' && L.CH != u'\t'));
            break;
        case 2: {
            const QString desire = pick(in, trimmed, kSeparators);
            const qsizetype before = L.INDEX;
            const bool ok = SEPARATEUR(L, desire);
            if (ok && !desire.isEmpty()) {
                // The matched text stands in the line just before the new position.
                const qsizetype end = L.T == FINLIGNE ? trimmed.size() : L.INDEX - 1;
                FUZZ_CHECK(end >= desire.size() &&
                           QStringView(trimmed).mid(end - desire.size(), desire.size()) == desire);
                FUZZ_CHECK(L.INDEX > before);
            }
            if (desire.isEmpty())
                FUZZ_CHECK(ok == (L.T == FINLIGNE));
            break;
        }
        case 3: {
            QString nom = QStringLiteral("junk");
            const bool ok = IDENTIFICATEUR(L, nom);
            FUZZ_CHECK(ok == !nom.isEmpty());
            if (ok) {
                FUZZ_CHECK(ALPHABETIQUE(nom[0]));
                FUZZ_CHECK(isUpperIdent(nom));
                FUZZ_CHECK(L.T == FINLIGNE || !(ALPHABETIQUE(L.CH) || NUMERIQUE(L.CH)));
            }
            break;
        }
        case 4: {
            const QString nom = pick(in, trimmed, kKeywords);
            const LECTYPE saved = L;
            if (!IDENTPATERN(L, nom)) {
                // A failed keyword consumes nothing, not even blanks.
                FUZZ_CHECK(L.INDEX == saved.INDEX && L.T == saved.T && L.CH == saved.CH && L.CL == saved.CL);
            }
            break;
        }
        case 5: {
            const QChar sep = kSepChars[in.byte() % kSepChars.size()];
            const QString got = IDENTSEP(L, sep);
            FUZZ_CHECK(trimmed.contains(got));
            FUZZ_CHECK(sep == QChar(0) || !got.toUpper().contains(sep));
            FUZZ_CHECK(L.T == FINLIGNE || L.CH == sep);
            break;
        }
        case 6: {
            // The callers set INDEX to a position they found (0 when none), then read a field.
            const qsizetype pos = trimmed.isEmpty() ? 0 : in.byte() % (trimmed.size() + 1);
            L.INDEX = pos;
            IDENTSEP(L, kSepChars[in.byte() % kSepChars.size()]);
            break;
        }
        case 7: {
            const QChar c = L.CH;
            if (NUMERIQUE(c))
                FUZZ_CHECK(!ALPHABETIQUE(c) || c.unicode() > 0xFF);
            break;
        }
        }
        checkRecord(L, trimmed);
    }
    return 0;
}
