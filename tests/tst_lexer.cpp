#include "kzlex/lexer.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

LECTYPE scan(const QString& line) {
    LECTYPE l;
    l.BUFFER = line;
    DEBUTANALYSE(l);
    return l;
}

// What every operation promises about the record.
bool consistent(const LECTYPE& l) {
    if (l.T == CARACTERE)
        return l.INDEX >= 1 && l.INDEX <= l.BUFFER.size() && l.CL == l.BUFFER.at(l.INDEX - 1);
    return l.INDEX == l.BUFFER.size() + 1;
}

QString blanks(int n) {
    return QString(n, u' ');
}

// The scanning operations written step by step over LIRECARACTERE, as the plain reading of
// their rules; the optimised ones must leave the record exactly as these do.
bool plainIdentificateur(LECTYPE& l, QString& nom) {
    nom.clear();
    SAUTERBLANCS(l);
    if (l.T == FINLIGNE || !ALPHABETIQUE(l.CH))
        return false;
    while (l.T == CARACTERE && (ALPHABETIQUE(l.CH) || NUMERIQUE(l.CH))) {
        nom.append(l.CH);
        LIRECARACTERE(l);
    }
    return true;
}

bool plainIdentpatern(LECTYPE& l, QStringView nom) {
    const LECTYPE saved = l;
    SAUTERBLANCS(l);
    bool ok = false;
    if (l.T == CARACTERE && ALPHABETIQUE(l.CH)) {
        QString s;
        while (l.T == CARACTERE && (ALPHABETIQUE(l.CH) || NUMERIQUE(l.CH))) {
            s.append(l.CH);
            LIRECARACTERE(l);
        }
        QString upper = nom.toString();
        for (QChar& c : upper)
            if (c >= u'a' && c <= u'z')
                c = QChar(c.unicode() - 32);
        ok = s == upper;
    }
    if (!ok)
        l = saved;
    return ok;
}

QString plainIdentsep(LECTYPE& l, QChar sep) {
    QString r;
    SAUTERBLANCS(l);
    LIRECARACTERE(l);
    while (l.T == CARACTERE && (sep.unicode() == 0 || l.CH != sep)) {
        r.append(l.CL);
        LIRECARACTERE(l);
    }
    return r;
}

bool sameRecord(const LECTYPE& a, const LECTYPE& b) {
    return a.INDEX == b.INDEX && a.CH == b.CH && a.CL == b.CL && a.T == b.T && a.BUFFER == b.BUFFER;
}

// The pieces of the random lines and the arguments of the random operations.
const char16_t kRandomAlphabet[] = {u' ',   u'\t',  u':',   u';',   u'-',   u'.',   u'=',  u'A',   u'n',   u'1',
                                    0x00e9, 0x0080, 0xd83d, 0xde00, 0xfffe, 0x0000, u'\r', 0x0663, 0x01c5, u'_'};
const QStringView kRandomKeywords[] = {u"N", u"AN", u"A1", u"", u"\u00c9", u"a", u"NA1", u"A", u"N1"};
const QStringView kRandomSeparators[] = {u":", u";", u"", u"-.", u" "};
const QChar kRandomFieldEnds[] = {u';', u':', QChar(u'\0'), QChar(0xc9)};

// A line of up to 11 characters drawn from kRandomAlphabet.
QString randomLine(QRandomGenerator& rng) {
    QString line;
    const int len = rng.bounded(12);
    for (int i = 0; i < len; ++i)
        line.append(QChar(kRandomAlphabet[rng.bounded(int(std::size(kRandomAlphabet)))]));
    return line;
}

// IDENTIFICATEUR leaves the record, and finds the name, as the plain reading does.
void checkIdentificateur(LECTYPE& l) {
    LECTYPE plain = l;
    QString plainNom;
    QString nom;
    const bool plainOk = plainIdentificateur(plain, plainNom);
    QCOMPARE(IDENTIFICATEUR(l, nom), plainOk);
    QCOMPARE(nom, plainNom);
    QVERIFY(sameRecord(l, plain));
}

// IDENTPATERN leaves the record as the plain reading does, and matches a keyword only where it
// begins with DEBUTIDENT's letter.
void checkIdentpatern(LECTYPE& l, QStringView keyword) {
    LECTYPE plain = l;
    const char16_t lettre = DEBUTIDENT(l);
    const bool ok = IDENTPATERN(l, keyword);
    QCOMPARE(ok, plainIdentpatern(plain, keyword));
    QVERIFY(sameRecord(l, plain));
    if (ok && !keyword.isEmpty())
        QCOMPARE(QChar(lettre), QChar(keyword.front().toUpper()));
}

