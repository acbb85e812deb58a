// The split action: one VCF file per card, named after a running number and the contact.
#include "conversionhelpers.h"
#include "fakewindow.h"
#include "testrun.h"
#include <optional>
#include "ui/presenter/kzform.h"

#include <QTemporaryDir>

using namespace helpers;

namespace {

// A split run on a fresh output folder, called as the driver calls it.
struct SplitRun : TestRun {
    using TestRun::run;
    QTemporaryDir tmp;
    QString out, photos, logos;

    SplitRun() {
        out = tmp.filePath(QStringLiteral("out"));
        photos = tmp.filePath(QStringLiteral("photos"));
        logos = tmp.filePath(QStringLiteral("logos"));
        for (const QString& d : {out, photos, logos})
            QDir().mkpath(d);
        opt.NomFichierEntree = QStringLiteral("input.vcf");
        opt.NomRepSortie = out;
        opt.NomRepPhotos = photos;
        opt.NomRepLogos = logos;
    }
    // The input file's text, read as the driver reads the file.
    void run(const QByteArray& text) {
        InputText in;
        in.loadBytes(opt.NomFichierEntree, text);
        run().TraitementSVCFToMVCF(in);
    }
    QStringList files() const { return fileNames(out); }
    QByteArray file(const QString& name) const { return readBytes(out + u'/' + name); }
    // Every output file, in name order, one after the other.
    QByteArray all() const {
        QByteArray b;
        for (const QString& f : files())
            b += file(f);
        return b;
    }
};

const QByteArray kDone = QStringLiteral("--> Conversion terminée").toUtf8();

} // namespace

