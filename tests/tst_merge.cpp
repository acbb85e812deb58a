// The merge action: the first card of every VCF file of a folder, gathered into one file.
#include "conversionhelpers.h"
#include "fakewindow.h"
#include "testrun.h"
#include <optional>
#include "ui/presenter/kzform.h"

#include <QTemporaryDir>

using namespace helpers;

namespace {

struct MergeRun : TestRun {
    using TestRun::run;
    QTemporaryDir tmp;
    QString photos, logos;
    LineList out;

    MergeRun() {
        win.selectAction(Ctrl::R_MVCFToSVCF);
        photos = tmp.filePath(QStringLiteral("photos"));
        logos = tmp.filePath(QStringLiteral("logos"));
        QDir().mkpath(photos);
        QDir().mkpath(logos);
        opt.NomRepPhotos = photos;
        opt.NomRepLogos = logos;
    }
    // One call, as the driver makes it for one file when the merged list keeps its lines (for
    // MyPhoneExplorer output).
    void add(const QByteArray& text) {
        InputText in;
        in.loadBytes(QStringLiteral("in.vcf"), text);
        run().TraitementMVCFToSVCF(in, out, nullptr);
    }
    QByteArray bytes() const { return out.toBytes(); }
    // The merged bytes of one card, its lines kept in the list or encoded as they go.
    QByteArray merged(const QByteArray& card, bool encoded) {
        if (encoded)
            return addEncoded(card);
        add(card);
        return bytes();
    }
    // The same call, encoded as it goes, as the driver makes it otherwise; the merged bytes.
    QByteArray addEncoded(const QByteArray& text) {
        InputText in;
        in.loadBytes(QStringLiteral("in.vcf"), text);
        QByteArray encoded;
        run().TraitementMVCFToSVCF(in, out, &encoded);
        out.appendBytes(encoded, 0, out.size());
        return encoded;
    }
};

const QString kDoneFr = QStringLiteral("--> Conversion terminée");

} // namespace