// IDENTSEP leaves the record, and finds the field, as the plain reading does.
void checkIdentsep(LECTYPE& l, QChar sep) {
    LECTYPE plain = l;
    const QString field = IDENTSEP(l, sep);
    QCOMPARE(field, plainIdentsep(plain, sep));
    QVERIFY(sameRecord(l, plain));
}

// One random operation on the record, checked against the plain reading where it has one.
// Returns whether the position is now one set by hand (`handSet` as it was when the operation
// leaves it alone).
bool randomStep(LECTYPE& l, QRandomGenerator& rng, bool handSet) {
    switch (rng.bounded(7)) {
    case 0:
        LIRECARACTERE(l);
        return false;
    case 1:
        SAUTERBLANCS(l);
        return handSet;
    case 2:
        SEPARATEUR(l, kRandomSeparators[rng.bounded(int(std::size(kRandomSeparators)))]);
        return handSet;
    case 3:
        checkIdentificateur(l);
        return handSet;
    case 4:
        checkIdentpatern(l, kRandomKeywords[rng.bounded(int(std::size(kRandomKeywords)))]);
        return handSet;
    case 5:
        checkIdentsep(l, kRandomFieldEnds[rng.bounded(int(std::size(kRandomFieldEnds)))]);
        return false;
    default:
        l.INDEX = rng.bounded(-2, int(l.BUFFER.size()) + 3);
        return true;
    }
}

} // namespace

class TestLexer : public QObject {
    Q_OBJECT
private slots:
    void debutAnalyse_data();
    void debutAnalyse();
    void vcardFrame_data();
    void vcardFrame();
    void keywordIsWholeIdentifier_data();
    void keywordIsWholeIdentifier();
    void failedKeywordConsumesNothing();
    void separateur_data();
    void separateur();
    void separateurAtEndOfLine();
    void separateurKeepsAccentedCharacter();
    void identificateur_data();
    void identificateur();
    void characterClasses_data();
    void characterClasses();
    void currentCharacterUpperCase();
    void typedProperty_data();
    void typedProperty();
    void nameComponents();
    void addressComponents();
    void formattedNameAfterColonSearch();
    void organisationWithoutColon();
    void settingsLine();
    void identSepOnNulCharacter();
    void identSepAtEndOfLine();
    void hugeLine();
    void randomLinesStayInBuffer();
};

void TestLexer::debutAnalyse_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<qsizetype>("index");
    QTest::addColumn<bool>("atEnd");
    QTest::addColumn<QChar>("cl");

    QTest::newRow("empty") << QString() << QString() << qsizetype(1) << true << QChar(u'\0');
    QTest::newRow("blanks only") << " \t  " << QString() << qsizetype(1) << true << QChar(u'\0');
    QTest::newRow("controls only") << QString("\r\n\x01\x1f ") << QString() << qsizetype(1) << true << QChar(u'\0');
    QTest::newRow("trailing spaces") << "FN:Doe   "
                                     << "FN:Doe" << qsizetype(1) << false << QChar(u'F');
    QTest::newRow("trailing tab") << "FN:Doe\t"
                                  << "FN:Doe" << qsizetype(1) << false << QChar(u'F');
    QTest::newRow("trailing CR") << "FN:Doe\r"
                                 << "FN:Doe" << qsizetype(1) << false << QChar(u'F');
    QTest::newRow("leading blanks stay") << "  FN:Doe "
                                         << "  FN:Doe" << qsizetype(1) << false << QChar(u' ');
    QTest::newRow("no-break space is not trimmed")
        << QString("A\u00a0") << QString("A\u00a0") << qsizetype(1) << false << QChar(u'A');
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QString(QChar(0xD800)) << qsizetype(1) << false
                                    << QChar(0xD800);
}

