// The contacts action: one Windows Contacts .contact document per card.
#include "conversionhelpers.h"
#include "fakewindow.h"
#include "kzlex/utf8.h"
#include "kzmain/contactxml.h"
#include "kzmain/run.h"
#include "testrun.h"
#include <optional>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QXmlStreamReader>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace helpers;

namespace {

constexpr quint32 kSeed = 0x2468ACE1;

// A contacts run on a fresh output folder with a fixed seed and creation time, called as the
// driver calls it.
struct ContactRun : TestRun {
    using TestRun::run;
    QTemporaryDir tmp;
    QString out, photos, logos;

    ContactRun() {
        out = tmp.filePath(QStringLiteral("out"));
        photos = tmp.filePath(QStringLiteral("photos"));
        logos = tmp.filePath(QStringLiteral("logos"));
        for (const QString& d : {out, photos, logos})
            QDir().mkpath(d);
        opt.NomFichierEntree = QStringLiteral("input.vcf");
        opt.NomRepSortie = out;
        opt.NomRepPhotos = photos;
        opt.NomRepLogos = logos;
        opt.language = Language::English;
        // 05:04:05 at UTC+2 is written as 03:04:05Z.
        opt.creationTime = QDateTime(QDate(2026, 1, 2), QTime(5, 4, 5), QTimeZone(7200));
        win.selectAction(Ctrl::R_SVCFToContacts);
        opt.photos = false;
        opt.logos = false;
        opt.seed = kSeed;
    }
    // The input file's text, its lines ended with CR LF, read as the driver reads the file.
    void run(const QByteArray& text) {
        InputText in;
        in.loadBytes(opt.NomFichierEntree, crlf(text));
        run().TraitementSVCFToContact(in);
    }
    QStringList files() const { return fileNames(out); }
    QByteArray file(const QString& name) const { return readBytes(out + u'/' + name); }
    // The only output document, as text.
    QString only() const {
        const QStringList f = files();
        if (f.size() != 1)
            return QStringLiteral("<%1 files: %2>").arg(f.size()).arg(f.join(u", "));
        return QString::fromUtf8(file(f.first()));
    }
    // The log without its final line.
    QStringList logLines() const { return win.log.mid(0, win.log.size() - 1); }
};

const QString kDoneEn = QStringLiteral("--> Conversion done");

// The texts of every element named `name` of a document, in document order.
QStringList elementTexts(const QString& doc, const QString& name) {
    QStringList texts;
    QXmlStreamReader xml(doc);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == name)
            texts.append(xml.readElementText(QXmlStreamReader::IncludeChildElements));
    }
    return texts;
}

// Element texts without the line breaks and indentation of the document's layout.
QStringList layoutRemoved(QStringList texts) {
    static const QRegularExpression layout(QStringLiteral("\n +|\n$"));
    for (QString& t : texts)
        t.remove(layout);
    return texts;
}

// The picture and web values of a document: its Value elements but the contact identifier's.
QStringList entryValues(const QString& doc) {
    return elementTexts(doc, QStringLiteral("Value")).mid(1);
}

// Empty when the bytes are UTF-8 without mark, CR LF lines and well-formed XML with the
// contact namespaces; otherwise what is wrong.
QString wellFormedProblem(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QStringLiteral("byte-order mark");
    if (!Utf8::isValid(bytes))
        return QStringLiteral("not UTF-8");
    if (!bytes.endsWith("\r\n") || bytes.count('\n') != bytes.count("\r\n"))
        return QStringLiteral("line ends are not CR LF");
    QXmlStreamReader xml(bytes);
    bool root = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && !root) {
            root = true;
            if (xml.qualifiedName() != u"c:contact" || xml.namespaceUri() != u"http://schemas.microsoft.com/Contact")
                return QStringLiteral("root is %1").arg(xml.qualifiedName());
        }
    }
    if (xml.hasError())
        return QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    return root ? QString() : QStringLiteral("no root element");
}

#define CHECK_WELL_FORMED(bytes)                                                                                       \
    do {                                                                                                               \
        const QString problem_ = wellFormedProblem(bytes);                                                             \
        if (!problem_.isEmpty())                                                                                       \
            QFAIL(qPrintable(problem_));                                                                               \
    } while (false)

// A property line whose value reads as `value`: its Windows-1252 bytes when every character has
// one, else its UTF-8 bytes. A value that UTF-8 cannot hold (a lone surrogate) comes as
// quoted-printable UTF-16.
QByteArray propertyLine(const QByteArray& head, const QString& value) {
    QByteArray bytes;
    if (Cp1252::encodeExact(value, &bytes))
        return head + ':' + bytes;
    if (value.isValidUtf16())
        return head + ':' + value.toUtf8();
    QByteArray qp;
    for (const QChar c : value)
        for (const uchar b : {uchar(c.unicode() & 0xFF), uchar(c.unicode() >> 8)})
            qp += '=' + QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
    return head + ";CHARSET=UTF-16LE;ENCODING=QUOTED-PRINTABLE:" + qp;
}

QByteArray card(const QByteArray& body) {
    return "BEGIN:VCARD\nVERSION:3.0\n" + body + (body.endsWith('\n') ? "" : "\n") + "END:VCARD\n";
}

// 2,000 bytes that look like a JPEG, and their base64 lines as a .contact document holds them.
QByteArray fakeJpeg() {
    QByteArray b("\xFF\xD8\xFF\xE0");
    for (int i = 0; b.size() < 2000; ++i)
        b.append(char(i * 7 + 3));
    return b;
}
QStringList base64Lines(const QByteArray& data) {
    QString all = QString::fromLatin1(data.toBase64());
    QStringList lines;
    for (qsizetype i = 0; i < all.size(); i += 78)
        lines.append(all.mid(i, 78));
    return lines;
}

// How N and FN fill the name elements and name the card.
void addEntryNameRows() {
    using L = QStringList;
    const QString dj = QStringLiteral("00001 Dupont Jean.contact");
    QTest::newRow("name") << QByteArray("N:Dupont;Jean;;;") << "Name" << L{"Jean, DupontDupontJean"} << dj;
    QTest::newRow("name with charset") << QByteArray("N;CHARSET=UTF-8:Dupont;Jean") << "FormattedName"
                                       << L{"Jean, Dupont"} << dj;
    QTest::newRow("family name only") << QByteArray("N:Dupont;;;;") << "FormattedName" << L{} << "00001 Dupont.contact";
    QTest::newRow("all five parts") << QByteArray("N:Dupont;Jean;Paul;Dr;Jr") << "Name"
                                    << L{"DrJean, DupontDupontPaulJeanJr"} << dj;
    QTest::newRow("empty name") << QByteArray("N:;;;;") << "Name" << L{} << "00001.contact";
    QTest::newRow("fn after empty n names the card")
        << QByteArray("N:;;;;\nFN:Jean Dupont\nORG:Durand SA") << "Name" << L{} << "00001 Jean Dupont.contact";
    QTest::newRow("n wins over an earlier fn")
        << QByteArray("FN:Jean Dupont\nN:Dupont;Jean") << "GivenName" << L{"Jean"} << dj;
    QTest::newRow("empty n after fn leaves the organisation")
        << QByteArray("FN:Jean Dupont\nN:;;;;\nORG:Durand SA") << "Company" << L{"Durand SA"}
        << "00001 Durand SA.contact";
    QTest::newRow("fn never written") << QByteArray("FN:Jean Dupont") << "FormattedName" << L{}
                                      << "00001 Jean Dupont.contact";
}

