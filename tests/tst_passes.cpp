#include "inputlineshelpers.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using helpers::drainPeeking;
using helpers::passesOf;

namespace {

// The passes written the plain way, editing the list in place line by line; InputLines, which
// hands the lines on one at a time, must give exactly the same lists.
QString upper(const QString& s) {
    QString r = s;
    for (QChar& c : r)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return r;
}

QString trimLow(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 0x20)
        ++b;
    while (e > b && s.at(e - 1).unicode() <= 0x20)
        --e;
    return s.mid(b, e - b);
}

// Up to maxCount - 1 lines of up to three random pieces each.
QStringList randomLines(QRandomGenerator& rng, const QStringList& pieces, int maxCount = 8) {
    QStringList lines;
    const int count = rng.bounded(maxCount);
    for (int i = 0; i < count; ++i) {
        QString line;
        const int n = rng.bounded(4);
        for (int k = 0; k < n; ++k)
            line += pieces.at(rng.bounded(int(pieces.size())));
        lines << line;
    }
    return lines;
}

void googleInPlace(QStringList& T) {
    QStringList AVirer;
    for (int i = 0; i < T.size(); ++i) {
        const QString u = upper(T[i]);
        const qsizetype p = u.indexOf("X-ABLABEL:");
        if (p < 0)
            continue;
        const QString S = trimLow(u.left(p));
        if (!S.isEmpty() && !AVirer.contains(S))
            AVirer.append(S);
        T[i] = QString();
    }
    for (int i = 0; i < T.size(); ++i) {
        const QString u = upper(trimLow(T[i]));
        for (const QString& P : AVirer) {
            if (u.startsWith(P)) {
                T[i] = T[i].mid(P.size());
                break;
            }
        }
    }
}

void preMyPhoneInPlace(QStringList& T) {
    bool photo = false;
    int i = 0;
    while (i < T.size()) {
        if (!photo) {
            if (upper(T[i]).startsWith("PHOTO")) {
                photo = true;
            } else if (T[i].isEmpty()) {
                T.removeAt(i);
                continue;
            } else {
                if (T[i].endsWith('=') && i + 1 < T.size()) {
                    T[i].chop(1);
                    if (!T[i + 1].isEmpty() && !T[i + 1].startsWith(' '))
                        T[i + 1].prepend(' ');
                }
                T[i].replace("=0A", "\\n");
                T[i].replace("=3D", " ");
            }
        } else if (!T[i].isEmpty() && T[i].startsWith(' ')) {
            photo = false;
        }
        ++i;
    }
}

void postMyPhoneInPlace(QStringList& T) {
    bool photo = false;
    int i = 0;
    while (i < T.size()) {
        if (!photo) {
            if (upper(T[i]).startsWith("PHOTO")) {
                photo = true;
            } else {
                QString s = T[i];
                s.replace("&#10;", "=0A");
                s.replace("\\n", "=0A");
                if (s.size() >= 2 && s.at(1) == ' ')
                    s = s.left(1) + "=3D" + s.mid(2);
                if (!s.isEmpty() && s.at(0) == ' ' && i > 0)
                    T[i - 1].append('=');
                T[i] = trimLow(s);
            }
        } else if (!T[i].isEmpty() && !T[i].startsWith(' ')) {
            photo = false;
            T.insert(i, QString());
        }
        ++i;
    }
}

// Takes the first ";X-SYNC" parameter off each line: up to the next ";", or else up to the next ":".
void xsyncInPlace(QStringList& T) {
    for (QString& line : T) {
        const qsizetype at = line.indexOf(";X-SYNC");
        if (at < 0)
            continue;
        qsizetype stop = line.indexOf(';', at + 1);
        if (stop < 0)
            stop = line.indexOf(':', at + 1);
        if (stop >= 0)
            line.remove(at, stop - at);
    }
}

// The plain versions of the chosen passes, in the order InputLines applies them.
QStringList inPlace(QStringList T, InputLines::Passes passes) {
    if (passes.myPhone)
        preMyPhoneInPlace(T);
    if (passes.google)
        googleInPlace(T);
    if (passes.xsync)
        xsyncInPlace(T);
    return T;
}

} // namespace