void TestLexer::debutAnalyse() {
    QFETCH(QString, line);
    QFETCH(QString, buffer);
    QFETCH(qsizetype, index);
    QFETCH(bool, atEnd);
    QFETCH(QChar, cl);
    LECTYPE l = scan(line);
    QCOMPARE(l.BUFFER, buffer);
    QCOMPARE(l.INDEX, index);
    QCOMPARE(l.T, atEnd ? FINLIGNE : CARACTERE);
    QCOMPARE(l.CL, cl);
    if (atEnd)
        QCOMPARE(l.CH, QChar(u'\0'));
    QVERIFY(consistent(l));
    // At the end of the line reading on changes nothing.
    if (atEnd) {
        LIRECARACTERE(l);
        QCOMPARE(l.INDEX, index);
        QCOMPARE(l.T, FINLIGNE);
    }
}

void TestLexer::vcardFrame_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("begin");
    QTest::addColumn<bool>("end");

    QTest::newRow("BEGIN:VCARD") << "BEGIN:VCARD" << true << false;
    QTest::newRow("lower case") << "begin:vcard" << true << false;
    QTest::newRow("mixed case") << "Begin:VCard" << true << false;
    QTest::newRow("blanks around") << "  BEGIN : VCARD" << true << false;
    QTest::newRow("tabs and CR LF") << "\tBEGIN\t:\tVCARD\r\n" << true << false;
    QTest::newRow("END:VCARD") << "END:VCARD" << false << true;
    QTest::newRow("end lower") << "end:vcard" << false << true;
    QTest::newRow("longer keyword") << "BEGINX:VCARD" << false << false;
    QTest::newRow("VCARDS") << "BEGIN:VCARDS" << false << false;
    QTest::newRow("semicolon") << "BEGIN;VCARD" << false << false;
    QTest::newRow("grouped") << "item1.BEGIN:VCARD" << false << false;
    QTest::newRow("empty") << "" << false << false;
}

void TestLexer::vcardFrame() {
    QFETCH(QString, line);
    QFETCH(bool, begin);
    QFETCH(bool, end);
    LECTYPE l = scan(line);
    QCOMPARE(IDENTPATERN(l, u"BEGIN") && SEPARATEUR(l, u":") && IDENTPATERN(l, u"VCARD"), begin);
    l = scan(line);
    QCOMPARE(IDENTPATERN(l, u"END") && SEPARATEUR(l, u":") && IDENTPATERN(l, u"VCARD"), end);
    QVERIFY(consistent(l));
}

void TestLexer::keywordIsWholeIdentifier_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<bool>("match");

    QTest::newRow("N on NOTE") << "NOTE:abc"
                               << "N" << false;
    QTest::newRow("N on NICKNAME") << "NICKNAME:Bob"
                                   << "N" << false;
    QTest::newRow("N on N;") << "N;CHARSET=UTF-8:Doe"
                             << "N" << true;
    QTest::newRow("TEL on TELEX") << "TELEX:1"
                                  << "TEL" << false;
    QTest::newRow("TEL lower keyword") << "TEL:1"
                                       << "tel" << true;
    QTest::newRow("X on X-ABLabel") << "X-ABLabel:Home"
                                    << "X" << true;
    QTest::newRow("X on item1.X-ABLabel") << "item1.X-ABLabel:Home"
                                          << "X" << false;
    QTest::newRow("PHOTO with parameters") << "PHOTO;ENCODING=b:AAAA"
                                           << "PHOTO" << true;
    QTest::newRow("LOGO") << "logo;VALUE=uri:x"
                          << "LOGO" << true;
    QTest::newRow("digits in keyword") << "ITEM12.TEL:1"
                                       << "ITEM12" << true;
    QTest::newRow("keyword longer than line") << "FN"
                                              << "FNX" << false;
    QTest::newRow("empty keyword") << "FN:x"
                                   << "" << false;
    QTest::newRow("accented keyword upper") << QString("\u00e9T\u00c9:x") << QString("\u00c9T\u00c9") << true;
    QTest::newRow("accented keyword lower") << QString("\u00e9t\u00e9:x") << QString("\u00e9t\u00e9") << false;
    QTest::newRow("starts with digit") << "1ABC"
                                       << "ABC" << false;
}

void TestLexer::keywordIsWholeIdentifier() {
    QFETCH(QString, line);
    QFETCH(QString, keyword);
    QFETCH(bool, match);
    LECTYPE l = scan(line);
    QCOMPARE(IDENTPATERN(l, keyword), match);
    QVERIFY(consistent(l));
}