// The other properties, each in its own element.
void addEntryPropertyRows() {
    using L = QStringList;
    QTest::newRow("title and org in one position")
        << QByteArray("TITLE:Chef\nORG:Durand SA;Ventes") << "Position" << L{"ChefDurand SA;VentesBusiness"}
        << "00001 Durand SA;Ventes.contact";
    QTest::newRow("address in contact order")
        << QByteArray("ADR;TYPE=HOME:BP 5;Bat A;12 rue Haute;Lyon;Rhone;69001;France") << "PhysicalAddress"
        << L{"France69001Lyon12 rue HauteRhoneBP 5Bat APersonal"} << "00001.contact";
    QTest::newRow("url keeps its colons")
        << QByteArray("URL:http://a.b:80/c") << "Value" << L{"http://a.b:80/c"} << "00001.contact";
    QTest::newRow("bday as written") << QByteArray("BDAY:1980-05-12\nBDAY:19800512") << "Value"
                                     << L{"1980-05-12", "19800512"} << "00001.contact";
    QTest::newRow("note with escapes") << QByteArray("NOTE:Ligne 1\\nLigne 2 & <b>") << "Notes"
                                       << L{"\nLigne 1\nLigne 2 & <b>\n"} << "00001.contact";
    QTest::newRow("two notes") << QByteArray("NOTE:a\nNOTE:b\nNOTE:") << "Notes" << L{"\na\n", "\nb\n"}
                               << "00001.contact";
    QTest::newRow("mail and its empty entry")
        << QByteArray("EMAIL:a@b.c") << "EmailAddress" << L{"SMTPa@b.c", ""} << "00001.contact";
}

// Text in UTF-8 or Windows-1252, and a character a file name cannot hold.
void addEntryTextRows() {
    using L = QStringList;
    QTest::newRow("utf-8 name") << QByteArray("N:M\xC3\xBCller;J\xC3\xA9r\xC3\xB4me") << "FormattedName"
                                << L{QStringLiteral("Jérôme, Müller")} << QStringLiteral("00001 Müller Jérôme.contact");
    QTest::newRow("cp1252 name") << QByteArray("N:M\xFCller;Ren\xE9") << "FormattedName"
                                 << L{QStringLiteral("René, Müller")} << QStringLiteral("00001 Müller René.contact");
    QTest::newRow("euro as its code point")
        << QByteArray("NOTE:5 \xE2\x82\xAC") << "Notes" << L{QStringLiteral("\n5 €\n")} << "00001.contact";
    QTest::newRow("slash in name") << QByteArray("N:A/B;C") << "FamilyName" << L{"A/B"} << "00001 A B C.contact";
}

// vCard escapes are undone in every written value; the file name is made as before.
void addEntryEscapeRows() {
    using L = QStringList;
    QTest::newRow("escaped web address") << QByteArray("item1.URL:http\\://www.example1.com") << "Value"
                                         << L{"http://www.example1.com"} << "00001.contact";
    QTest::newRow("escapes in company and title")
        << QByteArray("ORG:ABC\\, Inc.\\;Sales\nTITLE:Director\\, R&D") << "Position"
        << L{"ABC, Inc.;SalesDirector, R&DBusiness"} << "00001 ABC , Inc. ;Sales.contact";
    QTest::newRow("escapes in a note, left to right")
        << QByteArray("NOTE:say \\\"hi\\\"\\nC:\\\\new\\N\\\\\\n") << "Notes" << L{"\nsay \"hi\"\nC:\\new\n\\\n\n   "}
        << "00001.contact";
    QTest::newRow("escapes in names") << QByteArray("N:Doe\\, Jr;John;Richter\\,James;Mr\\.;Sr\\\\") << "Name"
                                      << L{"Mr.John, Doe, JrDoe, JrRichter,JamesJohnSr\\"}
                                      << "00001 Doe , Jr John.contact";
    QTest::newRow("escapes in an address") << QByteArray("ADR:;;Street 5\\,\\nFloor 2;New York;;;") << "PhysicalAddress"
                                           << L{"New YorkStreet 5,\nFloor 2Other"} << "00001.contact";
    // Components are cut at every ";": the backslash that protected one is not written.
    QTest::newRow("protected semicolon in a name")
        << QByteArray("N:Dupont\\;Martin;Jean\\\\;Paul\\") << "Name" << L{"Paul\\Martin, DupontDupontJean\\Martin"}
        << "00001 Dupont  Martin.contact";
    QTest::newRow("protected semicolon in an address") << QByteArray("ADR:;;Rue 1\\;Bat B;Lyon;;;") << "PhysicalAddress"
                                                       << L{"Bat BRue 1LyonOther"} << "00001.contact";
    QTest::newRow("component of a lone backslash")
        << QByteArray("N:\\;Jean") << "Name" << L{"Jean"} << "00001 Jean.contact";
}

} // namespace

class TestContacts : public QObject {
    Q_OBJECT

private slots:
    // The card of the worked example, line by line, with its identifiers in draw order.
    void workedExample() {
        ContactRun r;
        ElementIds generator(kSeed);
        QStringList ids;
        for (int i = 0; i < 7; ++i)
            ids.append(generator.next());
        r.opt.language = Language::French;
        r.run(readBytes(dataPath(QStringLiteral("contacts/worked-example.vcf"))));

        QByteArray expected = readBytes(dataPath(QStringLiteral("contacts/worked-example.contact")));
        expected.replace("{DATE}", "2026-01-02T03:04:05Z");
        for (int i = 0; i < ids.size(); ++i)
            expected.replace("{ID" + QByteArray::number(i + 1) + '}', ids[i].toLatin1());
        QCOMPARE(r.files(), QStringList{QStringLiteral("00001 Dupont Jean.contact")});
        COMPARE_BYTES(r.file(r.files().first()), expected);
        const QString done = QStringLiteral("--> Conversion terminée");
        QCOMPARE(r.win.memo, (QStringList{QStringLiteral("Dupont Jean"), done}));
        QCOMPARE(r.win.log, QStringList{done});
        QCOMPARE(r.win.counter, QStringLiteral("1 contact"));
        // Seven identifiers in all: the last one went to the unwritten empty mail entry.
        QCOMPARE(r.run().identifiers().state(), generator.state());
    }