// The lines as InputLines hands them on from a list in memory.
QStringList fromList(const QStringList& input, InputLines::Passes passes) {
    LineList list(input);
    InputLines lines(list, passes);
    QStringList out;
    for (QString line; lines.next(line);)
        out << line;
    return out;
}

// The lines as a conversion takes them from a file of `input` (Latin-1 text) ending each line
// with CR LF.
QStringList fromText(const QStringList& input, InputLines::Passes passes) {
    QByteArray bytes;
    for (const QString& line : input)
        bytes += line.toLatin1() + "\r\n";
    InputText text;
    text.loadBytes(QStringLiteral("in.vcf"), bytes);
    InputLines lines(text, passes);
    return drainPeeking(lines);
}

class TestPasses : public QObject {
    Q_OBJECT
private slots:
    void google_data();
    void google();
    void preMyPhone_data();
    void preMyPhone();
    void postMyPhone_data();
    void postMyPhone();
    void emptyLists();
    void randomListsMatchInPlaceEditing();
    void longListsMatchInPlaceEditing();
    void inputLinesMatchInPlaceEditing();
    void plainBytesAreTheLines_data();
    void plainBytesAreTheLines();
};

void TestPasses::google_data() {
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("no label lines") << QStringList{"BEGIN:VCARD", "item1.EMAIL:x", "END:VCARD"}
                                    << QStringList{"BEGIN:VCARD", "item1.EMAIL:x", "END:VCARD"};
    QTest::newRow("grouped properties") << QStringList{"item1.EMAIL;type=INTERNET:x", "item1.X-ABLabel:Home"}
                                        << QStringList{"EMAIL;type=INTERNET:x", ""};
    QTest::newRow("label after its property, any case")
        << QStringList{"ITEM2.TEL:1", "item2.x-ablabel:Work", "Item2.URL:u"} << QStringList{"TEL:1", "", "URL:u"};
    QTest::newRow("label without prefix")
        << QStringList{"X-ABLabel:Home", "item1.TEL:1"} << QStringList{"", "item1.TEL:1"};
    QTest::newRow("same prefix twice") << QStringList{"item1.X-ABLabel:a", "item1.X-ABLabel:b", "item1.TEL:1"}
                                       << QStringList{"", "", "TEL:1"};
    QTest::newRow("two prefixes, each line its own")
        << QStringList{"item1.TEL:1", "item2.TEL:2", "item1.X-ABLabel:a", "item2.X-ABLabel:b", "item3.TEL:3"}
        << QStringList{"TEL:1", "TEL:2", "", "", "item3.TEL:3"};
    QTest::newRow("dot keeps item10 apart")
        << QStringList{"item1.X-ABLabel:a", "item10.TEL:1"} << QStringList{"", "item10.TEL:1"};
    QTest::newRow("label text inside a note")
        << QStringList{"NOTE:see x-ablabel:here", "NOTE:SEE again"} << QStringList{"", " again"};
    QTest::newRow("blanks around the prefix")
        << QStringList{"  item1. X-ABLabel:a", "item1.TEL:1"} << QStringList{"", "TEL:1"};
    // The prefix length is cut from the line as it stands, leading blanks included.
    QTest::newRow("indented grouped line")
        << QStringList{"item1.X-ABLabel:a", "  item1.TEL:1"} << QStringList{"", "1.TEL:1"};
    QTest::newRow("shorter prefix listed first wins")
        << QStringList{"A.X-ABLABEL:1", "A.B.X-ABLABEL:2", "A.B.TEL:3"} << QStringList{"", "", "B.TEL:3"};
    QTest::newRow("longer prefix listed first wins")
        << QStringList{"A.B.X-ABLABEL:2", "A.X-ABLABEL:1", "A.B.TEL:3", "A.TEL:4"}
        << QStringList{"", "", "TEL:3", "TEL:4"};
}