void TestLexer::failedKeywordConsumesNothing() {
    LECTYPE l = scan("   NOTE:abc");
    const LECTYPE before = l;
    QVERIFY(!IDENTPATERN(l, u"N"));
    QCOMPARE(l.INDEX, before.INDEX);
    QCOMPARE(l.CH, before.CH);
    QCOMPARE(l.CL, before.CL);
    QCOMPARE(l.T, before.T);
    QVERIFY(!IDENTPATERN(l, u"NOT"));
    QVERIFY(!IDENTPATERN(l, u"NOTES"));
    QCOMPARE(l.INDEX, qsizetype(1));
    QVERIFY(IDENTPATERN(l, u"NOTE"));
    QCOMPARE(l.CH, QChar(u':'));
    QCOMPARE(l.INDEX, qsizetype(8));
}

void TestLexer::separateur_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("keyword"); // read first, then the separator is tried
    QTest::addColumn<QString>("desire");
    QTest::addColumn<bool>("match");
    QTest::addColumn<qsizetype>("index");

    QTest::newRow("colon") << "BEGIN:VCARD"
                           << "BEGIN"
                           << ":" << true << qsizetype(7);
    QTest::newRow("blank before colon") << "BEGIN  :VCARD"
                                        << "BEGIN"
                                        << ":" << true << qsizetype(9);
    QTest::newRow("exact case fails") << "BEGIN:VCARD"
                                      << "BEGIN"
                                      << ":vcard" << false << qsizetype(6);
    QTest::newRow("exact case matches") << "BEGIN:VCARD"
                                        << "BEGIN"
                                        << ":VCARD" << true << qsizetype(12);
    QTest::newRow("failure consumes blanks") << "BEGIN   ;"
                                             << "BEGIN"
                                             << ":" << false << qsizetype(9);
    QTest::newRow("longer than line") << "N:"
                                      << "N"
                                      << ":XY" << false << qsizetype(2);
    QTest::newRow("end of line, trailing blanks") << "BEGIN   "
                                                  << "BEGIN"
                                                  << "" << true << qsizetype(6);
    QTest::newRow("end of line, colon left") << "BEGIN:"
                                             << "BEGIN"
                                             << "" << false << qsizetype(6);
    QTest::newRow("nothing after end") << "BEGIN"
                                       << "BEGIN"
                                       << ":" << false << qsizetype(6);
    QTest::newRow("hyphen of X-") << "X-ABLabel:Home"
                                  << "X"
                                  << "-" << true << qsizetype(3);
    QTest::newRow("blank inside desire") << "A : B"
                                         << "A"
                                         << ": B" << true << qsizetype(6);
    QTest::newRow("empty line") << ""
                                << ""
                                << ":" << false << qsizetype(1);
    QTest::newRow("empty line, empty desire") << ""
                                              << ""
                                              << "" << true << qsizetype(1);
}

void TestLexer::separateur() {
    QFETCH(QString, line);
    QFETCH(QString, keyword);
    QFETCH(QString, desire);
    QFETCH(bool, match);
    QFETCH(qsizetype, index);
    LECTYPE l = scan(line);
    if (!keyword.isEmpty())
        QVERIFY(IDENTPATERN(l, keyword));
    QCOMPARE(SEPARATEUR(l, desire), match);
    QCOMPARE(l.INDEX, index);
    QVERIFY(consistent(l));
}

void TestLexer::separateurAtEndOfLine() {
    LECTYPE l = scan("N:");
    QVERIFY(IDENTPATERN(l, u"N"));
    QVERIFY(SEPARATEUR(l, u":"));
    QCOMPARE(l.T, FINLIGNE);
    QCOMPARE(l.INDEX, qsizetype(3));
    QCOMPARE(l.CH, QChar(u' '));
    QCOMPARE(l.CL, QChar(u' '));
    // The blank it leaves is not taken for a character.
    QVERIFY(SEPARATEUR(l, u""));
    QCOMPARE(IDENTSEP(l, QChar(u'\0')), QString());
    QCOMPARE(l.INDEX, qsizetype(3));
}

void TestLexer::separateurKeepsAccentedCharacter() {
    // After a separator only a-z are upper-cased; LIRECARACTERE upper-cases all letters.
    LECTYPE l = scan(QString("X-\u00e9a"));
    QVERIFY(IDENTPATERN(l, u"X"));
    QVERIFY(SEPARATEUR(l, u"-"));
    QCOMPARE(l.CH, QChar(0x00e9));
    QCOMPARE(l.CL, QChar(0x00e9));
    l = scan(QString("X-ab"));
    QVERIFY(IDENTPATERN(l, u"X"));
    QVERIFY(SEPARATEUR(l, u"-"));
    QCOMPARE(l.CH, QChar(u'A'));
    QCOMPARE(l.CL, QChar(u'a'));
    QString nom;
    QVERIFY(IDENTIFICATEUR(l, nom));
    QCOMPARE(nom, QString("AB"));
}