class TestMerge : public QObject {
    Q_OBJECT

private slots:
    // What one file contributes: its first card, right-trimmed, empty lines dropped, closed by
    // "END:VCARD" whatever its own end line looked like.
    void oneFile_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("merged");
        QTest::newRow("only the first card")
            << QByteArray("BEGIN:VCARD\nN:A;;;;\nEND:VCARD\nBEGIN:VCARD\nN:B;;;;\nEND:VCARD\n")
            << QByteArray("BEGIN:VCARD\nN:A;;;;\nEND:VCARD\n");
        QTest::newRow("first card without end line runs into the second")
            << QByteArray("BEGIN:VCARD\nN:A;;;;\nBEGIN:VCARD\nN:B;;;;\nEND:VCARD\nBEGIN:VCARD\nN:C;;;;\nEND:VCARD\n")
            << QByteArray("BEGIN:VCARD\nN:A;;;;\nBEGIN:VCARD\nN:B;;;;\nEND:VCARD\n");
        QTest::newRow("empty file") << QByteArray("") << QByteArray("END:VCARD\n");
        QTest::newRow("only card without end line") << QByteArray("BEGIN:VCARD\nN:Dupont;Jean;;;\n")
                                                    << QByteArray("BEGIN:VCARD\nN:Dupont;Jean;;;\nEND:VCARD\n");
        QTest::newRow("end line in lower case")
            << QByteArray("BEGIN:VCARD\nend:vcard\nN:B;;;;\n") << QByteArray("BEGIN:VCARD\nEND:VCARD\n");
        QTest::newRow("end line with blanks around the colon")
            << QByteArray("BEGIN:VCARD\nEND : VCARD  \nN:B;;;;\n") << QByteArray("BEGIN:VCARD\nEND:VCARD\n");
        QTest::newRow("lines before the card are copied")
            << QByteArray("PRODID:x\n\n   \nBEGIN:VCARD\nFN:a  \t\nEND:VCARD\n")
            << QByteArray("PRODID:x\nBEGIN:VCARD\nFN:a\nEND:VCARD\n");
        QTest::newRow("vendor lines dropped, grouped label kept, folded lines kept")
            << QByteArray("BEGIN:VCARD\nX-ANDROID-CUSTOM:abc\n X-FOLDED:1\nitem1.X-ABLabel:Home\nEND:VCARD\n")
            << QByteArray("BEGIN:VCARD\n X-FOLDED:1\nitem1.X-ABLabel:Home\nEND:VCARD\n");
        QTest::newRow("folded line is never a property")
            << QByteArray("BEGIN:VCARD\nNOTE:a\n END:VCARD\nTEL:1\nEND:VCARD\n")
            << QByteArray("BEGIN:VCARD\nNOTE:a\n END:VCARD\nTEL:1\nEND:VCARD\n");
        QTest::newRow("X-SYNC parameters removed")
            << QByteArray("BEGIN:VCARD\nTEL;X-SYNC=3;CELL:0601\nTEL;X-SYNC=4:0602\nEND:VCARD\n")
            << QByteArray("BEGIN:VCARD\nTEL;CELL:0601\nTEL:0602\nEND:VCARD\n");
        QTest::newRow("UTF-8 bytes unchanged") << QByteArray("BEGIN:VCARD\nNOTE:\xE2\x82\xAC \xC3\xA9\nEND:VCARD\n")
                                               << QByteArray("BEGIN:VCARD\nNOTE:\xE2\x82\xAC \xC3\xA9\nEND:VCARD\n");
    }
    void oneFile() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, merged);
        MergeRun r;
        r.add(input);
        QCOMPARE(r.bytes(), crlf(merged));
        QVERIFY(r.win.log.isEmpty());
    }

    // Encoded as it goes (continuation lines copied as bytes), a file gives the bytes that its
    // lines kept in the list give, with the X-SYNC pass and the vendor-line option on and off.
    void encodedMatchesList_data() {
        oneFile_data();
        QTest::newRow("continuation lines with blanks, controls and Windows-1252 bytes")
            << QByteArray("BEGIN:VCARD\nPHOTO;ENCODING=b:AAAA\n BBBB  \n \t\x01\n  \n \x80\xE9\xFF \r\nEND:VCARD\n")
            << QByteArray();
        QTest::newRow("X-SYNC in a continuation line, CR line ends")
            << QByteArray("BEGIN:VCARD\rNOTE:a\r b;X-SYNC=1;c:d\r ;X-SYNC\rEND:VCARD\r") << QByteArray();
        QTest::newRow("one-character continuation, last line without break")
            << QByteArray("BEGIN:VCARD\nN:A;;;;\n x\n \n y") << QByteArray();
        QTest::newRow("keywords in any case, after blanks and tabs, or not ASCII")
            << QByteArray("begin:vcard\n\tn:Dupont;Jean\n org:Acme\r\n\t x-a:1\nX-B:2\nnote:n\n"
                          "Photo;VALUE=uri:p\n\tlogo:l\nFN:Z\xC3\xA9\nTEL:1 \t\n\t\n \nEMAIL:a@b\nENd:VCARD\nTEL:2\n")
            << QByteArray();
        QTest::newRow("UTF-8 with its mark: accented and Cyrillic lines")
            << QByteArray("\xEF\xBB\xBF"
                          "BEGIN:VCARD\nFN:Z\xC3\xA9\nTITLE:\xD0\x96\nEND:VCARD\n")
            << QByteArray();
        QTest::newRow("lines after a card without its end")
            << QByteArray("BEGIN:VCARD\nFN:A\nX-SYNC:1\nTEL;X-SYNC=2:3\nBEGIN:VCARD\nFN:B\n") << QByteArray();
    }
    void encodedMatchesList() {
        QFETCH(QByteArray, input);
        for (const bool sync : {true, false})
            for (const bool tagX : {true, false}) {
                MergeRun list;
                list.opt.dropSync = sync;
                list.opt.dropX = tagX;
                list.add(input);
                MergeRun encoded;
                encoded.opt.dropSync = sync;
                encoded.opt.dropX = tagX;
                COMPARE_BYTES(encoded.addEncoded(input), list.bytes());
            }
    }

    // With the options off, vendor lines and X-SYNC parameters stay.
    void optionsOff() {
        MergeRun r;
        r.opt.dropX = false;
        r.opt.dropSync = false;
        r.add("BEGIN:VCARD\nX-A:1\nTEL;X-SYNC=3;CELL:0601\nEND:VCARD\n");
        QCOMPARE(r.bytes(), crlf("BEGIN:VCARD\nX-A:1\nTEL;X-SYNC=3;CELL:0601\nEND:VCARD\n"));
    }

    // Calls append to the same list; the processed-files list gets one name per file.
    void severalFiles() {
        MergeRun r;
        r.add("BEGIN:VCARD\nN:Dupont;Jean;;;\nEND:VCARD\n");
        r.add("BEGIN:VCARD\nN:;;;;\nEND:VCARD\n");
        r.add("BEGIN:VCARD\nFN:x\nEND:VCARD\n");
        QCOMPARE(r.win.memo, (QStringList{"Dupont Jean", "NoName"}));
        QCOMPARE(r.out.size(), 9);
    }

    // Photo from the photos folder; logo from the logos folder, as LOGO named after the whole
    // organisation, or, for MyPhoneExplorer output, as PHOTO named "logo_" + organisation.
    void pictures_data() {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<bool>("myPhoneOut");
        QTest::addColumn<QByteArray>("tail");
        const QByteArray named = "BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\nEND:VCARD\n";
        const QByteArray anonymous = "BEGIN:VCARD\nN:;;;;\nORG:Acme\nEND:VCARD\n";
        QTest::newRow("photo and logo") << named << false
                                        << QByteArray("ORG:Acme\nPHOTO;ENCODING=BASE64;TYPE=JPEG:cGhvdG8=\n"
                                                      "LOGO;ENCODING=BASE64;TYPE=JPEG:YWNtZQ==\nEND:VCARD\n");
        QTest::newRow("MyPhoneExplorer: photo, no logo")
            << named << true << QByteArray("ORG:Acme\nPHOTO;ENCODING=BASE64;TYPE=JPEG:cGhvdG8=\nEND:VCARD\n");
        QTest::newRow("MyPhoneExplorer: logo as photo")
            << anonymous << true << QByteArray("ORG:Acme\nPHOTO;ENCODING=BASE64;TYPE=JPEG:bG9nb18=\nEND:VCARD\n");
        QTest::newRow("no name: logo only")
            << anonymous << false << QByteArray("ORG:Acme\nLOGO;ENCODING=BASE64;TYPE=JPEG:YWNtZQ==\nEND:VCARD\n");
        QTest::newRow("own photo: none added, and no logo for MyPhoneExplorer")
            << QByteArray("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\nPHOTO;VALUE=uri:http://p\nEND:VCARD\n") << true
            << QByteArray("PHOTO;VALUE=uri:http://p\nEND:VCARD\n");
        QTest::newRow("own logo: photo only")
            << QByteArray("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\nLOGO;VALUE=uri:http://l\nEND:VCARD\n") << false
            << QByteArray("LOGO;VALUE=uri:http://l\nPHOTO;ENCODING=BASE64;TYPE=JPEG:cGhvdG8=\nEND:VCARD\n");
        QTest::newRow("whole organisation names the logo")
            << QByteArray("BEGIN:VCARD\nORG:Acme;Sales\nEND:VCARD\n") << false
            << QByteArray("ORG:Acme;Sales\nLOGO;ENCODING=BASE64;TYPE=JPEG:c2FsZXM=\nEND:VCARD\n");
        QTest::newRow("card without end line gets no picture")
            << QByteArray("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\n") << false << QByteArray("ORG:Acme\nEND:VCARD\n");
    }
    void pictures() {
        QFETCH(QByteArray, card);
        QFETCH(bool, myPhoneOut);
        QFETCH(QByteArray, tail);
        // Kept in the list, and encoded as it goes.
        for (const bool encoded : {false, true}) {
            MergeRun r;
            r.opt.myPhoneOut = myPhoneOut;
            // Names in another case are found too.
            QVERIFY(writeBytes(r.photos + QStringLiteral("/DUPONT jean.jpg"), "photo"));
            QVERIFY(writeBytes(r.logos + QStringLiteral("/Acme.jpg"), "acme"));
            QVERIFY(writeBytes(r.logos + QStringLiteral("/logo_acme.JPG"), "logo_"));
            QVERIFY(writeBytes(r.logos + QStringLiteral("/Acme;Sales.jpg"), "sales"));
            const QByteArray out = r.merged(card, encoded);
            QVERIFY2(out.endsWith(crlf(tail)), out.constData());
            QVERIFY(r.win.log.isEmpty());
        }
    }

    // A quoted-printable name over a soft break finds its photo; the card is copied unchanged.
    void quotedPrintableName() {
        const QByteArray card("BEGIN:VCARD\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Lef=C3=A8vre;Zo=\n=C3=A9\n"
                              "END:VCARD\n");
        for (const bool encoded : {false, true}) {
            MergeRun r;
            QVERIFY(writeBytes(r.photos + QStringLiteral("/Lefèvre Zoé.jpg"), "photo"));
            const QByteArray out = r.merged(card, encoded);
            QCOMPARE(out, crlf(card.chopped(10) + "PHOTO;ENCODING=BASE64;TYPE=JPEG:cGhvdG8=\nEND:VCARD\n"));
            QCOMPARE(r.win.memo, QStringList{QStringLiteral("Lefèvre Zoé")});
        }
    }

    void picturesOptionsOff() {
        MergeRun r;
        r.opt.photos = false;
        r.opt.logos = false;
        QVERIFY(writeBytes(r.photos + QStringLiteral("/Dupont Jean.jpg"), "photo"));
        QVERIFY(writeBytes(r.logos + QStringLiteral("/Acme.jpg"), "acme"));
        r.add("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\nEND:VCARD\n");
        QCOMPARE(r.bytes(), crlf("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\nEND:VCARD\n"));
    }

    // A picture that cannot be read is logged; the card is still closed and merged, and the
    // next picture step still runs.
    void unreadablePicture() {
#ifdef Q_OS_UNIX
        MergeRun r;
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), r.photos + QStringLiteral("/Dupont Jean.jpg")));
        QVERIFY(writeBytes(r.logos + QStringLiteral("/Acme.jpg"), "acme"));
        r.add("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\nEND:VCARD\n");
        QCOMPARE(r.bytes(),
                 crlf("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\nLOGO;ENCODING=BASE64;TYPE=JPEG:YWNtZQ==\nEND:VCARD\n"));
        QCOMPARE(r.win.log.size(), 1);
        QVERIFY(r.win.log.at(0).startsWith(QStringLiteral("-> FileReadError Err ")));