void TestPasses::google() {
    QFETCH(QStringList, input);
    QFETCH(QStringList, expected);
    QCOMPARE(fromList(input, passesOf(2)), expected);
    QCOMPARE(fromText(input, passesOf(2)), expected);
}

void TestPasses::preMyPhone_data() {
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("worked example") << QStringList{"NOTE;ENCODING=QUOTED-PRINTABLE:x=0Ay=", "z=3Dw"}
                                    << QStringList{"NOTE;ENCODING=QUOTED-PRINTABLE:x\\ny", " z w"};
    QTest::newRow("soft break") << QStringList{"A=", "B"} << QStringList{"A", " B"};
    QTest::newRow("soft break before folded line") << QStringList{"A=", " B"} << QStringList{"A", " B"};
    QTest::newRow("soft break on last line stays") << QStringList{"A", "B="} << QStringList{"A", "B="};
    QTest::newRow("soft break before empty line") << QStringList{"A=", "", "B"} << QStringList{"A", "B"};
    QTest::newRow("chained soft breaks") << QStringList{"A=", "B=", "C"} << QStringList{"A", " B", " C"};
    QTest::newRow("empty lines deleted") << QStringList{"A", "", "", "B", ""} << QStringList{"A", "B"};
    QTest::newRow("=3D becomes a blank") << QStringList{"TEL;TYPE=3DCELL:1"} << QStringList{"TEL;TYPE CELL:1"};
    QTest::newRow("soft break removed before decoding") << QStringList{"x=3=", "D"} << QStringList{"x=3", " D"};
    QTest::newRow("photo block kept") << QStringList{"PHOTO;ENCODING=BASE64:AB==", "CD==", "", " EF=", "X=3D"}
                                      << QStringList{"PHOTO;ENCODING=BASE64:AB==", "CD==", "", " EF=", "X "};
    QTest::newRow("lower-case photo opens a block")
        << QStringList{"photo:a=", "b=0A"} << QStringList{"photo:a=", "b=0A"};
    QTest::newRow("logo rewritten") << QStringList{"LOGO:AB=", "CD=3D"} << QStringList{"LOGO:AB", " CD "};
    QTest::newRow("photo at end of list") << QStringList{"PHOTO:a", "b="} << QStringList{"PHOTO:a", "b="};
    QTest::newRow("closing line of block is not rewritten")
        << QStringList{"PHOTO:a", " b=", "c=0A"} << QStringList{"PHOTO:a", " b=", "c\\n"};
    QTest::newRow("soft break into a photo line")
        << QStringList{"A=", "PHOTO:x", "y="} << QStringList{"A", " PHOTO:x", "y="};
}

void TestPasses::preMyPhone() {
    QFETCH(QStringList, input);
    QFETCH(QStringList, expected);
    QCOMPARE(fromList(input, passesOf(1)), expected);
    QCOMPARE(fromText(input, passesOf(1)), expected);
}