class TestSplit : public QObject {
    Q_OBJECT

private slots:
    // The file's text, whose plain lines are copied as their bytes: the first words looked at are
    // found in any case and after blanks and tabs, and the lines that soft line breaks, folding
    // or a byte-order mark touch are read as the card's; with the options on and off.
    void linesAsBytes_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArrayList>("dropped"); // each file, with the options on
        QTest::addColumn<QByteArrayList>("kept");    // the same with the options off
        QTest::addColumn<QStringList>("memo");
        QTest::addColumn<QStringList>("errors");
        const QByteArrayList anyCase{
            crlf(" begin:vcard\n\tn:Dupont;Jean\n org:Acme\nnote:n\nPhoto;VALUE=uri:p\n\tlogo:l\nFN:Z\xC3\xA9\nTEL:1\n"
                 "END:VCARD\n"),
            crlf(" bEGIN:VCARD\nEMAIL:a@b\nEND:VCARD\n")};
        QByteArrayList anyCaseKept = anyCase;
        anyCaseKept[0].replace("org:Acme\r\n", "org:Acme\r\n\t x-a:1\r\nX-B:2\r\n");
        QTest::newRow("keywords in any case, after blanks and tabs")
            << QByteArray("junk\n begin:vcard\n\tn:Dupont;Jean\n org:Acme\r\n\t x-a:1\nX-B:2\nnote:n\n"
                          "Photo;VALUE=uri:p\n\tlogo:l\nFN:Z\xC3\xA9\nTEL:1 \t\n\t\n \n bEGIN:VCARD\nEMAIL:a@b\n"
                          "ENd:VCARD\nTEL:2\nBEGIN:VCARD\nTEL;X-SYNC=3:4\n PHOTO;x\n")
            << QStringList{"00001 Dupont Jean (PHOTO).VCF", "00002 .VCF"} << anyCase << anyCaseKept
            << QStringList{"Dupont Jean"}
            << QStringList{"-> CardStructureError Err \"input.vcf\": card 1, begun at line 2, has no END:VCARD line; "
                           "it was ended at the BEGIN:VCARD of line 14",
                           "-> CardStructureError Err \"input.vcf\": card 3, begun at line 18, has no END:VCARD line "
                           "before the end of the file; it was not written"};
        const QByteArrayList organisation{crlf("BEGIN:VCARD\norg:Acme\nEND:VCARD\n"),
                                          crlf("BEGIN:VCARD\nN:A;B\n logo;VALUE=uri:x\nEND:VCARD\n")};
        QTest::newRow("organisation names the file, logo marks it")
            << QByteArray("BEGIN:VCARD\norg:Acme\nEND:VCARD\nBEGIN:VCARD\nN:A;B\n logo;VALUE=uri:x\nEND:VCARD\n")
            << QStringList{"00001 Acme.VCF", "00002 A B (PHOTO).VCF"} << organisation << organisation
            << QStringList{"A B"} << QStringList{};
        const QByteArrayList folded{
            crlf("BEGIN:VCARD\nN:A;B\nPHOTO;ENCODING=b:AAAA\n BBBB\n LLLL\n XXXX\n EEEE\nEND:VCARD\n")};
        QTest::newRow("folded picture data, CR line ends")
            << QByteArray("BEGIN:VCARD\rN:A;B\rPHOTO;ENCODING=b:AAAA\r BBBB  \r LLLL\r XXXX\r EEEE\r\rEND:VCARD\r")
            << QStringList{"00001 A B (PHOTO).VCF"} << folded << folded << QStringList{"A B"} << QStringList{};
        const QByteArrayList softBreaks{
            crlf("BEGIN:VCARD\nN;ENCODING=QUOTED-PRINTABLE:A=\nX-B;C=\nEND:VCARD=\nTEL:1\nEND:VCARD\n")};
        QTest::newRow("quoted-printable name whose soft breaks lead to X- and END lines")
            << QByteArray("BEGIN:VCARD\nN;ENCODING=QUOTED-PRINTABLE:A=\nX-B;C=\nEND:VCARD=\n\nTEL:1\nEND:VCARD\n")
            << QStringList{"00001 AX-B CEND VCARD.VCF"} << softBreaks << softBreaks << QStringList{"AX-B CEND VCARD"}
            << QStringList{};
        const QByteArrayList marked{crlf("BEGIN:VCARD\nN:\xD0\x96;\xC3\xA9\nTITLE:\xD0\x96\nEND:VCARD\n")};
        QTest::newRow("UTF-8 with its mark")
            << QByteArray("\xEF\xBB\xBF"
                          "BEGIN:VCARD\nN:\xD0\x96;\xC3\xA9\nTITLE:\xD0\x96\nEND:VCARD\n")
            << QStringList{QStringLiteral("00001 Ж é.VCF")} << marked << marked << QStringList{QStringLiteral("Ж é")}
            << QStringList{};
    }
    void linesAsBytes() {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, files);
        QFETCH(QByteArrayList, dropped);
        QFETCH(QByteArrayList, kept);
        QFETCH(QStringList, memo);
        QFETCH(QStringList, errors);
        for (const bool options : {true, false}) {
            SplitRun r;
            r.opt.language = Language::English;
            r.opt.dropSync = options;
            r.opt.dropX = options;
            r.run(input);
            QCOMPARE(r.files(), files);
            const QByteArrayList& expected = options ? dropped : kept;
            for (qsizetype i = 0; i < files.size(); ++i)
                COMPARE_BYTES(r.file(files.at(i)), expected.at(i));
            QCOMPARE(r.win.memo, memo + QStringList{"--> Conversion done"});
            QCOMPARE(r.win.log, errors + QStringList{"--> Conversion done"});
        }
    }

    // Numbering, names from N or ORG, the processed-files list and the counter.
    void namesAndNumbers_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("memo");
        QTest::newRow("three cards in card order")
            << QByteArray("BEGIN:VCARD\nN:Zola;Emile;;;\nEND:VCARD\n"
                          "BEGIN:VCARD\nN:Abel;Anne;;;\nEND:VCARD\n"
                          "BEGIN:VCARD\nN:Zola;Emile;;;\nEND:VCARD\n")
            << QStringList{"00001 Zola Emile.VCF", "00002 Abel Anne.VCF", "00003 Zola Emile.VCF"}
            << QStringList{"Zola Emile", "Abel Anne", "Zola Emile"};
        QTest::newRow("organisation when the name is empty")
            << QByteArray("BEGIN:VCARD\nN:;;;;\nORG:Acme;Sales\nEND:VCARD\n") << QStringList{"00001 Acme.VCF"}
            << QStringList{"NoName"};
        QTest::newRow("neither name nor organisation keeps the blank")
            << QByteArray("BEGIN:VCARD\nFN:x\nEND:VCARD\n") << QStringList{"00001 .VCF"} << QStringList{};
        QTest::newRow("slash in the name") << QByteArray("BEGIN:VCARD\nN:AC/DC;;;;\nEND:VCARD\n")
                                           << QStringList{"00001 AC DC.VCF"} << QStringList{"AC DC"};
        QTest::newRow("name line with parameters, keywords in any case")
            << QByteArray("begin:vcard\nn;charset=utf-8:Doe;John\n  End : VCARD\n") << QStringList{"00001 Doe John.VCF"}
            << QStringList{"Doe John"};
        QTest::newRow("NOTE and NICKNAME are not the name")
            << QByteArray("BEGIN:VCARD\nNOTE:a;b\nNICKNAME:c;d\nEND:VCARD\n") << QStringList{"00001 .VCF"}
            << QStringList{};
        QTest::newRow("UTF-8 name") << QByteArray("BEGIN:VCARD\nN:Dupr\xC3\xA9;\xC3\x89lodie\nEND:VCARD\n")
                                    << QStringList{QStringLiteral("00001 Dupré Élodie.VCF")}
                                    << QStringList{QStringLiteral("Dupré Élodie")};
        // Names too long for a file name are shortened to 255 bytes, and the cards after them written.
        const QByteArray next("BEGIN:VCARD\nN:B;;;;\nEND:VCARD\n");
        QTest::newRow("300 letters") << "BEGIN:VCARD\nN:" + QByteArray(300, 'a') + ";;;;\nEND:VCARD\n" + next
                                     << QStringList{"00001 " + QString(245, u'a') + ".VCF", "00002 B.VCF"}
                                     << QStringList{QString(300, u'a'), "B"};
        QByteArray cjk;
        for (int i = 0; i < 90; ++i)
            cjk += "\xE4\xB8\xAD";
        QTest::newRow("90 CJK characters") << "BEGIN:VCARD\nN:" + cjk + ";;;;\nEND:VCARD\n" + next
                                           << QStringList{"00001 " + QString(81, QChar(0x4E2D)) + ".VCF", "00002 B.VCF"}
                                           << QStringList{QString(90, QChar(0x4E2D)), "B"};
        QTest::newRow("emoji at the cut")
            << "BEGIN:VCARD\nN:" + QByteArray(243, 'a') + "\xF0\x9F\x98\x80;b;;;\nEND:VCARD\n" + next
            << QStringList{"00001 " + QString(243, u'a') + ".VCF", "00002 B.VCF"}
            << QStringList{QString(243, u'a') + QStringLiteral("\U0001F600 b"), "B"};
        QTest::newRow("right-to-left override")
            << QByteArray("BEGIN:VCARD\nN:rlo\xE2\x80\xAE" "FDP.exe;a\xC2\x85" "b\xE2\x80\xA8" "c;;;\nEND:VCARD\n")
            << QStringList{"00001 rlo FDP.exe a b c.VCF"} << QStringList{"rlo FDP.exe a b c"};
    }
    void namesAndNumbers() {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, files);
        QFETCH(QStringList, memo);
        SplitRun r;
        r.run(input);
        QCOMPARE(r.files(), files);
        QCOMPARE(r.win.memo, memo + QStringList{QString::fromUtf8(kDone)});
        QCOMPARE(r.win.log, QStringList{QString::fromUtf8(kDone)});
        QCOMPARE(r.win.counter, Compte(Language::French, files.size(), Msg::Contact, Msg::Contacts));
    }

    // MyPhoneExplorer output: soft line breaks again, and a blank line after each photo, the
    // photo added from the folder included.
    void myPhoneInAndOut() {
        SplitRun r;
        r.opt.myPhoneIn = true;
        r.opt.myPhoneOut = true;
        QVERIFY(writeBytes(r.photos + QStringLiteral("/Petit Louis.jpg"), QByteArray(60, 'x')));
        r.run(readBytes(dataPath(QStringLiteral("myphone/qp-photo.vcf"))));
        QCOMPARE(r.files(), (QStringList{"00001 Martin Sophie (PHOTO).VCF", "00002 Petit Louis (PHOTO).VCF"}));
        COMPARE_BYTES(r.all(), crlf(readBytes(dataPath(QStringLiteral("myphone/qp-photo.split-out.expected.vcf")))));
    }

    // Photos from the photos folder, logos ("logo_" + organisation) from the logos folder,
    // each at the card's end and each only when the card has none of its own.
    void pictures_data() {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<QString>("photoFile");
        QTest::addColumn<QString>("logoFile");
        QTest::addColumn<bool>("optPhoto");
        QTest::addColumn<bool>("optLogos");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("tail");
        const QByteArray card = "BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme;Sales\nEND:VCARD\n";
        QTest::newRow("photo and logo") << card << "Dupont Jean.jpg"
                                        << "logo_Acme.jpg" << true << true << "00001 Dupont Jean (PHOTO).VCF"
                                        << QByteArray("ORG:Acme;Sales\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:YWJj\r\n"
                                                      "LOGO;ENCODING=BASE64;TYPE=JPEG:bG9nbw==\r\nEND:VCARD\r\n");
        QTest::newRow("names in another case")
            << card << "dupont JEAN.JPG"
            << "LOGO_acme.Jpg" << true << true << "00001 Dupont Jean (PHOTO).VCF"
            << QByteArray("PHOTO;ENCODING=BASE64;TYPE=JPEG:YWJj\r\n"
                          "LOGO;ENCODING=BASE64;TYPE=JPEG:bG9nbw==\r\nEND:VCARD\r\n");
        QTest::newRow("logo without the prefix is not a logo")
            << card << ""
            << "Acme.jpg" << true << true << "00001 Dupont Jean.VCF" << QByteArray("ORG:Acme;Sales\r\nEND:VCARD\r\n");
        QTest::newRow("options off") << card << "Dupont Jean.jpg"
                                     << "logo_Acme.jpg" << false << false << "00001 Dupont Jean.VCF"
                                     << QByteArray("ORG:Acme;Sales\r\nEND:VCARD\r\n");
        QTest::newRow("own photo and logo")
            << QByteArray("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\nPHOTO;VALUE=uri:http://x/p.jpg\n"
                          "LOGO;VALUE=uri:http://x/l.jpg\nEND:VCARD\n")
            << "Dupont Jean.jpg"
            << "logo_Acme.jpg" << true << true << "00001 Dupont Jean (PHOTO).VCF"
            << QByteArray("LOGO;VALUE=uri:http://x/l.jpg\r\nEND:VCARD\r\n");
        QTest::newRow("own photo, no folder looked at")
            << QByteArray("BEGIN:VCARD\nN:Dupont;Jean;;;\nPHOTO;VALUE=uri:http://x/p.jpg\nEND:VCARD\n") << ""
            << "" << false << false << "00001 Dupont Jean (PHOTO).VCF"
            << QByteArray("PHOTO;VALUE=uri:http://x/p.jpg\r\nEND:VCARD\r\n");
        QTest::newRow("empty photo file adds nothing")
            << card << "Dupont Jean.jpg="
            << "" << true << true << "00001 Dupont Jean.VCF" << QByteArray("ORG:Acme;Sales\r\nEND:VCARD\r\n");
        QTest::newRow("no name, no photo looked for")
            << QByteArray("BEGIN:VCARD\nN:;;;;\nEND:VCARD\n") << " .jpg"
            << "" << true << true << "00001 .VCF" << QByteArray("N:;;;;\r\nEND:VCARD\r\n");
    }
    void pictures() {
        QFETCH(QByteArray, card);
        QFETCH(QString, photoFile);
        QFETCH(QString, logoFile);
        QFETCH(bool, optPhoto);
        QFETCH(bool, optLogos);
        QFETCH(QString, file);
        QFETCH(QByteArray, tail);
        SplitRun r;
        r.opt.photos = optPhoto;
        r.opt.logos = optLogos;
        // A name ending in "=" stands for an empty file.
        if (!photoFile.isEmpty()) {
            const bool empty = photoFile.endsWith(u'=');
            QVERIFY(writeBytes(r.photos + u'/' + photoFile.chopped(empty ? 1 : 0), empty ? "" : "abc"));
        }
        if (!logoFile.isEmpty())
            QVERIFY(writeBytes(r.logos + u'/' + logoFile, "logo"));
        r.run(card);
        QCOMPARE(r.files(), QStringList{file});
        const QByteArray out = r.file(file);
        QVERIFY2(out.endsWith(tail), out.constData());
        QCOMPARE(r.win.log.size(), 1); // "Conversion done" only
    }

    // A long picture is folded into lines of 78 characters, continuation lines starting with a blank.
    void foldedPhoto() {
        SplitRun r;
        QVERIFY(writeBytes(r.photos + QStringLiteral("/Dupont Jean.jpg"), QByteArray(200, '\xFF')));
        r.run("BEGIN:VCARD\nN:Dupont;Jean;;;\nEND:VCARD\n");
        const QList<QByteArray> lines = r.file(QStringLiteral("00001 Dupont Jean (PHOTO).VCF")).split('\n');
        QVERIFY(lines.at(2).startsWith("PHOTO;ENCODING=BASE64;TYPE=JPEG://///"));
        QCOMPARE(lines.at(2).size(), 78 + 1); // with its CR
        QCOMPARE(lines.at(3).size(), 79 + 1);
        // 32 + 268 characters: three full lines and one of 66.
        QVERIFY(lines.at(3).startsWith(" /"));
        QCOMPARE(lines.at(4).size(), 79 + 1);
        QCOMPARE(lines.at(5).size(), 1 + 300 - 3 * 78 + 1);
        QVERIFY(lines.at(6).startsWith("END:VCARD"));
        QByteArray b64 = lines.at(2).mid(32).trimmed();
        for (int i = 3; i <= 5; ++i)
            b64 += lines.at(i).trimmed();
        QCOMPARE(QByteArray::fromBase64(b64), QByteArray(200, '\xFF'));
    }

    // A picture that exists but cannot be read is logged; the card is still written, without it.
    void unreadablePicture() {
#ifdef Q_OS_UNIX
        SplitRun r;
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), r.photos + QStringLiteral("/Dupont Jean.jpg")));
        QVERIFY(writeBytes(r.logos + QStringLiteral("/logo_Acme.jpg"), "logo"));
        r.run("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\nEND:VCARD\nBEGIN:VCARD\nN:B;;;;\nEND:VCARD\n");
        QCOMPARE(r.files(), (QStringList{"00001 Dupont Jean (PHOTO).VCF", "00002 B.VCF"}));
        QVERIFY(!r.file(QStringLiteral("00001 Dupont Jean (PHOTO).VCF")).contains("PHOTO;"));
        QVERIFY(r.file(QStringLiteral("00001 Dupont Jean (PHOTO).VCF")).contains("LOGO;"));
        QCOMPARE(r.win.log.size(), 2);
        QVERIFY2(r.win.log.at(0).startsWith(QStringLiteral("-> FileReadError Err ")), qPrintable(r.win.log.at(0)));
        QVERIFY(r.win.log.at(0).contains(QStringLiteral("Dupont Jean.jpg")));
