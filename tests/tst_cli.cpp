// corvanta-cli: help, bad usage, the checks' messages and reproducible .contact files, checking
// the output streams, the exit status and what the program leaves on disk. Conversions of
// input files are the cases of tests/data/cases (tst_cases).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Result {
    int exit = -1;
    QByteArray out, err;
};

QByteArray card(const QByteArray& name, const QByteArray& extra = QByteArray()) {
    return "BEGIN:VCARD\r\nVERSION:2.1\r\nN:" + name + ";Jean;;;\r\nFN:Jean " + name + "\r\n" + extra + "END:VCARD\r\n";
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList listing(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir* m_tmp = nullptr;

    QString path(const QString& name) const { return m_tmp->filePath(name); }

    void writeFile(const QString& name, const QByteArray& data) {
        QFile f(path(name));
        QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(name));
        f.write(data);
    }

    // Runs the program in the temporary folder.
    Result run(const QStringList& args, const QStringList& env = {},
               QProcess::ProcessChannelMode channels = QProcess::SeparateChannels) {
        QProcess p;
        p.setProcessChannelMode(channels);
        p.setProgram(QStringLiteral(CORVANTA_CLI));
        p.setArguments(args);
        p.setWorkingDirectory(m_tmp->path());
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove(QStringLiteral("SOURCE_DATE_EPOCH"));
        for (const QString& kv : env)
            e.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
        p.setProcessEnvironment(e);
        p.start();
        Result r;
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
            return r;
        r.exit = p.exitCode();
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

private slots:
    void init() {
        m_tmp = new QTemporaryDir;
        QVERIFY(m_tmp->isValid());
        QDir d(m_tmp->path());
        for (const char* sub : {"out", "in", "photos"})
            QVERIFY(d.mkpath(QLatin1String(sub)));
        writeFile(QStringLiteral("two.vcf"), card("Dupont") + card("Martin"));
        writeFile(QStringLiteral("in/a.vcf"), card("Alpha"));
        writeFile(QStringLiteral("in/b.vcf"), card("Beta"));
        writeFile(QStringLiteral("Phonebook.dat"), card("Dupont", "X-IRMC-LUID:12\r\n"));
        writeFile(QStringLiteral("empty.vcf"), QByteArray());
    }
    void cleanup() { delete m_tmp; }

    void help() {
        for (const QString& h : {QStringLiteral("-h"), QStringLiteral("--help")}) {
            const Result r = run({h});
            QCOMPARE(r.exit, 0);
            QVERIFY(r.out.startsWith("Usage: corvanta-cli ACTION INPUT OUTPUT"));
            for (const char* action : {"contacts", "split", "merge", "phonebook", "--force", "--seed"})
                QVERIFY2(r.out.contains(action), action);
            QVERIFY(r.err.isEmpty());
        }
        const Result v = run({QStringLiteral("--version")});
        QCOMPARE(v.exit, 0);
        QCOMPARE(v.out, QByteArray("corvanta-cli 1.50\n"));
    }

    // Bad usage: exit 2, a short note on standard error, nothing done.
    void usage_data() {
        QTest::addColumn<QStringList>("args");
        const QString c = QStringLiteral("contacts"), s = QStringLiteral("split"), m = QStringLiteral("merge"),
                      p = QStringLiteral("phonebook"), vcf = QStringLiteral("two.vcf"), out = QStringLiteral("out"),
                      pb = QStringLiteral("Phonebook.dat"), mo = QStringLiteral("out/m.vcf");
        QTest::newRow("no arguments") << QStringList{};
        QTest::newRow("unknown action") << QStringList{QStringLiteral("convert"), vcf, out};
        QTest::newRow("missing output") << QStringList{c, vcf};
        QTest::newRow("extra argument") << QStringList{s, vcf, out, out};
        QTest::newRow("unknown option") << QStringList{c, vcf, out, QStringLiteral("--frobnicate")};
        QTest::newRow("bad language") << QStringList{c, vcf, out, QStringLiteral("--lang"), QStringLiteral("de")};
        QTest::newRow("bad seed") << QStringList{c, vcf, out, QStringLiteral("--seed"), QStringLiteral("12x")};
        QTest::newRow("negative seed") << QStringList{c, vcf, out, QStringLiteral("--seed=-1")};
        QTest::newRow("photos without folder") << QStringList{c, vcf, out, QStringLiteral("--photos")};
        QTest::newRow("contacts --myphone-out") << QStringList{c, vcf, out, QStringLiteral("--myphone-out")};
        QTest::newRow("split --myphone-out") << QStringList{s, vcf, out, QStringLiteral("--myphone-out")};
        QTest::newRow("merge --myphone-in") << QStringList{m, QStringLiteral("in"), mo, QStringLiteral("--myphone-in")};
        for (const char* o : {"--keep-x", "--keep-sync", "--keep-labels", "--myphone-in", "--myphone-out"})
            QTest::newRow(qPrintable(QStringLiteral("phonebook ") + QLatin1String(o)))
                << QStringList{p, pb, mo, QStringLiteral("--photos"), QStringLiteral("photos"), QLatin1String(o)};
    }
    void usage() {
        QFETCH(QStringList, args);
        const QStringList before = listing(m_tmp->path());
        const Result r = run(args);
        QCOMPARE(r.exit, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith("corvanta-cli: ") && r.err.contains("--help"), r.err.constData());
        QCOMPARE(listing(m_tmp->path()), before);
        QVERIFY(listing(path(QStringLiteral("out"))).isEmpty());
    }

    // A failed check prints its message alone, in the chosen language.
    void checkFailure_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("input missing") << QStringList{QStringLiteral("contacts"), QStringLiteral("none.vcf"),
                                                      QStringLiteral("out")}
                                       << QByteArray("The input file does'nt exist\n");
        QTest::newRow("input missing, fr")
            << QStringList{QStringLiteral("split"), QStringLiteral("none.vcf"), QStringLiteral("out"),
                           QStringLiteral("--lang"), QStringLiteral("fr")}
            << QByteArray("Le fichier d'entrée n'existe pas\n");
        QTest::newRow("output missing, FR") << QStringList{QStringLiteral("split"), QStringLiteral("two.vcf"),
                                                           QStringLiteral("nothere"), QStringLiteral("--lang=FR")}
                                            << QByteArray("Le répertoire de sortie n'existe pas\n");
        QTest::newRow("photos missing") << QStringList{QStringLiteral("contacts"), QStringLiteral("two.vcf"),
                                                       QStringLiteral("out"), QStringLiteral("--photos"),
                                                       QStringLiteral("nothere")}
                                        << QByteArray("The photos directory does'nt exist\n");
        QTest::newRow("empty file, fr") << QStringList{QStringLiteral("split"), QStringLiteral("empty.vcf"),
                                                       QStringLiteral("out"), QStringLiteral("--lang"),
                                                       QStringLiteral("fr")}
                                        << QByteArray("Fichier vide : \"{dir}/empty.vcf\"\n");
        QTest::newRow("phonebook: input missing")
            << QStringList{QStringLiteral("phonebook"), QStringLiteral("none.dat"), QStringLiteral("new.dat"),
                           QStringLiteral("--photos"), QStringLiteral("photos")}
            << QByteArray("The input file does'nt exist\n");
        QTest::newRow("phonebook: photos missing")
            << QStringList{QStringLiteral("phonebook"), QStringLiteral("Phonebook.dat"), QStringLiteral("new.dat"),
                           QStringLiteral("--photos"), QStringLiteral("nothere")}
            << QByteArray("The photos directory does'nt exist\n");
        QTest::newRow("phonebook: output exists, no --force")
            << QStringList{QStringLiteral("phonebook"), QStringLiteral("Phonebook.dat"),
                           QStringLiteral("Phonebook.dat"), QStringLiteral("--photos"), QStringLiteral("photos")}
            << QByteArray("File already exists. Overwrite ?\n");
        QTest::newRow("merge: no VCF") << QStringList{QStringLiteral("merge"), QStringLiteral("photos"),
                                                      QStringLiteral("m.vcf")}
                                       << QByteArray("No VCF file to process\n");
        QTest::newRow("merge: input missing")
            << QStringList{QStringLiteral("merge"), QStringLiteral("nothere"), QStringLiteral("m.vcf")}
            << QByteArray("The input directory does'nt exist\n");
    }
    void checkFailure() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, message);
        message.replace("{dir}", QFile::encodeName(m_tmp->path()));
        const QStringList before = listing(m_tmp->path());
        const QByteArray book = readFile(path(QStringLiteral("Phonebook.dat")));
        const Result r = run(args);
        QCOMPARE(r.exit, 1);
        QCOMPARE(r.err, message);
        QVERIFY(r.out.isEmpty());
        // Nothing read or written: not even the phone book's ImageCache folder.
        QCOMPARE(listing(m_tmp->path()), before);
        QVERIFY(listing(path(QStringLiteral("out"))).isEmpty());
        QCOMPARE(readFile(path(QStringLiteral("Phonebook.dat"))), book);
    }

    // A phone book without --photos: no picture, and the log says so; the phone book is written.
    void phoneBookWithoutPictures() {
        const Result r = run({QStringLiteral("phonebook"), QStringLiteral("Phonebook.dat"), QStringLiteral("new.dat")});
        QCOMPARE(r.exit, 0);
        QCOMPARE(r.err, QByteArray("--> No photos directory chosen: no photos added\n"
                                   "--> No logos directory chosen: no logos added\n--> Conversion done\n"));
        QVERIFY(readFile(path(QStringLiteral("new.dat"))).startsWith("BEGIN:VCARD\r\n"));
        QVERIFY(listing(path(QStringLiteral("ImageCache"))).isEmpty());
    }

    // A seed and SOURCE_DATE_EPOCH make .contact files reproducible; a seed is taken modulo 2^32
    // and a SOURCE_DATE_EPOCH that is not an integer is ignored.
    // Standard output and error on one pipe: the processed-files list and the log lines come in
    // the order the run made them.
    void oneStreamKeepsOrder() {
        writeFile(QStringLiteral("tags.vcf"), card("Dupont", "REV:1\r\n") + card("Martin", "REV:2\r\n"));
        const Result r = run({QStringLiteral("contacts"), QStringLiteral("tags.vcf"), QStringLiteral("out"),
                              QStringLiteral("--seed"), QStringLiteral("1")},
                             {}, QProcess::MergedChannels);
        QCOMPARE(r.exit, 0);
        QCOMPARE(r.out, QByteArray("--> Tag Unknown (1)\nREV:1\nDupont Jean\n--> Tag Unknown (2)\nREV:2\nMartin "
                                   "Jean\n--> Conversion done\n--> Conversion done\n"));
    }

    void reproducibleContacts() {
        auto contacts = [&](const QString& dir, const QString& seed, const QString& epoch) {
            QDir(m_tmp->path()).mkpath(dir);
            const Result r =
                run({QStringLiteral("contacts"), QStringLiteral("two.vcf"), dir, QStringLiteral("--seed"), seed},
                    {QStringLiteral("SOURCE_DATE_EPOCH=") + epoch});
            QByteArray all;
            for (const QString& f : listing(path(dir)))
                all += f.toUtf8() + '\n' + readFile(path(dir + QLatin1Char('/') + f));
            return std::make_pair(r.exit, all);
        };
        const auto a = contacts(QStringLiteral("c1"), QStringLiteral("1234"), QStringLiteral("86400"));
        const auto b = contacts(QStringLiteral("c2"), QStringLiteral("0x1000004D2"), QStringLiteral("86400"));
        const auto c = contacts(QStringLiteral("c3"), QStringLiteral("1235"), QStringLiteral("86400"));
        const auto d = contacts(QStringLiteral("c4"), QStringLiteral("1234"), QStringLiteral("1d"));
        QCOMPARE(a.first, 0);
        QCOMPARE(d.first, 0);
        QVERIFY(a.second.contains("1970-01-02T00:00:00"));
        QCOMPARE(a.second, b.second);
        QVERIFY(a.second != c.second);
        QVERIFY(!d.second.contains("1970-01-02T00:00:00"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