void TestPasses::postMyPhone_data() {
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("worked example") << QStringList{"NOTE:a\\nb", " c", "PHOTO;ENCODING=BASE64;TYPE=JPEG:AAAA", " BBBB",
                                                   "END:VCARD"}
                                    << QStringList{"NOTE:a=0Ab=", "c", "PHOTO;ENCODING=BASE64;TYPE=JPEG:AAAA",
                                                   " BBBB",       "",  "END:VCARD"};
    QTest::newRow("xml line break") << QStringList{"NOTE:a&#10;b"} << QStringList{"NOTE:a=0Ab"};
    QTest::newRow("first line folded") << QStringList{" abc", "X"} << QStringList{"abc", "X"};
    QTest::newRow("two leading blanks") << QStringList{"X", "  y"} << QStringList{"X=", "=3Dy"};
    QTest::newRow("second character blank") << QStringList{"a b"} << QStringList{"a=3Db"};
    QTest::newRow("empty line stays") << QStringList{"A", "", " b"} << QStringList{"A", "=", "b"};
    QTest::newRow("trailing blanks trimmed") << QStringList{"AB  \t"} << QStringList{"AB"};
    QTest::newRow("logo folded lines") << QStringList{"LOGO;ENCODING=b:AAAA", " BBBB", " CC==", "END:VCARD"}
                                       << QStringList{"LOGO;ENCODING=b:AAAA=", "BBBB=", "CC==", "END:VCARD"};
    QTest::newRow("photo block to end of list")
        << QStringList{"PHOTO:AAAA", " BB", ""} << QStringList{"PHOTO:AAAA", " BB", ""};
    QTest::newRow("photo block keeps empty lines")
        << QStringList{"photo:AA", "", " BB", "N:x"} << QStringList{"photo:AA", "", " BB", "", "N:x"};
    QTest::newRow("photo right after photo") << QStringList{"PHOTO:A", " B", "PHOTO:C", " D", "END:VCARD"}
                                             << QStringList{"PHOTO:A", " B", "", "PHOTO:C", " D", "", "END:VCARD"};
    QTest::newRow("photo data not rewritten")
        << QStringList{"PHOTO:A", " a\\n&#10;", "X"} << QStringList{"PHOTO:A", " a\\n&#10;", "", "X"};
}

void TestPasses::postMyPhone() {
    QFETCH(QStringList, input);
    QFETCH(QStringList, expected);
    LineList list(input);
    PostTraitementMyPhone(list);
    QCOMPARE(QStringList(list), expected);
}

void TestPasses::emptyLists() {
    for (int bits = 0; bits < 8; ++bits) {
        QVERIFY(fromList({}, passesOf(bits)).isEmpty());
        QVERIFY(fromText({}, passesOf(bits)).isEmpty());
    }
    LineList c;
    PostTraitementMyPhone(c);
    QVERIFY(c.isEmpty());
}

void TestPasses::randomListsMatchInPlaceEditing() {
    // Lines built from the pieces the passes react to.
    const QStringList pieces{"",      " ",     "  ",    "=",          "=0A",        "=3D",    "\\n",    "&#10;",
                             "PHOTO", "photo", "LOGO",  "X-ABLabel:", "x-ablabel:", "item1.", "ITEM1.", "item10.",
                             "a.",    "A.B.",  "TEL:1", "\t",         "b",          "\x01",   "N"};
    QRandomGenerator rng(42);
    for (int round = 0; round < 30000; ++round) {
        const QStringList input = randomLines(rng, pieces);
        QStringList expected = input;
        QStringList got;
        switch (round % 3) {
        case 0:
            googleInPlace(expected);
            got = fromList(input, passesOf(2));
            break;
        case 1:
            preMyPhoneInPlace(expected);
            got = fromList(input, passesOf(1));
            break;
        case 2: {
            postMyPhoneInPlace(expected);
            LineList list(input);
            PostTraitementMyPhone(list);
            got = list;
            break;
        }
        }
        if (got != expected)
            QFAIL(qPrintable(QString("pass %1 on [%2]: got [%3], expected [%4]")
                                 .arg(round % 3)
                                 .arg(input.join("|"), got.join("|"), expected.join("|"))));
    }
}

// A long list gives what the in-place editing gives: the label groups are collected from the
// whole input before the first line is handed on, in the order first met.
void TestPasses::longListsMatchInPlaceEditing() {
    const QStringList pieces{"",     " ",     "X-ABLabel:", "item1.", "ITEM2.", "a.",
                             "A.B.", "TEL:1", ";X-SYNC=1",  ";",      ":",      "b"};
    QRandomGenerator rng(7);
    QStringList input;
    for (int i = 0; i < 150000; ++i) {
        QString line;
        const int n = rng.bounded(4);
        for (int k = 0; k < n; ++k)
            line += pieces.at(rng.bounded(int(pieces.size())));
        input << line;
    }
    // "A." is first labelled late, "A.B." early: a line starting with "A.B." loses "A.B.",
    // before or after either label.
    input[10] = QStringLiteral("A.B.X-ABLabel:first");
    input[100000] = QStringLiteral("a.X-ABLabel:second");
    input[100001] = QStringLiteral("a.b.TEL:2");
    input[5] = QStringLiteral("A.B.TEL:3");

    QStringList expected = input;
    googleInPlace(expected);
    QStringList google = fromList(input, passesOf(2));
    QCOMPARE(google, expected);
    QCOMPARE(google.at(100001), QStringLiteral("TEL:2"));
    QCOMPARE(google.at(5), QStringLiteral("TEL:3"));
    QCOMPARE(fromText(input, passesOf(2)), expected);

    expected = input;
    xsyncInPlace(expected);
    QCOMPARE(fromList(input, passesOf(4)), expected);
    QCOMPARE(fromText(input, passesOf(4)), expected);
}