void TestLexer::identificateur_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("name");
    QTest::addColumn<qsizetype>("index");

    QTest::newRow("grouped") << "item1.TEL:1" << true << "ITEM1" << qsizetype(6);
    QTest::newRow("starts with digit") << "1ABC" << false << "" << qsizetype(1);
    QTest::newRow("leading blanks consumed") << "  ;x" << false << "" << qsizetype(3);
    QTest::newRow("X of X-ABLabel") << "X-ABLabel" << true << "X" << qsizetype(2);
    QTest::newRow("underscore") << "_a_1:" << true << "_A_1" << qsizetype(5);
    QTest::newRow("accented") << QString("\u00e9t\u00e9:") << true << QString("\u00c9T\u00c9") << qsizetype(4);
    QTest::newRow("sharp s stays") << QString("stra\u00dfe") << true << QString("STRA\u00dfE") << qsizetype(7);
    QTest::newRow("U+0080 ends") << QString("AB\u0080C") << true << "AB" << qsizetype(3);
    QTest::newRow("U+0081 continues") << QString("AB\u0081C") << true << QString("AB\u0081C") << qsizetype(5);
    QTest::newRow("dot ends") << "A.B" << true << "A" << qsizetype(2);
    QTest::newRow("superscript two continues") << QString("A\u00b2") << true << QString("A\u00b2") << qsizetype(3);
    QTest::newRow("arabic-indic digit") << QString("A\u0663") << true << QString("A\u0663") << qsizetype(3);
    QTest::newRow("surrogate pair") << QString::fromUtf8("A\xf0\x9f\x98\x80Z") << true
                                    << QString::fromUtf8("A\xf0\x9f\x98\x80Z") << qsizetype(5);
    QTest::newRow("whole line") << "BEGIN   " << true << "BEGIN" << qsizetype(6);
    QTest::newRow("empty") << "" << false << "" << qsizetype(1);
}

void TestLexer::identificateur() {
    QFETCH(QString, line);
    QFETCH(bool, ok);
    QFETCH(QString, name);
    QFETCH(qsizetype, index);
    LECTYPE l = scan(line);
    QString nom = "stale";
    QCOMPARE(IDENTIFICATEUR(l, nom), ok);
    QCOMPARE(nom, name);
    QCOMPARE(l.INDEX, index);
    QVERIFY(consistent(l));
}

void TestLexer::characterClasses_data() {
    QTest::addColumn<QChar>("c");
    QTest::addColumn<bool>("letter");
    QTest::addColumn<bool>("digit");

    QTest::newRow("A") << QChar(u'A') << true << false;
    QTest::newRow("z") << QChar(u'z') << true << false;
    QTest::newRow("_") << QChar(u'_') << true << false;
    QTest::newRow("0") << QChar(u'0') << false << true;
    QTest::newRow("9") << QChar(u'9') << false << true;
    QTest::newRow("-") << QChar(u'-') << false << false;
    QTest::newRow(".") << QChar(u'.') << false << false;
    QTest::newRow("@") << QChar(u'@') << false << false;
    QTest::newRow("[") << QChar(u'[') << false << false;
    QTest::newRow("U+007F") << QChar(0x7f) << false << false;
    QTest::newRow("U+0080") << QChar(0x80) << false << false;
    QTest::newRow("U+0081") << QChar(0x81) << true << false;
    QTest::newRow("superscript two") << QChar(0xb2) << true << false;
    QTest::newRow("E acute") << QChar(0xc9) << true << false;
    QTest::newRow("arabic-indic three") << QChar(0x663) << true << true;
    QTest::newRow("fullwidth seven") << QChar(0xff17) << true << true;
    QTest::newRow("roman numeral") << QChar(0x2160) << true << false;
    QTest::newRow("high surrogate") << QChar(0xd83d) << true << false;
    QTest::newRow("low surrogate") << QChar(0xde00) << true << false;
    QTest::newRow("U+0000") << QChar(0) << false << false;
}