    // Labels of the telephone, address, mail and web entries, in document order.
    void labels_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("labels");
        using L = QStringList;
        QTest::newRow("tel cell pref") << QByteArray("TEL;TYPE=CELL,PREF:06 01 02 03 04") << L{"Cellular", "Preferred"};
        QTest::newRow("tel work fax") << QByteArray("TEL;TYPE=WORK,FAX:0102") << L{"Fax", "Voice", "Business"};
        QTest::newRow("tel plain") << QByteArray("TEL:0102") << L{"Voice"};
        QTest::newRow("tel home voice") << QByteArray("TEL;HOME;VOICE:0102") << L{"Voice", "Personal"};
        QTest::newRow("tel work home") << QByteArray("TEL;WORK;HOME:0102") << L{"Voice", "Business"};
        QTest::newRow("tel cell fax") << QByteArray("TEL;FAX;CELL:0102") << L{"Cellular", "Voice"};
        QTest::newRow("tel x-cellular") << QByteArray("TEL;TYPE=X-CELLULAR:0102") << L{"Cellular", "Voice"};
        QTest::newRow("tel isdn") << QByteArray("tel;type=isdn:0102") << L{"ISDN", "Voice"};
        QTest::newRow("tel pager") << QByteArray("TEL;PAGER:0102") << L{"Pager", "Voice"};
        QTest::newRow("tel video") << QByteArray("TEL;VIDEO:0102") << L{"Video", "Voice"};
        QTest::newRow("tel bbs") << QByteArray("TEL;BBS:0102") << L{"BBS", "Voice"};
        QTest::newRow("tel modem") << QByteArray("TEL;MODEM:0102") << L{"Modem", "Voice"};
        QTest::newRow("tel msg car text") << QByteArray("TEL;MSG;CAR;TEXT:0102") << L{"Voice"};
        QTest::newRow("adr plain") << QByteArray("ADR:;;1 rue;Paris;;;") << L{"Other"};
        QTest::newRow("adr work") << QByteArray("ADR;TYPE=WORK:;;1 rue;;;;") << L{"Business"};
        QTest::newRow("adr home") << QByteArray("ADR;HOME:;;1 rue;;;;") << L{"Personal"};
        QTest::newRow("adr work home") << QByteArray("ADR;WORK;HOME:;;1 rue;;;;") << L{"Business"};
        QTest::newRow("email internet") << QByteArray("EMAIL;TYPE=INTERNET:a@b.c") << L{};
        QTest::newRow("email plain") << QByteArray("EMAIL:a@b.c") << L{};
        QTest::newRow("email work") << QByteArray("EMAIL;TYPE=WORK:a@b.c") << L{"Business"};
        QTest::newRow("email work home") << QByteArray("EMAIL;TYPE=WORK,HOME:a@b.c") << L{"Personal"};
        QTest::newRow("email work pref") << QByteArray("EMAIL;TYPE=WORK,PREF:a@b.c") << L{"Preferred"};
        QTest::newRow("url plain") << QByteArray("URL:http://a.b/c") << L{"Business"};
        QTest::newRow("url home") << QByteArray("URL;TYPE=HOME:http://a.b/c") << L{"Personal"};
        QTest::newRow("url work") << QByteArray("URL;WORK:http://a.b/c") << L{"Business"};
        QTest::newRow("title alone") << QByteArray("TITLE:Chef") << L{"Business"};
        QTest::newRow("bday") << QByteArray("BDAY:19800512") << L{"Birthday"};
        QTest::newRow("photo uri") << QByteArray("PHOTO;VALUE=uri:http://a/b.jpg") << L{"UserTile"};
        QTest::newRow("logo uri") << QByteArray("LOGO;VALUE=uri:http://a/b.jpg") << L{"Logo"};
    }
    void labels() {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, labels);
        ContactRun r;
        r.run(card(line));
        const QString doc = r.only();
        QCOMPARE(elementTexts(doc, QStringLiteral("Label")), labels);
        QCOMPARE(r.logLines(), QStringList());
        CHECK_WELL_FORMED(doc.toUtf8());
    }

    // What each property writes: the element texts it gives, and what the card is named.
    void entries_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("element");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("fileName");
        addEntryNameRows();
        addEntryPropertyRows();
        addEntryTextRows();
        addEntryEscapeRows();
    }
    void entries() {
        QFETCH(QByteArray, body);
        QFETCH(QString, element);
        QFETCH(QStringList, texts);
        QFETCH(QString, fileName);
        ContactRun r;
        r.run(card(body));
        QCOMPARE(r.files(), QStringList{fileName});
        const QString doc = r.only();
        CHECK_WELL_FORMED(doc.toUtf8());
        QStringList got = elementTexts(doc, element);
        if (element == u"Value")
            got.removeFirst(); // the contact identifier's
        QCOMPARE(layoutRemoved(got), layoutRemoved(texts));
        QCOMPARE(r.logLines(), QStringList());
        QCOMPARE(r.win.memo.size(), 2);
    }

    // What phones and address books write beyond plain vCard 3.0: quoted-printable with soft line
    // breaks, CHARSET, group prefixes, vCard 4.0 numbers; with and without MyPhoneExplorer input,
    // and in a file read through a byte-order mark (whose CHARSET says nothing).
    void realExports_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("myPhone");
        QTest::addColumn<bool>("marked");
        QTest::addColumn<QString>("element");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("fileName");
        using L = QStringList;
        const QByteArray lz("N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Lef=C3=A8vre;Zo=\n=C3=A9\nTEL:1");
        const QString lzName = QStringLiteral("00001 Lefèvre Zoé.contact");
        for (bool myPhone : {false, true}) {
            const char* in = myPhone ? " (MyPhoneExplorer input)" : "";
            QTest::newRow(qPrintable(QStringLiteral("qp name over a soft break%1").arg(in)))
                << lz << myPhone << false << "FormattedName" << L{QStringLiteral("Zoé, Lefèvre")} << lzName;
            QTest::addRow("qp soft break then folded line%s", in)
                << QByteArray("NOTE;QUOTED-PRINTABLE:a=\nb=C3=A9\n c") << myPhone << false << "Notes"
                << L{QStringLiteral("\nabéc")} << "00001.contact";
            QTest::addRow("folded line then qp soft break%s", in)
                << QByteArray("note;encoding=quoted-printable:a\n b=\nc=3F") << myPhone << false << "Notes"
                << L{QStringLiteral("\nabc?")} << "00001.contact";
        }
        QTest::newRow("qp in ISO-8859-1")
            << QByteArray("N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=F6rg") << false << false
            << "FormattedName" << L{QStringLiteral("Jörg, Müller")} << QStringLiteral("00001 Müller Jörg.contact");
        QTest::newRow("Shift_JIS bytes") << QByteArray("N;CHARSET=Shift_JIS:\x8ER\x93"
                                                       "c;\x91\xBE\x98Y")
                                         << false << false << "FormattedName" << L{QStringLiteral("太郎, 山田")}
                                         << QStringLiteral("00001 山田 太郎.contact");
        QTest::newRow("KOI8-R bytes") << QByteArray("N;CHARSET=koi8-r:\xE9\xD7\xC1\xCE\xCF\xD7;\xE9\xD7\xC1\xCE")
                                      << false << false << "FamilyName" << L{QStringLiteral("Иванов")}
                                      << QStringLiteral("00001 Иванов Иван.contact");
        QTest::newRow("broken escapes stay, a last soft break keeps the end line")
            << QByteArray("NOTE;ENCODING=QUOTED-PRINTABLE:a=G1=4=") << false << false << "Notes" << L{"\na=G1=4="}
            << "00001.contact";
        QTest::newRow("unknown charset changes nothing")
            << QByteArray("N;CHARSET=X-NOPE:M\xC3\xBCller;A") << false << false << "FamilyName"
            << L{QStringLiteral("Müller")} << QStringLiteral("00001 Müller A.contact");
        QTest::newRow("charset ignored after a byte-order mark")
            << QByteArray("N;CHARSET=ISO-8859-1:M\xC3\xBCller;A") << false << true << "FamilyName"
            << L{QStringLiteral("Müller")} << QStringLiteral("00001 Müller A.contact");
        QTest::newRow("qp control characters: blanks in the file name")
            << QByteArray("N;ENCODING=QUOTED-PRINTABLE:A=0AB=09C=00;D") << false << false << "GivenName" << L{"D"}
            << "00001 A B C  D.contact";
        QTest::newRow("grouped number") << QByteArray("item1.TEL;type=CELL:0102\n\twork-2.EMAIL;type=INTERNET:a@b.c")
                                        << false << false << "Number" << L{"0102"} << "00001.contact";
        QTest::newRow("grouped mail") << QByteArray("item1.TEL;type=CELL:0102\n\twork-2.EMAIL;type=INTERNET:a@b.c")
                                      << false << false << "Address" << L{"a@b.c"} << "00001.contact";
        QTest::newRow("tel: numbers") << QByteArray("TEL;VALUE=uri;TYPE=cell:tel:+1-555\nTEL:TEL:2\nTEL:tel:") << false
                                      << false << "Number" << L{"+1-555", "2"} << "00001.contact";
    }
    void realExports() {
        QFETCH(QByteArray, body);
        QFETCH(bool, myPhone);
        QFETCH(bool, marked);
        QFETCH(QString, element);
        QFETCH(QStringList, texts);
        QFETCH(QString, fileName);
        ContactRun r;
        r.opt.myPhoneIn = myPhone;
        r.run((marked ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + card(body));
        QCOMPARE(r.files(), QStringList{fileName});
        const QString doc = r.only();
        CHECK_WELL_FORMED(doc.toUtf8());
        QCOMPARE(layoutRemoved(elementTexts(doc, element)), layoutRemoved(texts));
    }

    // Lines that are logged, and lines dropped without a word.
    void logged_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("log");
        using L = QStringList;
        QTest::newRow("name without colon") << card("N;Dupont;Jean") << L{"--> Syntax error in NAME : N;Dupont;Jean"};
        QTest::newRow("url without address") << card("URL;TYPE=HOME:") << L{"--> Syntax error in URL : URL;TYPE=HOME:"};
        QTest::newRow("tel without number") << card("TEL;TYPE=CELL:") << L{"--> Syntax error in TEL : TEL;TYPE=CELL:"};
        QTest::newRow("tel without colon") << card("TEL;CELL") << L{"--> Syntax error in TEL : TEL;CELL"};
        QTest::newRow("empty address") << card("ADR:;;;;;;") << L{"--> Syntax error in ADR : ADR:;;;;;;"};
        QTest::newRow("empty mail") << card("EMAIL;TYPE=INTERNET:")
                                    << L{"--> Syntax error in EMAIL : EMAIL;TYPE=INTERNET:"};
        QTest::newRow("shown re-decoded")
            << card("TEL;CELL:  \nN;Dupont \xC3\xA9")
            << L{"--> Syntax error in TEL : TEL;CELL:", QStringLiteral("--> Syntax error in NAME : N;Dupont é")};
        QTest::newRow("dropped silently")
            << card("VERSION:4.0\nPRODID:x\nCATEGORIES:a\nFLAG:1\nLANG:fr\nGEO:1;2\nSOUND:s\nX-ABLabel:Home\n"
                    "X-ANDROID-CUSTOM:1\n1ABC:x\n:x\n\nNOTE:\nTITLE:\nORG:\nBDAY:\nFN:\nFN\nPHOTO:\nLOGO:\n"
                    "x-lower:1\nitem2.X-ABADR:us\nX -SPACED:1\nX-FOLDED;ENCODING=QUOTED-PRINTABLE:a=\nb\n c")
            << L{};
        QTest::newRow("a name that only begins with X is no vendor line")
            << card("XY-FOO:1\nX_1:2") << L{"--> Tag Unknown (1)", "XY-FOO:1", "--> Tag Unknown (1)", "X_1:2"};
        QTest::newRow("unknown with card number")
            << QByteArray("BEGIN:VCARD\nEND:VCARD\nBEGIN:VCARD\nEND:VCARD\nBEGIN:VCARD\nREV:2020\nEND:VCARD\n")
            << L{"--> Tag Unknown (3)", "REV:2020"};
        QTest::newRow("grouped label and nickname")
            << card("item1.TEL:0102\nitem1.X-ABLabel:Main\nNICKNAME:Jo\nwork.UID:1")
            << L{"--> Tag Unknown (1)", "item1.X-ABLabel:Main", "--> Tag Unknown (1)",
                 "NICKNAME:Jo",         "--> Tag Unknown (1)",  "UID:1"};
        QTest::newRow("vcalendar is unknown, and no card")
            << QByteArray("BEGIN:VCALENDAR\nEND:VCALENDAR\n")
            << L{"--> Tag Unknown (1)", "BEGIN:VCALENDAR", "--> Tag Unknown (1)", "END:VCALENDAR",
                 "-> NoCard Err \"input.vcf\" holds no BEGIN:VCARD line: it is not a vCard file, and no card was "
                 "written"};
        QTest::newRow("outside a card") << QByteArray("BEGIN:VCARD\nEND:VCARD\nREV:1\nTEL:\n")
                                        << L{"--> Tag Unknown (2)", "REV:1", "--> Syntax error in TEL : TEL:"};
        QTest::newRow("trailing blanks trimmed") << card("REV:1  \t") << L{"--> Tag Unknown (1)", "REV:1"};
        // An echoed line holds nothing for a terminal to obey, and stays one line.
        QTest::newRow("escape sequences shown as blanks") << card("NICKNAME:a\x1B[2J\x1B]0;x\x07"
                                                                  "b\tc\x7F"
                                                                  "d")
                                                          << L{"--> Tag Unknown (1)", "NICKNAME:a [2J ]0;x b\tc d"};
        QTest::newRow("C1 control in UTF-8 shown as a blank") << card("NICKNAME:a\xC2\x9B"
                                                                      "2Jb")
                                                              << L{"--> Tag Unknown (1)", "NICKNAME:a 2Jb"};
        QTest::newRow("quoted-printable line end stays on one line")
            << card("NICKNAME;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab=0Ac")
            << L{"--> Tag Unknown (1)", "NICKNAME;ENCODING=QUOTED-PRINTABLE:a  b c"};
    }
    void logged() {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, log);
        ContactRun r;
        r.run(input);
        QCOMPARE(r.logLines(), log);
        QCOMPARE(r.win.log.last(), kDoneEn);
        QCOMPARE(r.win.memo.last(), kDoneEn);
        for (const QString& f : r.files())
            CHECK_WELL_FORMED(r.file(f));
    }

    // Numbering, names, the empty card and the fixed frame.
    void cardsAndFiles() {
        ContactRun r;
        // An old file of the same name is replaced without a question.
        QVERIFY(writeBytes(r.out + QStringLiteral("/00002.contact"), "old"));
        r.run(card("N:Dupont;Jean") + card("") + card("TEL:1\nNOTE:late"));
        QCOMPARE(r.files(), (QStringList{"00001 Dupont Jean.contact", "00002.contact", "00003.contact"}));
        QCOMPARE(r.win.memo, (QStringList{"Dupont Jean", "NoName", "NoName", kDoneEn}));
        QCOMPARE(r.win.counter, QStringLiteral("3 contacts"));
        QVERIFY(r.win.boxes.isEmpty());

        const QStringList empty =
            QString::fromUtf8(r.file(QStringLiteral("00002.contact"))).split(QStringLiteral("\r\n"));
        QCOMPARE(empty.size(), 12); // 11 lines and the empty text after the last CR LF
        QCOMPARE(empty[10], QStringLiteral("</c:contact>"));
        QCOMPARE(empty[3], QStringLiteral("   <c:CreationDate>2026-01-02T03:04:05Z</c:CreationDate>"));

        // Notes come before the first collection, wherever the line stands; no mail, no mail collection.
        const QString third = QString::fromUtf8(r.file(QStringLiteral("00003.contact")));
        QVERIFY(third.indexOf(u"<c:Notes>") < third.indexOf(u"<c:PhoneNumberCollection>"));
        QVERIFY(!third.contains(u"EmailAddressCollection"));
        for (const QString& f : r.files())
            CHECK_WELL_FORMED(r.file(f));
    }

    void photoInName() {
        ContactRun r;
        r.run(card("N:Dupont;Jean\nLOGO;VALUE=uri:http://x/y.jpg") + card("ORG:Durand SA\nPHOTO:AAAA"));
        QCOMPARE(r.files(), (QStringList{"00001 Dupont Jean (PHOTO).contact", "00002 Durand SA (PHOTO).contact"}));
        QCOMPARE(r.win.memo, (QStringList{"Dupont Jean", "Durand SA", kDoneEn}));
    }

    // Cards that do not end where they should.
    void cardStructure() {
        ContactRun r;
        r.run("NOTE:before\nN:Before;All\nTEL:0\nEND:VCARD\n"          // outside a card: leaves nothing
              "BEGIN:VCARD\nN:Un;A\nTEL;CELL:1\nREV:1\n"               // never ended: ended by the next start
              "BEGIN:VCARD\nN:Deux;B\nEND:VCARD\n"                     //
              "TEL:99\nBEGIN:VCARD\nN:Trois;C\nEND:VCARD\nEND:VCARD\n" // extra end: ignored
              "BEGIN:VCARD\nN:Lost;D\n");                              // the input ends first: logged
        QCOMPARE(r.files(), (QStringList{"00001 Un A.contact", "00002 Deux B.contact", "00003 Trois C.contact"}));
        QCOMPARE(r.win.memo, (QStringList{"Un A", "Deux B", "Trois C", kDoneEn}));
        QCOMPARE(r.logLines(),
                 (QStringList{
                     "--> Tag Unknown (1)", "REV:1",
                     "-> CardStructureError Err input.vcf: card 1, which begins at line 5, has no END:VCARD line",
                     "-> CardStructureError Err \"input.vcf\": card 4, begun at line 17, has no END:VCARD line before "
                     "the end of the file; it was not written"}));
        QCOMPARE(r.win.counter, QStringLiteral("3 contacts"));
        for (const QString& f : r.files()) {
            const QByteArray doc = r.file(f);
            CHECK_WELL_FORMED(doc);
            QCOMPARE(doc.count("<c:contact "), 1);
            QCOMPARE(doc.count("<c:Name "), 1);
            QVERIFY(!doc.contains("before") && !doc.contains("Before") && !doc.contains(">99<") &&
                    !doc.contains(">0<"));
        }
        QCOMPARE(elementTexts(QString::fromUtf8(r.file(QStringLiteral("00001 Un A.contact"))), QStringLiteral("Label")),
                 (QStringList{"Cellular", "Voice"}));
    }

    // Continuation lines are joined before any test.
    void unfolding() {
        ContactRun r;
        r.run(card("NOTE:one\n two\n  three\nREV:x\n\tTEL:1\nTEL:2\n \n 3\n4"));
        const QString doc = r.only();
        QCOMPARE(layoutRemoved(elementTexts(doc, QStringLiteral("Notes"))), QStringList{"\nonetwo three"});
        QCOMPARE(elementTexts(doc, QStringLiteral("Number")), (QStringList{"1", "23"}));
        QCOMPARE(r.logLines(), (QStringList{"--> Tag Unknown (1)", "REV:x"}));
    }

    void passesOnOptions() {
        ContactRun r;
        r.opt.dropSync = true;
        // The unknown line is logged as the pass left it.
        r.run(card("REV;X-SYNC=3;X-A=1:x"));
        QCOMPARE(r.logLines(), (QStringList{"--> Tag Unknown (1)", "REV;X-A=1:x"}));
        ContactRun keep;
        keep.opt.dropSync = false;
        keep.run(card("REV;X-SYNC=3;X-A=1:x"));
        QCOMPARE(keep.logLines(), (QStringList{"--> Tag Unknown (1)", "REV;X-SYNC=3;X-A=1:x"}));
    }

    // Pictures: embedded, by address, from the folders.
    void pictures() {
        const QByteArray jpeg = fakeJpeg();
        const QByteArray b64 = jpeg.toBase64();
        QByteArray folded = "PHOTO;ENCODING=b;TYPE=JPEG:" + b64.left(50);
        for (qsizetype i = 50; i < b64.size(); i += 74)
            folded += "\n " + b64.mid(i, 74);

        ContactRun r;
        r.run(card("N:Dupont;Jean\n" + folded +
                   "\nPHOTO;VALUE=uri:http://second/x.jpg\n"
                   "LOGO;VALUE=uri:http://a/?x=1&y=<2>]]>\nLOGO:AAAA"));
        const QString doc = r.only();
        CHECK_WELL_FORMED(doc.toUtf8());
        QCOMPARE(elementTexts(doc, QStringLiteral("Label")), (QStringList{"UserTile", "Logo"}));
        QCOMPARE(elementTexts(doc, QStringLiteral("Url")), QStringList{"http://a/?x=1&y=<2>]]>"});
        const QStringList lines = doc.split(QStringLiteral("\r\n"));
        const qsizetype v = lines.indexOf(QStringLiteral("         <c:Value c:ContentType=\"image/jpeg\">"));
        QVERIFY(v > 0);
        QCOMPARE(lines.mid(v + 1, base64Lines(jpeg).size()), base64Lines(jpeg));
        QCOMPARE(lines.at(v + 1 + base64Lines(jpeg).size()), QStringLiteral("         </c:Value>"));
        QCOMPARE(QByteArray::fromBase64(entryValues(doc).first().remove(u'\n').toLatin1()), jpeg);
    }

    void pictureLineForms_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("url");
        QTest::newRow("upper-case VALUE=URI is data") << QByteArray("PHOTO;VALUE=URI:cid:a") << "cid:a==="
                                                      << "";
        QTest::newRow("http address without VALUE") << QByteArray("PHOTO:http://a/b.jpg") << ""
                                                    << "http://a/b.jpg";
        QTest::newRow("HTTPS, ftp and file addresses") << QByteArray("PHOTO;TYPE=JPEG:HTTPS://a\nLOGO:ftp://b") << ""
                                                       << "HTTPS://a|ftp://b";
        QTest::newRow("data: address is data")
            << QByteArray("PHOTO;VALUE=uri:data:image/png;BASE64,QUJD RA") << "QUJDRA=="
            << "";
        QTest::newRow("data: address without base64 is an address")
            << QByteArray("PHOTO;VALUE=uri:data:text/plain,hi") << ""
            << "data:text/plain,hi";
        QTest::newRow("blanks of folded data removed") << QByteArray("PHOTO;BASE64:\n  QUJD\n  RA==") << "QUJDRA=="
                                                       << "";
        QTest::newRow("padded") << QByteArray("PHOTO:AAAAA") << "AAAAA==="
                                << "";
        QTest::newRow("no colon: whole line") << QByteArray("PHOTO;X") << "PHOTO;X="
                                              << "";
        QTest::newRow("markup in data") << QByteArray("PHOTO:<a>&]]>") << "<a>&]]>="
                                        << "";
        QTest::newRow("VALUE=uri in the data: an address") << QByteArray("PHOTO:AB=CVALUE=uri") << ""
                                                           << "AB=CVALUE=uri";
        QTest::newRow("address re-decoded")
            << QByteArray("PHOTO;VALUE=uri:file:///caf\xC3\xA9.jpg") << "" << QStringLiteral("file:///café.jpg");
    }
    void pictureLineForms() {
        QFETCH(QByteArray, line);
        QFETCH(QString, value);
        QFETCH(QString, url);
        ContactRun r;
        r.run(card(line));
        const QString doc = r.only();
        CHECK_WELL_FORMED(doc.toUtf8());
        QCOMPARE(layoutRemoved(entryValues(doc)).join(u'|').remove(u'\n'), value);
        QCOMPARE(elementTexts(doc, QStringLiteral("Url")).join(u'|'), url);
    }

    // Data lines are padded to a multiple of four, then cut every 78 characters, the padding
    // included: around the cuts, and for data that must first be cleaned (a control character).
    void pictureLayout_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("control");
        for (const int size : {76, 77, 78, 79, 154, 155, 156, 233, 234})
            for (const bool control : {false, true})
                QTest::addRow("%d%s", size, control ? ", control" : "") << size << control;
    }
    void pictureLayout() {
        QFETCH(int, size);
        QFETCH(bool, control);
        QByteArray data;
        for (int i = 0; i < size; ++i)
            data.append("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[i % 64]);
        QByteArray line = "PHOTO:" + data.left(40) + (control ? "\x01" : "") + data.mid(40, 50);
        for (qsizetype i = 90; i < data.size(); i += 60)
            line += "\n " + data.mid(i, 60); // folded
        ContactRun r;
        r.run(card(line));
        const QStringList lines = r.only().split(QStringLiteral("\r\n"));
        const qsizetype v = lines.indexOf(QStringLiteral("         <c:Value c:ContentType=\"image/jpeg\">"));
        const qsizetype end = lines.indexOf(QStringLiteral("         </c:Value>"));
        QVERIFY(v > 0 && end > v);
        const QString padded = QString::fromLatin1(data) + QString((4 - size % 4) % 4, u'=');
        QStringList expected;
        for (qsizetype i = 0; i < padded.size(); i += 78)
            expected.append(padded.mid(i, 78));
        QCOMPARE(lines.mid(v + 1, end - v - 1), expected);
    }

    void folderPictures() {
        const QByteArray jpeg = fakeJpeg();
        ContactRun r;
        r.opt.photos = true;
        r.opt.logos = true;
        QVERIFY(writeBytes(r.photos + QStringLiteral("/dupont jean.JPG"), jpeg)); // found whatever its case
        QVERIFY(writeBytes(r.photos + QStringLiteral("/Martin Paul.jpg"), jpeg));
        QVERIFY(writeBytes(r.photos + QStringLiteral("/Empty One.jpg"), QByteArray()));
        QDir().mkpath(r.photos + QStringLiteral("/Folder Two.jpg"));
        QVERIFY(writeBytes(r.logos + QStringLiteral("/Durand SA;Ventes.jpg"), "logo"));
        // A PHOTO line without data leaves the folder to be consulted.
        QVERIFY(writeBytes(r.photos + QStringLiteral("/Nodata Three.jpg"), jpeg));
        r.run(card("N:Dupont;Jean\nORG:Durand SA;Ventes") + card("N:Martin;Paul\nPHOTO;VALUE=uri:http://own") +
              card("N:Empty;One") + card("N:Folder;Two") + card("N:Nobody;Here") +
              card("N:Nodata;Three\nPHOTO;ENCODING=b:"));
        QCOMPARE(r.files(), (QStringList{"00001 Dupont Jean (PHOTO).contact", "00002 Martin Paul (PHOTO).contact",
                                         "00003 Empty One.contact", "00004 Folder Two.contact",
                                         "00005 Nobody Here.contact", "00006 Nodata Three (PHOTO).contact"}));
        QCOMPARE(r.logLines(), QStringList());
        const QString first = QString::fromUtf8(r.file(r.files().at(0)));
        CHECK_WELL_FORMED(first.toUtf8());
        QCOMPARE(elementTexts(first, QStringLiteral("Label")), (QStringList{"UserTile", "Logo", "Business"}));
        const QStringList values = elementTexts(first, QStringLiteral("Value"));
        QCOMPARE(QByteArray::fromBase64(values.at(1).toLatin1()), jpeg);
        QCOMPARE(values.at(2).trimmed(), QStringLiteral("bG9nbw=="));
        // The card's own picture wins over the folder's.
        const QString second = QString::fromUtf8(r.file(r.files().at(1)));
        QCOMPARE(elementTexts(second, QStringLiteral("Url")), QStringList{"http://own"});
        QCOMPARE(second.count(u"<c:Photo "), 1);
    }

    void folderPictureUnreadable() {
#ifdef Q_OS_UNIX
        ContactRun r;
        r.opt.photos = true;
        const QString fifo = r.photos + QStringLiteral("/Dupont Jean.jpg");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        r.run(card("N:Dupont;Jean\nTEL:1"));
        QCOMPARE(r.files(), QStringList{"00001 Dupont Jean.contact"});
        QCOMPARE(r.logLines().size(), 1);
        QVERIFY2(r.logLines().first().startsWith(u"-> FileReadError Erreur "), qPrintable(r.logLines().first()));
        QVERIFY(!r.only().contains(u"<c:Photo"));
#else
        QSKIP("needs a FIFO");
#endif
    }

    // A picture of more than 16 MB is left out with one log line, from its size alone.
    void folderPictureTooLarge() {
        ContactRun r;
        r.opt.photos = true;
        const QString photo = r.photos + QStringLiteral("/Dupont Jean.jpg");
        QVERIFY(makeSparse(photo, qint64(200) << 20));
        r.run(card("N:Dupont;Jean\nTEL:1"));
        QCOMPARE(r.files(), QStringList{"00001 Dupont Jean.contact"});
        QCOMPARE(r.logLines(), QStringList{"-> FileReadError Erreur The picture \"" + photo +
                                           "\" holds 209715200 bytes, more than the 16 MB a picture may have: "
                                           "it was left out"});
        QVERIFY(!r.only().contains(u"<c:Photo"));
    }

    // A card of tens of megabytes (a long note, long picture data) is written as UTF-8 a part at
    // a time: the same bytes as any other card.
    void largeDocument() {
        const QByteArray note(9 << 20, 'x');
        QByteArray photo;
        for (int i = 0; photo.size() < (9 << 20); ++i)
            photo += "QUJD" + QByteArray::number(i % 10) + "ZZZ";
        const QByteArray body = "N:Dupont;Jean\nORG:\xCE\xA9\nNOTE:@\nPHOTO;ENCODING=b:#\nNICKNAME:\xC3\xA9";
        ContactRun large, small;
        large.run(card(QByteArray(body).replace("@", note).replace("#", photo)));
        small.run(card(body));
        QCOMPARE(large.files(), small.files());
        const QString name = small.files().value(0);
        QByteArray expected = small.file(name);
        QString lines;
        for (qsizetype i = 0; i < photo.size(); i += 78)
            lines += QString::fromLatin1(photo.mid(i, 78)) + QStringLiteral("\r\n");
        expected.replace("\r\n@\r\n", "\r\n" + note + "\r\n");
        expected.replace("\r\n#===\r\n", "\r\n" + lines.toLatin1());
        QVERIFY(large.file(name) == expected);
        QCOMPARE(large.logLines(), small.logLines());
    }

    // Values of megabytes are escaped a block at a time and the card's document is put together
    // in the output folder: the same bytes as the value escaped whole, nothing left beside it,
    // and a link at the card's name replaced rather than written through.
    void largeValues_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("placeholder");
        // Entities, escapes and a character outside the BMP, whose pairs fall on every kind of
        // block boundary; a leading blank that goes.
        QByteArray value = " ";
        for (int i = 0; value.size() < (3 << 20); ++i)
            value += "a<b&c\"d\\ne\\\\f\xF0\x9F\x98\x80" + QByteArray(i % 7, 'g');
        QTest::newRow("note") << "NOTE:" + value << QByteArray("\r\n@\r\n");
        QTest::newRow("street") << "ADR;TYPE=HOME:;;" + value.mid(1) + ";Paris" << QByteArray(">@<");
        QTest::newRow("title") << "TITLE:" + value.mid(1) << QByteArray(">@<");
        // Nothing but pairs after one letter: every block ends inside a pair.
        QByteArray pairs = "x";
        for (int i = 0; i < (1 << 20); ++i)
            pairs += "\xF0\x9F\x98\x80";
        QTest::newRow("pairs") << "NOTE:" + pairs << QByteArray("\r\n@\r\n");
    }
    void largeValues() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, placeholder);
        const QByteArray value =
            line.startsWith("ADR") ? line.mid(line.indexOf(";;") + 2).chopped(6) : line.mid(line.indexOf(':') + 1);
        const QByteArray small = QByteArray(line).replace(value, "@");
        ContactRun big, reference;
        const QString name = QStringLiteral("00001 Dupont Jean.contact");
