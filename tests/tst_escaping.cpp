#include "kzlex/cp1252.h"
#include "kzmain/contactxml.h"
#include "kzlex/text.h"

#include <QRandomGenerator>
#include <QTest>
#include <QXmlStreamReader>

namespace {

// How a UTF-8 file without byte-order mark reaches the escaping: one character per byte.
QString asUtf8Bytes(const QString& text) {
    return Cp1252::decode(text.toUtf8());
}

// The characters written as references, in the order of the replacement list.
const char16_t kReferenced[] = {0x20AC, 0x0192, 0x2026, 0x02C6, 0x2030, 0x0160, 0x0152, 0x2014, 0x2122, 0x0161, 0x0153,
                                0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AE,
                                0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B5, 0x00BA, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
                                0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA,
                                0x00CB, 0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9,
                                0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4,
                                0x00F5, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF};

// The escaping written the slow, literal way: drop the forbidden characters one by one, undo
// the vCard escapes, then every replacement over the whole text, in list order.
QString reference(const QString& s) {
    if (s.isEmpty())
        return s;
    const QString decoded = ReDecodeUtf8(s);
    QString t;
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const char16_t c = decoded.at(i).unicode();
        const bool pairedHigh =
            QChar::isHighSurrogate(c) && i + 1 < decoded.size() && decoded.at(i + 1).isLowSurrogate();
        const bool pairedLow = QChar::isLowSurrogate(c) && i > 0 && decoded.at(i - 1).isHighSurrogate();
        if (QChar::isSurrogate(c) && !pairedHigh && !pairedLow)
            continue;
        if ((c < 0x20 && c != 9 && c != 10 && c != 13) || c == 0xFFFE || c == 0xFFFF)
            continue;
        t.append(QChar(c));
    }
    // vCard escapes, from left to right: a backslash and the character after it give that
    // character, a line feed for n and N.
    QString u;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t[i] == u'\\' && i + 1 < t.size()) {
            ++i;
            u.append(t[i] == u'n' || t[i] == u'N' ? QChar(u'\n') : t[i]);
        } else {
            u.append(t[i]);
        }
    }
    t = u;
    t.replace("&", "&amp;");
    t.replace("<", "&lt;");
    t.replace(">", "&gt;");
    t.replace("\"", "&quot;");
    t.replace("\n", "&#10;");
    for (char16_t c : kReferenced)
        t.replace(QChar(c), QString("&#%1;").arg(int(c)));
    t.replace(QChar(0x2019), "'");
    if (t.startsWith(u' '))
        t.remove(0, 1);
    return t;
}

// The text an XML reader finds in an element holding the escaped value; empty on a parse error.
bool parseElement(const QString& escaped, QString* text) {
    QXmlStreamReader xml("<?xml version=\"1.0\" encoding=\"UTF-8\"?><v>" + escaped + "</v>");
    text->clear();
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isCharacters())
            text->append(xml.text());
    }
    return !xml.hasError();
}

// The characters that markup gives a meaning to.
void addMarkupRows() {
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("ampersand") << "AT&T"
                               << "AT&amp;T";
    QTest::newRow("existing reference escaped again") << "&#233;"
                                                      << "&amp;#233;";
    QTest::newRow("angle brackets") << "a<b>"
                                    << "a&lt;b&gt;";
    QTest::newRow("double quotes") << "say \"hi\""
                                   << "say &quot;hi&quot;";
    QTest::newRow("apostrophe stays") << "O'Neil"
                                      << "O'Neil";
}

// vCard escapes: line breaks and the backslash before any character.
void addVcardEscapeRows() {
    QTest::newRow("vCard line break") << "line1\\nline2"
                                      << "line1&#10;line2";
    QTest::newRow("real line feed") << "line1\nline2"
                                    << "line1&#10;line2";
    QTest::newRow("vCard line break, capital N") << "a\\Nb"
                                                 << "a&#10;b";
    // A backslash and the character after it give that character.
    QTest::newRow("vCard comma, semicolon, colon") << "a\\,b\\;c\\:d"
                                                   << "a,b;c:d";
    QTest::newRow("web address") << "http\\://www.example1.com"
                                 << "http://www.example1.com";
    QTest::newRow("escaped double quote") << "say \\\"hi\\\""
                                          << "say &quot;hi&quot;";
    QTest::newRow("escaped backslash") << "C:\\\\Temp"
                                       << "C:\\Temp";
    QTest::newRow("other escaped letter") << "a\\tb"
                                          << "atb";
    QTest::newRow("escaped markup and references") << QString("\\<\\&\\\u00e9\\\u2019") << "&lt;&amp;&#233;'";
    QTest::newRow("backslash-n anywhere") << "C:\\new"
                                          << "C:&#10;ew";
    // Read from left to right: an escaped backslash then a plain n.
    QTest::newRow("double backslash then n") << "a\\\\nb"
                                             << "a\\nb";
    QTest::newRow("three backslashes then n") << "a\\\\\\nb"
                                              << "a\\&#10;b";
    QTest::newRow("backslash at end") << "a\\"
                                      << "a\\";
    QTest::newRow("escaped backslash at end") << "a\\\\"
                                              << "a\\";
    QTest::newRow("backslash alone") << "\\"
                                     << "\\";
    QTest::newRow("backslash before line feed") << "a\\\nb"
                                                << "a&#10;b";
    QTest::newRow("escaped utf8 letter") << asUtf8Bytes(QString("\\\u00e9t\u00e9")) << "&#233;t&#233;";
}