void TestLexer::characterClasses() {
    QFETCH(QChar, c);
    QFETCH(bool, letter);
    QFETCH(bool, digit);
    QCOMPARE(ALPHABETIQUE(c), letter);
    QCOMPARE(NUMERIQUE(c), digit);
}

void TestLexer::currentCharacterUpperCase() {
    LECTYPE l = scan(QString("\u00e9a\u00ff"));
    QCOMPARE(l.CH, QChar(0xc9));
    QCOMPARE(l.CL, QChar(0xe9));
    LIRECARACTERE(l);
    QCOMPARE(l.CH, QChar(u'A'));
    LIRECARACTERE(l);
    QCOMPARE(l.CH, QChar(0x178));
    QCOMPARE(l.CL, QChar(0xff));
}

void TestLexer::typedProperty_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QString>("value");

    QTest::newRow("TEL with type") << "TEL;TYPE=CELL:+33 6 12"
                                   << "TEL"
                                   << "TYPE=CELL"
                                   << "+33 6 12";
    QTest::newRow("URL with colons") << "URL:a:b:c"
                                     << "URL"
                                     << ""
                                     << "a:b:c";
    QTest::newRow("EMAIL lower, blanks") << "email;type=work: a@b.c"
                                         << "EMAIL"
                                         << "type=work"
                                         << " a@b.c";
    QTest::newRow("value keeps lower case") << "TEL;type=home:abc;def"
                                            << "TEL"
                                            << "type=home"
                                            << "abc;def";
    QTest::newRow("no colon") << "TEL;TYPE=CELL"
                              << "TEL"
                              << "TYPE=CELL"
                              << "";
    QTest::newRow("empty value") << "URL:"
                                 << "URL"
                                 << ""
                                 << "";
    QTest::newRow("trailing blanks gone") << "URL:http://x/  \r"
                                          << "URL"
                                          << ""
                                          << "http://x/";
}

void TestLexer::typedProperty() {
    QFETCH(QString, line);
    QFETCH(QString, keyword);
    QFETCH(QString, parameters);
    QFETCH(QString, value);
    LECTYPE l = scan(line);
    QVERIFY(IDENTPATERN(l, keyword));
    QString params;
    if (l.CH != u':')
        params = IDENTSEP(l, u':');
    QCOMPARE(params, parameters);
    QCOMPARE(IDENTSEP(l, QChar(u'\0')), value);
    QCOMPARE(l.T, FINLIGNE);
    QVERIFY(consistent(l));
}

void TestLexer::nameComponents() {
    LECTYPE l = scan("N:Doe;John;;;");
    QVERIFY(IDENTPATERN(l, u"N") && (SEPARATEUR(l, u";") || SEPARATEUR(l, u":")));
    l.INDEX = l.BUFFER.indexOf(u':') + 1;
    QCOMPARE(l.INDEX, qsizetype(2));
    const QStringList expected{"Doe", "John", "", "", "", ""};
    for (const QString& part : expected)
        QCOMPARE(IDENTSEP(l, u';'), part);
    QCOMPARE(l.T, FINLIGNE);

    // Parameters before the colon, blanks kept inside the fields.
    l = scan("N;CHARSET=UTF-8: van Dam;Jo Ann");
    QVERIFY(IDENTPATERN(l, u"N") && (SEPARATEUR(l, u";") || SEPARATEUR(l, u":")));
    l.INDEX = l.BUFFER.indexOf(u':') + 1;
    QCOMPARE(IDENTSEP(l, u';'), QString(" van Dam"));
    QCOMPARE(IDENTSEP(l, u';'), QString("Jo Ann"));
    QCOMPARE(IDENTSEP(l, u';'), QString());
}

void TestLexer::addressComponents() {
    LECTYPE l = scan("ADR;TYPE=HOME:;;1 rue X;Paris;;75001;France");
    QVERIFY(IDENTPATERN(l, u"ADR"));
    QCOMPARE(IDENTSEP(l, u':'), QString("TYPE=HOME"));
    QStringList parts;
    for (int i = 0; i < 7; ++i)
        parts << IDENTSEP(l, u';');
    QCOMPARE(parts, QStringList({"", "", "1 rue X", "Paris", "", "75001", "France"}));
}

void TestLexer::formattedNameAfterColonSearch() {
    LECTYPE l = scan("FN;CHARSET=UTF-8:Jean: Dupont");
    QVERIFY(IDENTPATERN(l, u"FN"));
    l.INDEX = l.BUFFER.indexOf(u':') + 1;
    QCOMPARE(IDENTSEP(l, QChar(u'\0')), QString("Jean: Dupont"));
}