#ifdef Q_OS_UNIX
        const QString victim = big.tmp.filePath(QStringLiteral("victim"));
        QVERIFY(writeBytes(victim, "kept"));
        QVERIFY(QFile::link(victim, big.out + u'/' + name));
#endif
        big.run(card("N:Dupont;Jean\n" + line));
        reference.run(card("N:Dupont;Jean\n" + small));
        QCOMPARE(big.files(), QStringList{name});
        QVERIFY(!QFileInfo(big.out + u'/' + name).isSymLink());
#ifdef Q_OS_UNIX
        QCOMPARE(readBytes(victim), QByteArray("kept"));
#endif
        QByteArray expected = reference.file(name);
        QVERIFY(expected.contains(placeholder));
        const QByteArray escaped = TraiteLigneContact(QString::fromUtf8(value)).toUtf8();
        QVERIFY(escaped.size() > (3 << 20));
        expected.replace(placeholder, QByteArray(placeholder).replace("@", escaped));
        const QByteArray got = big.file(name);
        qsizetype at = 0;
        while (at < qMin(got.size(), expected.size()) && got[at] == expected[at])
            ++at;
        QVERIFY2(got == expected, qPrintable(QStringLiteral("first difference at byte %1 of %2 (expected %3)")
                                                 .arg(at)
                                                 .arg(got.size())
                                                 .arg(expected.size())));
        QCOMPARE(big.logLines(), reference.logLines());
    }

    // Names too long for a file name are shortened to 255 bytes, and the cards after them written.
    void longNames() {
        ContactRun r;
        QByteArray cjk;
        for (int i = 0; i < 90; ++i)
            cjk += "\xE4\xB8\xAD";
        r.run(card("N:" + QByteArray(300, 'a')) + card("N:" + cjk + "\nPHOTO:AAAA") +
              card("N:" + QByteArray(238, 'a') + "\xF0\x9F\x98\x80") + card("N:B"));
        QCOMPARE(r.files(), (QStringList{"00001 " + QString(241, u'a') + ".contact",
                                         "00002 " + QString(77, QChar(0x4E2D)) + " (PHOTO).contact",
                                         "00003 " + QString(238, u'a') + ".contact", "00004 B.contact"}));
    }

    void writeFailure() {
        ContactRun r;
        r.opt.NomRepSortie = r.tmp.filePath(QStringLiteral("missing"));
        // The last card is large enough to be put together in the folder.
        r.run(card("N:Dupont;Jean") + card("N:Martin;Paul") + card("N:Big;Note\nNOTE:" + QByteArray(3 << 20, '<')));
        QCOMPARE(r.win.memo, (QStringList{"Dupont Jean", "Martin Paul", "Big Note", kDoneEn}));
        QCOMPARE(r.win.counter, QStringLiteral("3 contacts"));
        QCOMPARE(r.logLines().size(), 3);
        for (const QString& line : r.logLines())
            QVERIFY2(line.startsWith(u"-> FileWriteError Err "), qPrintable(line));
        QVERIFY2(r.logLines().last().contains(u"00003 Big Note.contact"), qPrintable(r.logLines().last()));
    }

    // Every document parses, whatever the values hold, and says what the card said.
    void hostileValues_data() {
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("expected");
        QTest::newRow("markup") << "a<b>&c\"d'e"
                                << "a<b>&c\"d'e";
        QTest::newRow("cdata end") << "x]]>y"
                                   << "x]]>y";
        QTest::newRow("entity text") << "&#233; &amp;"
                                     << "&#233; &amp;";
        QTest::newRow("controls") << QStringLiteral("a\x01\x08\x0B\x0C\x1F\tb") << "a\tb";
        // Only a value in UTF-16 can hold a lone surrogate; its decoding makes each one a "?".
        QTest::newRow("lone surrogates") << QString::fromUtf16(u"a\xD800"
                                                               "b\xDC00"
                                                               "c")
                                         << "a?b?c";
        QTest::newRow("pair kept") << QString::fromUtf16(u"a\xD83D\xDE00"
                                                         "b")
                                   << QString::fromUtf16(u"a\xD83D\xDE00"
                                                         "b");
        QTest::newRow("nonchars") << QString::fromUtf16(u"a\xFFFE\xFFFF"
                                                        "b")
                                  << "ab";
        QTest::newRow("cp1252 high bytes")
            << QString::fromUtf16(u"\x20AC\x0081\x008D\x0152") << QString::fromUtf16(u"\x20AC\x0081\x008D\x0152");
        QTest::newRow("huge") << QString(1 << 20, u'x') << QString(1 << 20, u'x');
    }
    void hostileValues() {
        QFETCH(QString, note);
        QFETCH(QString, expected);
        ContactRun r;
        QByteArrayList lines{"BEGIN:VCARD",
                             propertyLine("NOTE", note),
                             propertyLine("N", note + ";" + note + ";" + note + ";" + note + ";" + note),
                             propertyLine("ADR", note + ";;;;;;"),
                             propertyLine("PHOTO;VALUE=uri", note),
                             propertyLine("LOGO", note)};
        for (const char* f : {"TEL", "EMAIL", "URL", "TITLE", "BDAY", "ORG"})
            lines.append(propertyLine(f, note));
        lines.append("END:VCARD");
        r.run(lines.join('\n'));
        const QString name = r.files().value(0);
        QCOMPARE(r.logLines(), QStringList());
        QVERIFY(QFile::encodeName(name).size() <= 255);
        const QByteArray bytes = r.file(name);
        CHECK_WELL_FORMED(bytes);
        // One pass over the document: the text of each element that holds no element.
        QHash<QString, QStringList> texts;
        QXmlStreamReader xml(bytes);
        QString text;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement())
                text.clear();
            else if (xml.isCharacters())
                text += xml.text();
            else if (xml.isEndElement())
                texts[xml.name().toString()].append(std::exchange(text, QString()));
        }
        QCOMPARE(layoutRemoved(texts.value("Notes")), QStringList{'\n' + expected});
        QStringList elements = {"Number", "Address", "JobTitle", "Company", "Url"};
        if (!expected.contains(u';'))
            elements += {"FamilyName", "GivenName", "POBox"}; // components end at a semicolon
        for (const QString& e : elements)
            QVERIFY2(texts.value(e).value(0) == expected, qPrintable(e));
        // The web address and the birthday, after the contact identifier.
        QCOMPARE(texts.value("Value").mid(1, 1), QStringList{expected});
        QCOMPARE(texts.value("Value").mid(3, 1), QStringList{expected});
    }

    // Real exports of other programs: every card gives one well-formed document, no crash.
    void corpus_data() {
        QTest::addColumn<QString>("path");
        const QStringList files = corpusFiles();
        QVERIFY2(!files.isEmpty(), "no corpus files in " CORVANTA_CORPUS);
        for (const QString& f : files)
            QTest::newRow(qPrintable(QDir(QStringLiteral(CORVANTA_CORPUS)).relativeFilePath(f))) << f;
    }
    void corpus() {
        QFETCH(QString, path);
        for (bool myPhone : {false, true}) {
            ContactRun r;
            r.opt.myPhoneIn = myPhone;
            r.opt.dropSync = true;
            InputText in;
            in.load(path);
            r.run().TraitementSVCFToContact(in);
            // MyPhoneExplorer's soft line breaks on a file of another program can join a card's
            // end line to its photo data: that card is then reported, not written.
            const bool signale = myPhone && r.logLines().join(u'\n').contains(QLatin1String("CardStructureError"));
            if (!signale)
                QCOMPARE(r.files().size(), countCards(path));
            QCOMPARE(r.win.log.last(), kDoneEn);
            for (const QString& f : r.files()) {
                const QByteArray bytes = r.file(f);
                const QString problem = wellFormedProblem(bytes);
                QVERIFY2(problem.isEmpty(), qPrintable(f + ": " + problem));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestContacts)
#include "tst_contacts.moc"