#else
        QSKIP("needs /dev/null");
#endif
    }

    // A picture of more than 16 MB is left out with one log line; the card is written without it.
    void pictureTooLarge() {
        SplitRun r;
        r.opt.language = Language::English;
        const QString photo = r.photos + QStringLiteral("/Dupont Jean.jpg");
        QVERIFY(makeSparse(photo, qint64(200) << 20));
        QVERIFY(writeBytes(r.logos + QStringLiteral("/logo_Acme.jpg"), "logo"));
        r.run("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\nEND:VCARD\n");
        QCOMPARE(r.files(), QStringList{"00001 Dupont Jean (PHOTO).VCF"});
        QCOMPARE(r.file(r.files().at(0)), crlf("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\n"
                                               "LOGO;ENCODING=BASE64;TYPE=JPEG:bG9nbw==\nEND:VCARD\n"));
        QCOMPARE(r.win.log, (QStringList{"-> FileReadError Err The picture \"" + photo +
                                             "\" holds 209715200 bytes, more than the 16 MB a picture may have: "
                                             "it was left out",
                                         "--> Conversion done"}));
    }

    // A card that runs into the next one is ended there: each file holds one card, and the
    // log says which card had no end line.
    void beginInsideCard() {
        SplitRun r;
        r.opt.NomFichierEntree = QStringLiteral("/data/in.vcf");
        r.run("BEGIN:VCARD\nN:A;;;;\nBEGIN:VCARD\nN:B;;;;\nEND:VCARD\nBEGIN:VCARD\nN:C;;;;\nEND:VCARD\n");
        QCOMPARE(r.files(), (QStringList{"00001 A.VCF", "00002 B.VCF", "00003 C.VCF"}));
        QCOMPARE(r.file(QStringLiteral("00001 A.VCF")), QByteArray("BEGIN:VCARD\r\nN:A;;;;\r\nEND:VCARD\r\n"));
        QCOMPARE(r.file(QStringLiteral("00002 B.VCF")), QByteArray("BEGIN:VCARD\r\nN:B;;;;\r\nEND:VCARD\r\n"));
        QCOMPARE(r.win.memo, (QStringList{"A", "B", "C", QString::fromUtf8(kDone)}));
        QCOMPARE(r.win.counter, QStringLiteral("3 contacts"));
        QCOMPARE(r.win.log.size(), 2);
        const QString line = r.win.log.at(0);
        QVERIFY2(line.startsWith(QStringLiteral("-> CardStructureError Err ")), qPrintable(line));
        QVERIFY2(line.contains(QStringLiteral("/data/in.vcf")) && line.contains(QStringLiteral("fiche 1")) &&
                     line.contains(QStringLiteral("ligne 1")) && line.contains(QStringLiteral("ligne 3")),
                 qPrintable(line));
    }

    // A BEGIN:VCARD line inside a card ends it even when the lexer's earlier test moved on,
    // and other lines starting with BEGIN are plain lines of the card.
    void beginLikeLines() {
        SplitRun r;
        r.run("BEGIN:VCARD\nN:A;;;;\nBEGIN:VCALENDAR\n  begin : vcard\nN:B;;;;\nEND:VCARD\n");
        QCOMPARE(r.files(), (QStringList{"00001 A.VCF", "00002 B.VCF"}));
        QCOMPARE(r.file(QStringLiteral("00001 A.VCF")),
                 QByteArray("BEGIN:VCARD\r\nN:A;;;;\r\nBEGIN:VCALENDAR\r\nEND:VCARD\r\n"));
        QCOMPARE(r.file(QStringLiteral("00002 B.VCF")), QByteArray("  begin : vcard\r\nN:B;;;;\r\nEND:VCARD\r\n"));
    }

    // Names of real exports are read decoded, for the file name, the list and the photo; the card
    // is copied as it was written.
    void realExportNames_data() {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<bool>("myPhoneIn");
        QTest::addColumn<QString>("name");
        const QByteArray lz("BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Lef=C3=A8vre;Zo=\n"
                            "=C3=A9\nTEL;CELL:1\nEND:VCARD\n");
        QTest::newRow("quoted-printable over a soft break") << lz << false << QStringLiteral("Lefèvre Zoé");
        QTest::newRow("the same, MyPhoneExplorer input") << lz << true << QStringLiteral("Lefèvre Zoé");
        QTest::newRow("quoted-printable organisation")
            << QByteArray("BEGIN:VCARD\nORG;ENCODING=QUOTED-PRINTABLE:Caf=C3=A9 Ma=\nrie;Sales\nEND:VCARD\n") << false
            << QStringLiteral("Café Marie");
        QTest::newRow("KOI8-R bytes")
            << QByteArray("BEGIN:VCARD\nN;CHARSET=KOI8-R:\xE9\xD7\xC1\xCE\xCF\xD7;\xE9\xD7\xC1\xCE\nEND:VCARD\n") << false
            << QStringLiteral("Иванов Иван");
    }
    void realExportNames() {
        QFETCH(QByteArray, card);
        QFETCH(bool, myPhoneIn);
        QFETCH(QString, name);
        SplitRun r;
        r.opt.myPhoneIn = myPhoneIn;
        r.opt.photos = true;
        r.opt.logos = true;
        QVERIFY(writeBytes(r.photos + u'/' + name + QStringLiteral(".jpg"), "abc"));
        QVERIFY(writeBytes(r.logos + QStringLiteral("/logo_") + name + QStringLiteral(".jpg"), "abc"));
        r.run(card);
        const QString file = QStringLiteral("00001 %1 (PHOTO).VCF").arg(name);
        QCOMPARE(r.files(), QStringList{file});
        QCOMPARE(r.win.log, QStringList{QString::fromUtf8(kDone)});
        if (!myPhoneIn)
            QVERIFY(r.file(file).startsWith(crlf(card.chopped(10)))); // all but the end line
        QVERIFY(r.file(file).contains(";TYPE=JPEG:YWJj\r\n"));
    }

    // The run's report counts the cards, the files written and the pictures taken from the folders.
    void reportCounts() {
        SplitRun r;
        QVERIFY(writeBytes(r.photos + QStringLiteral("/A B.jpg"), "abc"));
        r.run("BEGIN:VCARD\nN:A;B\nEND:VCARD\nBEGIN:VCARD\nN:C;D\nEND:VCARD\nBEGIN:VCARD\nN:E;F\n");
        const RunReport& report = r.run().report();
        QCOMPARE(report.cards, 2);
        QCOMPARE(report.filesWritten, 2);
        QCOMPARE(report.picturesCopied, 1);
        QCOMPARE(report.errorLines.size(), 1); // the last card has no end line
        QVERIFY(report.errorLines.at(0).startsWith(QStringLiteral("-> CardStructureError Err ")));
    }

    // A vendor line goes with the lines that its soft line breaks join to it, whatever they look
    // like, but a card's end line is never joined; a folded line stays.
    void vendorLineSoftBreaks() {
        const QByteArray in("BEGIN:VCARD\nN:A;B\nX-ANDROID-CUSTOM;ENCODING=QUOTED-PRINTABLE:vnd=\n.item/nick;=\n"
                            "END:VCARD;x\nx-y:1\n z\nX-Z;QUOTED-PRINTABLE:=\nEND:VCARD\n");
        for (const bool optTagX : {true, false}) {
            SplitRun r;
            r.opt.dropX = optTagX;
            r.run(in);
            QCOMPARE(r.files(), QStringList{"00001 A B.VCF"});
            const QByteArray kept = optTagX ? QByteArray("BEGIN:VCARD\nN:A;B\n z\nEND:VCARD\n") : in;
            QCOMPARE(r.file(r.files().value(0)), crlf(kept));
        }
    }

    // A last card without its end line is not written, and the log says so.
    void lastCardWithoutEnd() {
        SplitRun r;
        r.run("BEGIN:VCARD\nN:A;;;;\nEND:VCARD\nBEGIN:VCARD\nN:B;;;;\n");
        QCOMPARE(r.files(), QStringList{"00001 A.VCF"});
        QCOMPARE(r.win.counter, QStringLiteral("1 contact"));
        QCOMPARE(r.win.log.size(), 2);
        QVERIFY(r.win.log.at(0).startsWith(QStringLiteral("-> CardStructureError Err ")));
        QVERIFY(r.win.log.at(0).contains(QStringLiteral("fiche 2")));
        QCOMPARE(r.win.log.at(1), QString::fromUtf8(kDone));
    }

    void counterAfterTwelveCards() {
        SplitRun r;
        QByteArray in;
        for (int i = 0; i < 12; ++i)
            in += "BEGIN:VCARD\nN:Same;;;;\nEND:VCARD\n";
        r.run(in);
        QCOMPARE(r.files().size(), 12);
        QCOMPARE(r.files().last(), QStringLiteral("00012 Same.VCF"));
        QCOMPARE(r.win.counter, QStringLiteral("12 contacts"));
    }

    // A card file that cannot be written stops the run at that card: the cards before it stay
    // written, the entry in the way stays as it was, no temporary file is left behind.
    void failedWrite() {
        SplitRun r;
        QVERIFY(QDir(r.out).mkdir(QStringLiteral("00002 B.VCF")));
        QVERIFY(writeBytes(r.out + QStringLiteral("/00002 B.VCF/keep"), "old"));
        bool thrown = false;
        try {
            r.run(
                "BEGIN:VCARD\nN:A;;;;\nEND:VCARD\nBEGIN:VCARD\nN:B;;;;\nEND:VCARD\nBEGIN:VCARD\nN:C;;;;\nEND:VCARD\n");
        } catch (const FileWriteError& e) {
            thrown = true;
            QVERIFY2(e.message().contains(QStringLiteral("00002 B.VCF")), qPrintable(e.message()));
        }
        QVERIFY(thrown);
        QCOMPARE(treeEntries(r.out), (QStringList{"00001 A.VCF", "00002 B.VCF", "00002 B.VCF/keep"}));
        QCOMPARE(readBytes(r.out + QStringLiteral("/00002 B.VCF/keep")), QByteArray("old"));
        QVERIFY(!r.win.memo.contains(QString::fromUtf8(kDone)));
    }

    // An output folder that is a regular file: the first card already fails, nothing is written.
    void outputFolderIsAFile() {
        SplitRun r;
        const QString file = r.tmp.filePath(QStringLiteral("plain"));
        QVERIFY(writeBytes(file, "old"));
        r.opt.NomRepSortie = file;
        QVERIFY_THROWS_EXCEPTION(FileWriteError, r.run("BEGIN:VCARD\nN:A;;;;\nEND:VCARD\n"));
        QCOMPARE(readBytes(file), QByteArray("old"));
    }

    // Every corpus file: no crash, one file per card.
    void corpus_data() {
        QTest::addColumn<QString>("path");
        const QStringList files = corpusFiles();
        QVERIFY2(!files.isEmpty(), "no corpus files in " CORVANTA_CORPUS);
        for (const QString& f : files)
            QTest::newRow(qPrintable(QDir(QStringLiteral(CORVANTA_CORPUS)).relativeFilePath(f))) << f;
    }
    void corpus() {
        QFETCH(QString, path);
        for (bool myPhoneIn : {false, true}) {
            SplitRun r;
            r.opt.myPhoneIn = myPhoneIn;
            InputText in;
            in.load(path);
            r.run().TraitementSVCFToMVCF(in);
            const int cards = countCards(path);
            QCOMPARE(r.files().size(), cards);
            QCOMPARE(r.win.log, QStringList{QString::fromUtf8(kDone)});
            for (const QString& f : r.files()) {
                const QByteArray b = r.file(f);
                QVERIFY(b.toUpper().startsWith("BEGIN:VCARD\r\n"));
                QVERIFY(b.endsWith("\r\nEND:VCARD\r\n"));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSplit)
#include "tst_split.moc"
