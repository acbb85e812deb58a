// corvanta-cli split, merge and phonebook, end to end: files written, lists printed, exit statuses.
#include "conversionhelpers.h"

#include <QProcess>
#include <QTemporaryDir>

using namespace helpers;

namespace {

struct Result {
    int exit = -1;
    QString out, err;
};

// Runs the command line in `dir`, so that relative paths start there.
Result cli(const QString& dir, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral(CORVANTA_CLI), args);
    Result r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exit = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString lines(const QStringList& l) {
    return l.join(u'\n') + u'\n';
}

const QString kDone = QStringLiteral("--> Conversion done");

} // namespace

class TestCliConversions : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString path(const QString& name) const { return m_tmp.filePath(name); }

private slots:
    void init() {
        QVERIFY(m_tmp.isValid());
        for (const QString& e : QDir(m_tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
            QFileInfo fi(path(e));
            if (fi.isDir() && !fi.isSymLink())
                QDir(path(e)).removeRecursively();
            else
                QFile::remove(path(e));
        }
    }

    // split then merge with relative paths: every card comes back, in order.
    void splitThenMerge() {
        QVERIFY(writeBytes(path(QStringLiteral("export.vcf")),
                           readBytes(dataPath(QStringLiteral("split/google-export.vcf")))));
        QDir().mkpath(path(QStringLiteral("cards")));

        const Result s = cli(m_tmp.path(), {"split", "export.vcf", "cards"});
        QCOMPARE(s.exit, 0);
        QCOMPARE(s.out, lines({"Dupont Jean", "NoName", QStringLiteral("Dupré Élodie"), kDone}));
        QCOMPARE(s.err, lines({kDone}));
        QCOMPARE(fileNames(path(QStringLiteral("cards"))),
                 (QStringList{"00001 Dupont Jean.VCF", "00002 Acme.VCF", QStringLiteral("00003 Dupré Élodie.VCF")}));

        const Result m = cli(m_tmp.path(), {"merge", "cards", "all.vcf"});
        QCOMPARE(m.exit, 0);
        QCOMPARE(m.out, lines({"Dupont Jean", "NoName", QStringLiteral("Dupré Élodie"), kDone}));
        // The output path is taken from the starting folder, not from the input folder.
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("cards/all.vcf"))));
        COMPARE_BYTES(readBytes(path(QStringLiteral("all.vcf"))),
                      crlf(readBytes(dataPath(QStringLiteral("split/google-export.expected.vcf")))));
    }

    // MyPhoneExplorer in, MyPhoneExplorer out.
    void myPhoneRoundTrip() {
        QDir().mkpath(path(QStringLiteral("cards")));
        const Result s =
            cli(m_tmp.path(), {"split", dataPath(QStringLiteral("myphone/qp-photo.vcf")), "cards", "--myphone-in"});
        QCOMPARE(s.exit, 0);
        const Result m = cli(m_tmp.path(), {"merge", "cards", "back.vcf", "--myphone-out", "--lang", "FR"});
        QCOMPARE(m.exit, 0);
        QCOMPARE(m.err, lines({QStringLiteral("--> Conversion terminée")}));
        const QByteArray back = readBytes(path(QStringLiteral("back.vcf")));
        QVERIFY(back.contains("NOTE;ENCODING=QUOTED-PRINTABLE:Premi=C3=A8re ligne=0ADeuxi=\r\n=C3=A8me ligne\r\n"));
        QVERIFY(back.contains("8=\r\n\r\nEND:VCARD\r\nBEGIN:VCARD\r\n"));
    }

    // Checks that fail print their message alone and exit 1; options the window disables are bad usage.
    void failures_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("err");
        QTest::newRow("split: no input file")
            << QStringList{"split", "missing.vcf", "."} << 1 << "The input file does'nt exist\n";
        QTest::newRow("split: no output folder")
            << QStringList{"split", "in.vcf", "nowhere"} << 1 << "The output directory does'nt exist\n";
        QTest::newRow("split: no photos folder") << QStringList{"split", "in.vcf", ".", "--photos", "nowhere"} << 1
                                                 << "The photos directory does'nt exist\n";
        QTest::newRow("split: empty file")
            << QStringList{"split", "empty.vcf", ".", "--lang", "fr"} << 1 << "Fichier vide\n";
        QTest::newRow("merge: no input folder")
            << QStringList{"merge", "nowhere", "all.vcf"} << 1 << "The input directory does'nt exist\n";
        QTest::newRow("merge: no VCF file")
            << QStringList{"merge", "novcf", "all.vcf"} << 1 << "No VCF file to process\n";
        QTest::newRow("phonebook: no photos folder")
            << QStringList{"phonebook", "Phonebook.dat", "out.dat"} << 1 << "The photos directory does'nt exist\n";
        QTest::newRow("phonebook: no phone book") << QStringList{"phonebook", "missing.dat", "out.dat", "--photos", "."}
                                                  << 1 << "The input file does'nt exist\n";
        QTest::newRow("split --myphone-out") << QStringList{"split", "in.vcf", ".", "--myphone-out"} << 2 << "";
        QTest::newRow("merge --myphone-in") << QStringList{"merge", ".", "all.vcf", "--myphone-in"} << 2 << "";
        QTest::newRow("phonebook --keep-x")
            << QStringList{"phonebook", "Phonebook.dat", "out.dat", "--photos", ".", "--keep-x"} << 2 << "";
    }
    void failures() {
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, err);
        QVERIFY(writeBytes(path(QStringLiteral("in.vcf")), "BEGIN:VCARD\nN:A;;;;\nEND:VCARD\n"));
        QVERIFY(writeBytes(path(QStringLiteral("empty.vcf")), ""));
        QVERIFY(writeBytes(path(QStringLiteral("Phonebook.dat")), "BEGIN:VCARD\nEND:VCARD\n"));
        QDir().mkpath(path(QStringLiteral("novcf")));
        const QStringList before = treeEntries(m_tmp.path());
        const Result r = cli(m_tmp.path(), args);
        QCOMPARE(r.exit, exit);
        if (exit == 1)
            QCOMPARE(r.err, err);
        QCOMPARE(r.out, QString());
        QStringList after = treeEntries(m_tmp.path());
        after.removeAll(QStringLiteral("ImageCache")); // created by the phone-book check
        QCOMPARE(after, before);
    }

    // A card file that cannot be written ends the run: one error line, exit 1, the cards
    // before it written.
    void splitWriteError() {
        QVERIFY(writeBytes(path(QStringLiteral("in.vcf")),
                           "BEGIN:VCARD\nN:A;;;;\nEND:VCARD\nBEGIN:VCARD\nN:B;;;;\nEND:VCARD\n"));
        QDir().mkpath(path(QStringLiteral("out/00002 B.VCF")));
        const Result r = cli(m_tmp.path(), {"split", "in.vcf", "out"});
        QCOMPARE(r.exit, 1);
        QCOMPARE(r.out, lines({"A", "B"}));
        QVERIFY2(r.err.startsWith(QStringLiteral("-> FileWriteError Err ")) && r.err.count(u'\n') == 1,
                 qPrintable(r.err));
        QCOMPARE(treeEntries(path(QStringLiteral("out"))), (QStringList{"00001 A.VCF", "00002 B.VCF"}));
    }

    // An existing output file is replaced only with --force; a folder there is a write error.
    void mergeOverwrite() {
        QDir().mkpath(path(QStringLiteral("cards")));
        QVERIFY(writeBytes(path(QStringLiteral("cards/a.vcf")), "BEGIN:VCARD\nN:A;;;;\nEND:VCARD\n"));
        QVERIFY(writeBytes(path(QStringLiteral("all.vcf")), "old"));

        Result r = cli(m_tmp.path(), {"merge", "cards", "all.vcf"});
        QCOMPARE(r.exit, 1);
        QCOMPARE(r.out, lines({"A", kDone}));
        QCOMPARE(r.err, lines({kDone, "File already exists. Overwrite ?"}));
        QCOMPARE(readBytes(path(QStringLiteral("all.vcf"))), QByteArray("old"));

        r = cli(m_tmp.path(), {"merge", "cards", "all.vcf", "--force"});
        QCOMPARE(r.exit, 0);
        QCOMPARE(readBytes(path(QStringLiteral("all.vcf"))), crlf("BEGIN:VCARD\nN:A;;;;\nEND:VCARD\n"));

        QDir().mkpath(path(QStringLiteral("folder.vcf")));
        r = cli(m_tmp.path(), {"merge", "cards", "folder.vcf", "--force"});
        QCOMPARE(r.exit, 1);
        QVERIFY2(r.err.contains(QStringLiteral("-> FileWriteError Err ")), qPrintable(r.err));
        QVERIFY(QFileInfo(path(QStringLiteral("folder.vcf"))).isDir());
    }

    // The phone book written over itself: refused without --force (the pictures already copied
    // stay), done with it.
    void phoneBookOverItself() {
        QDir().mkpath(path(QStringLiteral("mpe")));
        QDir().mkpath(path(QStringLiteral("photos")));
        const QByteArray original = readBytes(dataPath(QStringLiteral("phonebook/Phonebook.dat")));
        QVERIFY(writeBytes(path(QStringLiteral("mpe/Phonebook.dat")), original));
        QVERIFY(writeBytes(path(QStringLiteral("photos/Dupont Jean.jpg")), "jean"));
        QVERIFY(writeBytes(path(QStringLiteral("photos/logo_Acme.jpg")), "acme"));
        QVERIFY(writeBytes(path(QStringLiteral("photos/Martin Paul.jpg")), "paul"));
        const QStringList args{"phonebook", "mpe/Phonebook.dat", "mpe/Phonebook.dat", "--photos", "photos"};

        Result r = cli(m_tmp.path(), args);
        QCOMPARE(r.exit, 1);
        QCOMPARE(r.out, lines({"Dupont Jean", "Acme", "Martin Paul", "Sans Luid", kDone}));
        QCOMPARE(r.err, lines({kDone, "File already exists. Overwrite ?"}));
        QCOMPARE(readBytes(path(QStringLiteral("mpe/Phonebook.dat"))), original);
        QCOMPARE(fileNames(path(QStringLiteral("mpe/ImageCache"))), (QStringList{"00AB.dat", "12.dat", "13.dat"}));

        // Delete the pictures so that the second run copies them again.
        QDir(path(QStringLiteral("mpe/ImageCache"))).removeRecursively();
        r = cli(m_tmp.path(), args + QStringList{"--force"});
        QCOMPARE(r.exit, 0);
        COMPARE_BYTES(readBytes(path(QStringLiteral("mpe/Phonebook.dat"))),
                      crlf(readBytes(dataPath(QStringLiteral("phonebook/Phonebook.expected.dat")))));
        QCOMPARE(readBytes(path(QStringLiteral("mpe/ImageCache/12.dat"))), QByteArray("jean"));

        // Run again: every picture exists, so the phone book stays as it is.
        r = cli(m_tmp.path(), args + QStringList{"--force"});
        QCOMPARE(r.exit, 0);
        COMPARE_BYTES(readBytes(path(QStringLiteral("mpe/Phonebook.dat"))),
                      crlf(readBytes(dataPath(QStringLiteral("phonebook/Phonebook.expected.dat")))));
    }

    // An unsafe X-IRMC-LUID value is reported; nothing leaves ImageCache; the run goes on to
    // its end and writes the phone book, but the logged error makes it end with status 1.
    void phoneBookUnsafeName() {
        QDir().mkpath(path(QStringLiteral("mpe")));
        QVERIFY(writeBytes(path(QStringLiteral("mpe/Phonebook.dat")),
                           "BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:../x\nEND:VCARD\n"));
        QVERIFY(writeBytes(path(QStringLiteral("Dupont Jean.jpg")), "jean"));
        const Result r = cli(m_tmp.path(), {"phonebook", "mpe/Phonebook.dat", "out.dat", "--photos", "."});
        QCOMPARE(r.exit, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("-> FileNameError Err ")), qPrintable(r.err));
        QCOMPARE(treeEntries(m_tmp.path()),
                 (QStringList{"Dupont Jean.jpg", "mpe", "mpe/ImageCache", "mpe/Phonebook.dat", "out.dat"}));
    }
};

QTEST_GUILESS_MAIN(TestCliConversions)
#include "tst_cli_conversions.moc"