// Lines handed on one at a time, from a list or from a file's text, come out as the in-place
// editing leaves them (MyPhoneExplorer, then Google's labels, then X-SYNC), for every choice of
// passes.
void TestPasses::inputLinesMatchInPlaceEditing() {
    QStringList pieces{"",     " ",          "=",          "=0A",       "=3D",    "\\n", "PHOTO",      "photo",
                       "LOGO", "X-ABLabel:", "x-ablabel:", "item1.",    "ITEM1.", "a.",  "A.B.",       "TEL:1",
                       "\t",   "b",          "\x01",       ";X-SYNC=1", ";",      ":",   "BEGIN:VCARD"};
    pieces << QString(QChar(0xE9)); // written as one Windows-1252 byte
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("in.vcf"));
    QRandomGenerator rng(11);
    for (int round = 0; round < 24000; ++round) {
        const QStringList input = randomLines(rng, pieces);
        const InputLines::Passes passes = passesOf(round & 7);
        const QStringList expected = inPlace(input, passes);

        QStringList got = fromList(input, passes);
        // From a file: one round in eight, the lines written in Windows-1252 with CR LF.
        if (got == expected && round % 8 < 1 + 7 * (round < 64)) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            for (const QString& line : std::as_const(input))
                f.write(line.toLatin1() + "\r\n");
            f.close();
            InputText text;
            text.load(file);
            InputLines lines(text, passes);
            got.clear();
            for (QString line; lines.next(line);)
                got << line;
            // The lines handed on as their bytes decode to what next() gives.
            if (got == expected) {
                InputLines peeking(text, passes);
                got = drainPeeking(peeking);
            }
        }
        if (got != expected)
            QFAIL(qPrintable(QString("passes %1 on [%2]: got [%3], expected [%4]")
                                 .arg(round & 7)
                                 .arg(input.join("|"), got.join("|"), expected.join("|"))));
    }
}

// The lines that InputLines hands on as their bytes decode to what next() gives, whatever the
// passes: indented grouped lines, labels, X-SYNC and code-page letters.
void TestPasses::plainBytesAreTheLines_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::newRow("grouped lines") << QByteArray("item1.X-ABLabel:a\r\n  item1.TEL:1\r\n\titem1.EMAIL:x\r\n"
                                                 "item2.TEL:2\r\nITEM1.URL:u\r\n \r\nNOTE:n\r\n");
    QTest::newRow("labels, X-SYNC, code page")
        << QByteArray("\xC9.X-ABLabel:a\r\n\xC9.TEL:1\r\n\xE9.TEL:2\r\nTEL;X-SYNC=1:3\r\nnote: x-ablabel:y\r\n");
}

void TestPasses::plainBytesAreTheLines() {
    QFETCH(QByteArray, input);
    InputText text;
    text.loadBytes(QStringLiteral("in.vcf"), input);
    for (int round = 0; round < 8; ++round) {
        const InputLines::Passes passes = passesOf(round);
        QStringList expected;
        InputLines plain(text, passes);
        for (QString line; plain.next(line);)
            expected << line;
        InputLines peeking(text, passes);
        QCOMPARE(drainPeeking(peeking), expected);
    }
}

QTEST_GUILESS_MAIN(TestPasses)
#include "tst_passes.moc"