// Tabs, CRs and the right single quote; the one leading blank that goes.
void addQuoteAndBlankRows() {
    QTest::newRow("tab and CR kept") << "a\tb\rc"
                                     << "a\tb\rc";
    QTest::newRow("right single quote") << QString("It\u2019s") << "It's";
    QTest::newRow("one leading blank dropped") << " Doe"
                                               << "Doe";
    QTest::newRow("escaped leading blank dropped") << "\\ Doe"
                                                   << "Doe";
    QTest::newRow("second leading blank kept") << "  Doe"
                                               << " Doe";
    QTest::newRow("trailing blank kept") << "Doe "
                                         << "Doe ";
    QTest::newRow("blank only") << " "
                                << "";
}

// Texts as UTF-8 and Windows-1252 files bring them, and Unicode text.
void addEncodingRows() {
    // UTF-8 file without byte-order mark: its bytes arrive as Windows-1252 characters.
    QTest::newRow("utf8 e acute") << QString("\u00c3\u00a9") << "&#233;";
    QTest::newRow("utf8 word") << asUtf8Bytes(QString("Andr\u00e9 M\u00fcller")) << "Andr&#233; M&#252;ller";
    QTest::newRow("utf8 euro") << asUtf8Bytes(QString("5 \u20ac")) << "5 &#8364;";
    QTest::newRow("utf8 em dash and quote") << asUtf8Bytes(QString("a\u2014b\u2019c")) << "a&#8212;b'c";
    QTest::newRow("utf8 unreferenced letters")
        << asUtf8Bytes(QString("\u00fa\u00df\u00d1")) << QString("\u00fa\u00df\u00d1");
    QTest::newRow("utf8 outside cp1252") << asUtf8Bytes(QString("\u0141\u00f3d\u017a"))
                                         << QString("\u0141&#243;d\u017a");
    QTest::newRow("utf8 emoji") << asUtf8Bytes(QString::fromUtf8("a\xf0\x9f\x98\x80"))
                                << QString::fromUtf8("a\xf0\x9f\x98\x80");
    // Windows-1252 file: é is the byte E9, which is no UTF-8, so the text is kept.
    QTest::newRow("cp1252 e acute") << QString("Caf\u00e9") << "Caf&#233;";
    QTest::newRow("cp1252 euro") << QString("\u20ac 5") << "&#8364; 5";
    QTest::newRow("cp1252 with utf8-looking pair and e acute")
        << QString("\u00c3\u00a9 \u00e9") << "&#195;&#169; &#233;";
    // Proper Unicode text outside Windows-1252 stays as it is.
    QTest::newRow("unicode outside cp1252") << QString("\u0141\u00f3d\u017a") << QString("\u0141&#243;d\u017a");
    QTest::newRow("unreferenced latin") << QString("\u00fa\u00df\u00d1\u00a0\u201c")
                                        << QString("\u00fa\u00df\u00d1\u00a0\u201c");
}

void addForbiddenCharacterRows() {
    // Characters that XML 1.0 forbids are dropped before the replacements.
    QTest::newRow("C0 controls") << QString("a\x01"
                                            "b\x0b"
                                            "c\x1f")
                                 << "abc";
    QTest::newRow("NUL") << QString("a") + QChar(0) + "b"
                         << "ab";
    QTest::newRow("U+FFFE and U+FFFF") << QString("a\ufffeb\uffff") << "ab";
    QTest::newRow("lone high surrogate") << QString("a") + QChar(0xd83d) + "b"
                                         << "ab";
    QTest::newRow("lone low surrogate") << QString("a") + QChar(0xde00) << "a";
    QTest::newRow("reversed pair") << QString("a") + QChar(0xde00) + QChar(0xd83d) << "a";
    QTest::newRow("control before leading blank") << QString("\x01 Doe") << "Doe";
    QTest::newRow("control joins backslash and n") << QString("a\\\x02nb") << "a&#10;b";
}

} // namespace

class TestEscaping : public QObject {
    Q_OBJECT
private slots:
    void escape_data();
    void escape();
    void referencedCharacters();
    void otherCharactersPassUnchanged();
    void wellFormedForHostileValues_data();
    void wellFormedForHostileValues();
    void matchesOrderedReplacements();
};