void TestLexer::organisationWithoutColon() {
    // A search that finds nothing gives INDEX 0: the field then starts at the first character.
    LECTYPE l = scan("ORG");
    QVERIFY(IDENTPATERN(l, u"ORG"));
    l.INDEX = l.BUFFER.indexOf(u':') + 1;
    QCOMPARE(l.INDEX, qsizetype(0));
    QCOMPARE(IDENTSEP(l, u';'), QString("ORG"));

    l = scan("ORG:Acme;Sales");
    QVERIFY(IDENTPATERN(l, u"ORG"));
    l.INDEX = l.BUFFER.indexOf(u':') + 1;
    QCOMPARE(IDENTSEP(l, u';'), QString("Acme"));
}

void TestLexer::settingsLine() {
    LECTYPE l = scan("Langue = en ");
    QVERIFY(!IDENTPATERN(l, u"LANG"));
    QVERIFY(IDENTPATERN(l, u"LANGUE") && SEPARATEUR(l, u"="));
    QVERIFY(!IDENTPATERN(l, u"FR"));
    QVERIFY(IDENTPATERN(l, u"EN"));
    QVERIFY(SEPARATEUR(l, u""));

    l = scan("NomRepEntree=  /home/a b/x  ");
    QVERIFY(IDENTPATERN(l, u"NOMREPENTREE") && SEPARATEUR(l, u"="));
    QCOMPARE(l.BUFFER.mid(l.INDEX - 1).trimmed(), QString("/home/a b/x"));
}

void TestLexer::identSepOnNulCharacter() {
    // U+0000 asks for the whole rest of the line, even one that holds a NUL.
    LECTYPE l = scan(QString("NOTE:a") + QChar(u'\0') + "b");
    QVERIFY(IDENTPATERN(l, u"NOTE"));
    QCOMPARE(IDENTSEP(l, QChar(u'\0')), QString("a") + QChar(u'\0') + "b");
    QVERIFY(consistent(l));
}

void TestLexer::identSepAtEndOfLine() {
    LECTYPE l = scan("A");
    QVERIFY(IDENTPATERN(l, u"A"));
    QCOMPARE(IDENTSEP(l, u';'), QString());
    QCOMPARE(IDENTSEP(l, QChar(u'\0')), QString());
    QCOMPARE(l.INDEX, qsizetype(2));
    l = scan("");
    QCOMPARE(IDENTSEP(l, u';'), QString());
    QVERIFY(consistent(l));
}

void TestLexer::hugeLine() {
    const qsizetype n = 10 * 1024 * 1024;
    QString line = "NOTE:" + QString(n, u'x') + blanks(3);
    LECTYPE l = scan(line);
    QCOMPARE(l.BUFFER.size(), n + 5);
    QVERIFY(IDENTPATERN(l, u"NOTE"));
    QCOMPARE(IDENTSEP(l, QChar(u'\0')).size(), n);
    QCOMPARE(l.T, FINLIGNE);

    l = scan(QString(n, u'a'));
    QString nom;
    QVERIFY(!IDENTPATERN(l, u"A"));
    QCOMPARE(l.INDEX, qsizetype(1));
    QVERIFY(IDENTIFICATEUR(l, nom));
    QCOMPARE(nom.size(), n);
    QVERIFY(SEPARATEUR(l, u""));
}

void TestLexer::randomLinesStayInBuffer() {
    // Random lines of blanks, separators, letters, controls and surrogate halves, scanned by
    // random chains of operations and hand-set positions: the record stays consistent and
    // ends as the step-by-step reading of the rules leaves it.
    QRandomGenerator rng(20240611);
    for (int round = 0; round < 20000; ++round) {
        LECTYPE l;
        l.BUFFER = randomLine(rng);
        DEBUTANALYSE(l);
        QVERIFY(consistent(l));
        bool handSet = false;
        for (int step = 0; step < 8; ++step) {
            handSet = randomStep(l, rng, handSet);
            if (QTest::currentTestFailed())
                return;
            if (!handSet)
                QVERIFY2(consistent(l), qPrintable(QString("line %1").arg(round)));
        }
    }
}

QTEST_GUILESS_MAIN(TestLexer)
#include "tst_lexer.moc"