#else
        QSKIP("needs /dev/null");
#endif
    }

    // A first card longer than 65,535 lines is read to its end.
    void longCard() {
        MergeRun r;
        QByteArray in = "BEGIN:VCARD\n";
        for (int i = 0; i < 70000; ++i)
            in += "NOTE:" + QByteArray::number(i) + '\n';
        in += "END:VCARD\nBEGIN:VCARD\nN:Other;;;;\nEND:VCARD\n";
        r.add(in);
        QCOMPARE(r.out.size(), 70002);
        QCOMPARE(r.out.last(), QStringLiteral("END:VCARD"));
        QCOMPARE(r.out.at(70000), QStringLiteral("NOTE:69999"));
    }

    // Through the Run button: every "*.vcf" entry of the folder, hidden ones included, in name
    // order (case ignored), the counter of files, "Conversion done", and the save step with the
    // MyPhoneExplorer pass.
    void throughTheDriver() {
        QTemporaryDir tmp;
        const QString in = tmp.filePath(QStringLiteral("in"));
        QDir().mkpath(in);
        QVERIFY(writeBytes(in + QStringLiteral("/b.VCF"), "BEGIN:VCARD\nN:B;;;;\nNOTE:x\\ny\nEND:VCARD\n"));
        QVERIFY(writeBytes(in + QStringLiteral("/A.vcf"), "BEGIN:VCARD\nN:A;;;;\nEND:VCARD\n"));
        QVERIFY(writeBytes(in + QStringLiteral("/c.Vcf"), "BEGIN:VCARD\nN:C;;;;\nEND:VCARD\n"));
        QVERIFY(writeBytes(in + QStringLiteral("/notes.txt"), "BEGIN:VCARD\nN:T;;;;\nEND:VCARD\n"));
        QVERIFY(writeBytes(in + QStringLiteral("/.hidden.vcf"), "BEGIN:VCARD\nN:H;;;;\nEND:VCARD\n"));
        const QString saved = tmp.filePath(QStringLiteral("merged.vcf"));
        const QString cwd = QDir::currentPath();

        FakeWindow win;
        win.selectAction(Ctrl::R_MVCFToSVCF);
        win.edits[Ctrl::E_RepEntree] = in;
        win.checks[Ctrl::C_Photo] = false;
        win.checks[Ctrl::C_Logos] = false;
        win.checks[Ctrl::C_MyphoneOut] = true;
        win.saveAnswers.enqueue(saved);
        TF_Principal p(win);
        pressRun(p);
        QDir::setCurrent(cwd);

        QCOMPARE(win.boxes.size(), 0);
        QCOMPARE(win.memo, (QStringList{"H", "A", "B", "C", kDoneFr}));
        QCOMPARE(win.log, QStringList{kDoneFr});
        QCOMPARE(win.counter, QStringLiteral("4 contacts"));
        QCOMPARE(
            readBytes(saved),
            crlf("BEGIN:VCARD\nN:H;;;;\nEND:VCARD\nBEGIN:VCARD\nN:A;;;;\nEND:VCARD\nBEGIN:VCARD\nN:B;;;;\nNOTE:x=0Ay\n"
                 "END:VCARD\nBEGIN:VCARD\nN:C;;;;\nEND:VCARD\n"));
    }

    // Every corpus file: no crash, its first card merged and closed.
    void corpus_data() {
        QTest::addColumn<QString>("path");
        const QStringList files = corpusFiles();
        QVERIFY2(!files.isEmpty(), "no corpus files in " CORVANTA_CORPUS);
        for (const QString& f : files)
            QTest::newRow(qPrintable(QDir(QStringLiteral(CORVANTA_CORPUS)).relativeFilePath(f))) << f;
    }
    void corpus() {
        QFETCH(QString, path);
        MergeRun r;
        InputText in;
        in.load(path);
        r.run().TraitementMVCFToSVCF(in, r.out, nullptr);
        QCOMPARE(r.out.last(), QStringLiteral("END:VCARD"));
        LECTYPE lex;
        int ends = 0;
        for (const QString& l : std::as_const(r.out)) {
            lex.BUFFER = l;
            DEBUTANALYSE(lex);
            if (IDENTPATERN(lex, u"END") && SEPARATEUR(lex, u":") && IDENTPATERN(lex, u"VCARD"))
                ++ends;
        }
        QCOMPARE(ends, 1);
        QVERIFY(r.win.log.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMerge)
#include "tst_merge.moc"