void TestEscaping::escape_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    addMarkupRows();
    addVcardEscapeRows();
    addQuoteAndBlankRows();
    addEncodingRows();
    addForbiddenCharacterRows();
}

void TestEscaping::escape() {
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(TraiteLigneContact(value), expected);
}

void TestEscaping::referencedCharacters() {
    QCOMPARE(int(std::size(kReferenced)), 76);
    for (char16_t c : kReferenced) {
        const QString expected = QString("&#%1;").arg(int(c));
        QCOMPARE(TraiteLigneContact(QString(QChar(c))), expected);
        // The same character from a UTF-8 file without byte-order mark.
        QCOMPARE(TraiteLigneContact(asUtf8Bytes(QString(QChar(c)))), expected);
    }
    QCOMPARE(TraiteLigneContact(QString(QChar(0x20ac))), QString("&#8364;"));
    QCOMPARE(TraiteLigneContact(QString(QChar(0x0153))), QString("&#339;"));
}

void TestEscaping::otherCharactersPassUnchanged() {
    // Everything from U+0080 to U+00FF and the Windows-1252 extras that the table leaves out.
    QList<char16_t> others;
    for (char16_t c = 0x80; c <= 0xFF; ++c)
        others << c;
    for (char16_t c : {0x201A, 0x201E, 0x2020, 0x2021, 0x2039, 0x2018, 0x201C, 0x201D, 0x2022, 0x2013, 0x02DC, 0x203A,
                       0x017D, 0x017E, 0x0178})
        others << c;
    for (char16_t c : others) {
        if (std::find(std::begin(kReferenced), std::end(kReferenced), c) != std::end(kReferenced))
            continue;
        const QString s = QString("x") + QChar(c);
        QCOMPARE(TraiteLigneContact(s), s);
    }
}

void TestEscaping::wellFormedForHostileValues_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("parsed");

    QTest::newRow("CDATA end") << "a]]>b"
                               << "a]]>b";
    QTest::newRow("markup") << "</v><x a=\"1\"/>&lt;"
                            << "</v><x a=\"1\"/>&lt;";
    QTest::newRow("comment and CDATA start") << "<!-- <![CDATA["
                                             << "<!-- <![CDATA[";
    QTest::newRow("processing instruction") << "<?xml version='1.0'?>"
                                            << "<?xml version='1.0'?>";
    QTest::newRow("bare ampersands") << "& &; &#; &#x0;"
                                     << "& &; &#; &#x0;";
    QTest::newRow("controls") << QString("a\x01\x08\x1b") + QChar(0) + "b"
                              << "ab";
    QTest::newRow("non-characters") << QString("\ufffe\uffffz") << "z";
    QTest::newRow("lone surrogates") << QString(QChar(0xdc00)) + "x" + QChar(0xd800) << "x";
    QTest::newRow("line breaks") << "a\\nb\nc\\Nd"
                                 << "a\nb\nc\nd";
    QTest::newRow("escaped markup") << "\\</v\\>\\&\\"
                                    << "</v>&\\";
    QTest::newRow("utf8 mixed") << asUtf8Bytes(QString("\u20ac<\u00e9>")) << QString("\u20ac<\u00e9>");
    QTest::newRow("cp1252 C1 range") << QString("\u0081\u008d\u0090") << QString("\u0081\u008d\u0090");
}

void TestEscaping::wellFormedForHostileValues() {
    QFETCH(QString, value);
    QFETCH(QString, parsed);
    QString text;
    QVERIFY(parseElement(TraiteLigneContact(value), &text));
    QCOMPARE(text, parsed);
}

void TestEscaping::matchesOrderedReplacements() {
    // Random values over the characters that interact: the one-pass escaping must equal the
    // ordered replacements, and always parse as element content.
    const char16_t alphabet[] = {u'a',   u'n',   u'N',   u'\\',  u'&',   u'<',   u'>',   u'"',   u'\'',  u'\n',  u'\r',
                                 u'\t',  u' ',   u'#',   u';',   0x00c3, 0x00a9, 0x00e9, 0x00fa, 0x20ac, 0x2019, 0x0001,
                                 0x0000, 0xd83d, 0xde00, 0xfffe, 0x0141, 0x00e2, 0x0082, 0x00ac, 0x007f, u'~',   u' '};
    QRandomGenerator rng(7);
    for (int round = 0; round < 20000; ++round) {
        QString s;
        const int len = rng.bounded(10);
        for (int i = 0; i < len; ++i)
            s.append(QChar(alphabet[rng.bounded(int(std::size(alphabet)))]));
        // Half the values as a UTF-8 file without mark would hold them.
        if (round % 2)
            s = asUtf8Bytes(s);
        const QString escaped = TraiteLigneContact(s);
        QCOMPARE(escaped, reference(s));
        QString text;
        QVERIFY2(parseElement(escaped, &text), qPrintable(escaped));
    }
}

QTEST_GUILESS_MAIN(TestEscaping)
#include "tst_escaping.moc"
