// Faults from outside: writes that stop midway (file size limit, full disk), and bad input
// files run end to end through corvanta-cli. Whatever happens, the files already there keep
// their bytes, no temporary file is left behind, the error line names the file, and the
// command line's exit status says that the run failed.
#include "conversionhelpers.h"
#include "fakewindow.h"
#include "ui/presenter/kzform.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(Language)

using namespace helpers;

namespace {

struct Result {
    int exit = -1;
    QString out, err;
};

// Limits the size of any file the process writes; past it, writes fail (EFBIG) instead of
// killing the process, as on a disk that fills up.
void limitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &limit);
}

Result finish(QProcess& p) {
    Result r;
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exit = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Runs the command line in `dir`; with `limit` >= 0 the child may write files of that size only.
Result cli(const QString& dir, const QStringList& args, qint64 limit = -1) {
    QProcess p;
    p.setWorkingDirectory(dir);
    if (limit >= 0)
        p.setChildProcessModifier([limit] { limitFileSize(rlim_t(limit)); });
    p.start(QStringLiteral(CORVANTA_CLI), args);
    return finish(p);
}

QByteArray card(const QByteArray& family, const QByteArray& given, const QByteArray& extra = {}) {
    return "BEGIN:VCARD\r\nVERSION:2.1\r\nN:" + family + ";" + given + ";;;\r\n" + extra + "END:VCARD\r\n";
}

// A card whose output is far above the size limit of the tests.
const QByteArray kBigNote = "NOTE:" + QByteArray(200000, 'n') + "\r\n";
constexpr qint64 kLimit = 20000;

// Text in UTF-16, with its mark and without, and a binary file.
void addEncodingRows(const QString& done) {
    const QString text = QStringLiteral("BEGIN:VCARD\r\nN:Dupr\u00E9;\u00C9lodie;;;\r\nEND:VCARD\r\n");
    QByteArray le("\xFF\xFE"), be("\xFE\xFF"), bare;
    for (QChar c : text) {
        le += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
        be += QByteArray(1, char(c.unicode() >> 8)) + char(c.unicode() & 0xFF);
        bare += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
    }
    const QStringList elodie{QStringLiteral("00001 Dupr\u00E9 \u00C9lodie.VCF")};
    QTest::newRow("UTF-16 LE with mark") << "split" << le << 0 << done << elodie;
    QTest::newRow("UTF-16 BE with mark") << "split" << be << 0 << done << elodie;
    QTest::newRow("UTF-16 without mark")
        << "split" << bare << 1
        << "-> FileReadError Err The file \"%1\" holds a NUL character at line 1 (binary file, or UTF-16 "
           "without byte-order mark?)\n"
        << QStringList{};
    QTest::newRow("UTF-16 odd length") << "split" << le + 'x' << 1
                                       << "-> EncodingError Err The file \"%1\" is marked as UTF-16 but has an "
                                          "odd number of bytes\n"
                                       << QStringList{};

    QTest::newRow("binary file") << "split" << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) << 1
                                 << "-> FileReadError Err The file \"%1\" holds a NUL character at line 3 "
                                    "(binary file, or UTF-16 without byte-order mark?)\n"
                                 << QStringList{};
}

// Lines and files too large to be held the plain way.
void addLargeInputRows(const QString& done) {
    const QByteArray huge = "BEGIN:VCARD\r\nN:Doe;John;;;\r\nNOTE:" + QByteArray(20 << 20, 'x') + "\r\nEND:VCARD\r\n";
    QTest::newRow("20 MB line, split") << "split" << huge << 0 << done << QStringList{"00001 Doe John.VCF"};
    QTest::newRow("20 MB line, contacts") << "contacts" << huge << 0 << done << QStringList{"00001 Doe John.contact"};

    // A file large enough to be read a block at a time is still checked whole before anything
    // is written: a NUL in its last card leaves the output folder empty.
    QByteArray large;
    for (int i = 0; large.size() < (6 << 20); ++i)
        large += "BEGIN:VCARD\r\nN:Doe;John;;;\r\nNOTE:" + QByteArray(200, 'x') + "\r\nEND:VCARD\r\n";
    const qsizetype largeLines = large.count('\n');
    large += QByteArray("BEGIN:VCARD\r\nN:A\0;;;\r\nEND:VCARD\r\n", 26);
    for (const char* action : {"split", "contacts"})
        QTest::newRow(qPrintable(QStringLiteral("NUL at the end of 6 MB, ") + QLatin1String(action)))
            << action << large << 1
            << QStringLiteral("-> FileReadError Err The file \"%1\" holds a NUL character at line ") +
                   QString::number(largeLines + 2) +
                   QStringLiteral(" (binary file, or UTF-16 without byte-order mark?)\n")
            << QStringList{};
}

// Names that would make file names outside the folder, too long or with terminal escapes.
void addHostileNameRows(const QString& done) {
    const QByteArray hostile = "BEGIN:VCARD\r\nN:../../etc;passwd;;;\r\nEND:VCARD\r\n"
                               "BEGIN:VCARD\r\nN:..;;;;\r\nEND:VCARD\r\n"
                               "BEGIN:VCARD\r\nN:\\\\server\\share;C:;;;\r\nEND:VCARD\r\n"
                               "BEGIN:VCARD\r\nN:;;;;\r\nORG:/\r\nEND:VCARD\r\n";
    QTest::newRow("hostile names, split")
        << "split" << hostile << 0 << done
        << QStringList{"00001 .. .. etc passwd.VCF", "00002 ...VCF", "00003 server share C.VCF", "00004 .VCF"};
    // One name too long for a file name does not stop the run: it is shortened.
    const QByteArray longName =
        "BEGIN:VCARD\r\nN:" + QByteArray(300, 'a') + ";;;;\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:B;;;;\r\nEND:VCARD\r\n";
    QTest::newRow("300-letter name, split")
        << "split" << longName << 0 << done << QStringList{"00001 " + QString(245, u'a') + ".VCF", "00002 B.VCF"};
    QTest::newRow("300-letter name, contacts")
        << "contacts" << longName << 0 << done
        << QStringList{"00001 " + QString(241, u'a') + ".contact", "00002 B.contact"};
    // Nothing reaches the terminal for it to obey.
    QTest::newRow("escape sequence in an unknown line, contacts")
        << "contacts" << QByteArray("BEGIN:VCARD\r\nN:Doe;John;;;\r\nNICKNAME:a\x1B[31mb\x1B]0;x\x07\r\nEND:VCARD\r\n")
        << 0 << "--> Tag Unknown (1)\nNICKNAME:a [31mb ]0;x\n" + done << QStringList{"00001 Doe John.contact"};
    QTest::newRow("hostile names, contacts") << "contacts" << hostile << 0 << done
                                             << QStringList{"00001 .. .. etc passwd.contact", "00002 ...contact",
                                                            "00003 server share C.contact", "00004.contact"};
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT

    QTemporaryDir* m_tmp = nullptr;
    QString path(const QString& name) const { return m_tmp->filePath(name); }

private slots:
    void init() {
        m_tmp = new QTemporaryDir;
        QVERIFY(m_tmp->isValid());
        for (const char* sub : {"in", "out", "photos", "mpe"})
            QVERIFY(QDir(m_tmp->path()).mkpath(QLatin1String(sub)));
    }
    void cleanup() { delete m_tmp; }

    // A write that stops midway, for every kind of file the tool writes from the command line,
    // big (written past the write buffer) and small (failing only when the buffer is flushed):
    // the old file keeps its bytes, nothing else appears in its folder, the error line names
    // the file, exit status 1.
    void writeFailsMidway_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("target");     // the file whose write fails
        QTest::addColumn<bool>("existing");      // an older version is there before the run
        QTest::addColumn<QStringList>("folder"); // what the target's folder holds afterwards
        QTest::addColumn<qint64>("limit");       // the largest file the run may write

        const QStringList contacts{"contacts", "in.vcf", "out"}, split{"split", "in.vcf", "out"};
        const QStringList merge{"merge", "in", "out/all.vcf", "--force"};
        const QStringList book{"phonebook", "mpe/Phonebook.dat", "mpe/Phonebook.dat", "--photos", "photos", "--force"};
        const QStringList copy{"phonebook", "mpe/small.dat", "out/new.dat", "--photos", "photos"};
        QTest::newRow(".contact file") << contacts << "out/00002 Doe John.contact" << true
                                       << QStringList{"00001 Roe Jane.contact", "00002 Doe John.contact"} << kLimit;
        QTest::newRow("per-card VCF file") << split << "out/00002 Doe John.VCF" << true
                                           << QStringList{"00001 Roe Jane.VCF", "00002 Doe John.VCF"} << kLimit;
        QTest::newRow("merged file") << merge << "out/all.vcf" << true << QStringList{"all.vcf"} << kLimit;
        QTest::newRow("merged file, disk full before the first byte")
            << merge << "out/all.vcf" << true << QStringList{"all.vcf"} << qint64(0);
        QTest::newRow("phone book in place")
            << book << "mpe/Phonebook.dat" << true << QStringList{"ImageCache", "Phonebook.dat", "small.dat"} << kLimit;
        QTest::newRow("picture copied into ImageCache")
            << copy << "mpe/ImageCache/12.dat" << false << QStringList{} << kLimit;

        // Small files: the first card is too big even for a limit of a few bytes.
        QTest::newRow("small .contact file")
            << contacts << "out/00001 Roe Jane.contact" << true << QStringList{"00001 Roe Jane.contact"} << qint64(40);
        QTest::newRow("small VCF file") << split << "out/00001 Roe Jane.VCF" << true
                                        << QStringList{"00001 Roe Jane.VCF"} << qint64(40);
        QTest::newRow("small merged file") << QStringList{"merge", "small", "out/all.vcf", "--force"} << "out/all.vcf"
                                           << true << QStringList{"all.vcf"} << qint64(40);
        QTest::newRow("small phone book in place")
            << QStringList{"phonebook", "mpe/small.dat", "mpe/small.dat", "--photos", "photos", "--force"}
            << "mpe/small.dat" << true << QStringList{"ImageCache", "Phonebook.dat", "small.dat"} << qint64(40);
        QTest::newRow("small picture copied into ImageCache")
            << copy << "mpe/ImageCache/12.dat" << false << QStringList{} << qint64(40);
    }
    void writeFailsMidway() {
        QFETCH(QStringList, args);
        QFETCH(QString, target);
        QFETCH(bool, existing);
        QFETCH(QStringList, folder);
        QFETCH(qint64, limit);

        // Two cards: the first is small, the second too big for the limit.
        QVERIFY(writeBytes(path("in.vcf"), card("Roe", "Jane") + card("Doe", "John", kBigNote)));
        QVERIFY(writeBytes(path("in/a.vcf"), card("Doe", "John", kBigNote)));
        QVERIFY(QDir().mkpath(path("small")));
        QVERIFY(writeBytes(path("small/a.vcf"), card("Roe", "Jane")));
        QVERIFY(writeBytes(path("mpe/Phonebook.dat"), card("Doe", "John", "X-IRMC-LUID:12\r\n" + kBigNote)));
        QVERIFY(writeBytes(path("mpe/small.dat"), card("Doe", "John", "X-IRMC-LUID:12\r\n")));
        if (target.startsWith(QLatin1String("mpe/ImageCache")))
            QVERIFY(writeBytes(path("photos/Doe John.jpg"), QByteArray(limit > 1000 ? 100000 : 1000, 'j')));
        if (existing && !target.startsWith(QLatin1String("mpe/")))
            QVERIFY(writeBytes(path(target), "the file as it was before the run\r\n"));
        const QByteArray before = existing ? readBytes(path(target)) : QByteArray();

        const Result r = cli(m_tmp->path(), args, limit);
        const QString dir = QFileInfo(target).path();
        const bool kept = existing ? readBytes(path(target)) == before : !QFileInfo::exists(path(target));
        const QStringList left = fileNamesAndFolders(path(dir));
        QVERIFY2(kept && left == folder, qPrintable(left.join(u'|') + u'\n' + r.err));
        QVERIFY2(r.err.contains(QStringLiteral("-> FileWriteError Err ")) &&
                     r.err.contains(QFileInfo(target).fileName()),
                 qPrintable(r.err));
        QCOMPARE(r.exit, 1);
    }

    // The same on a real full disk: a small memory file system mounted in a private mount
    // namespace (skipped where the system does not allow it).
    void fullDisk() {
        const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        if (unshare.isEmpty() || geteuid() != 0 || QProcess::execute(unshare, {"-m", "true"}) != 0)
            QSKIP("needs root and a private mount namespace");
        const QString disk = path("disk");
        QVERIFY(QDir().mkpath(disk));
        QVERIFY(writeBytes(path("in.vcf"), card("Roe", "Jane") + card("Doe", "John", kBigNote)));
        const QString script = QStringLiteral("mount -t tmpfs -o size=64k tmpfs \"$1\" || exit 77\n"
                                              "printf 'old\\r\\n' > \"$1/00002 Doe John.VCF\"\n"
                                              "\"$2\" split in.vcf \"$1\"; status=$?\n"
                                              "ls -A \"$1\" >&2; cat \"$1/00002 Doe John.VCF\" >&2; exit $status\n");
        QProcess p;
        p.setWorkingDirectory(m_tmp->path());
        p.start(unshare, {"-m", "sh", "-c", script, "sh", disk, QStringLiteral(CORVANTA_CLI)});
        const Result r = finish(p);
        if (r.exit == 77)
            QSKIP("no private mount namespace here");
        QCOMPARE(r.exit, 1);
        const QStringList err = r.err.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(err.size() == 4, qPrintable(r.err));
        QVERIFY2(err[0].startsWith(QStringLiteral("-> FileWriteError Err Cannot write \"")) &&
                     err[0].contains(QStringLiteral("00002 Doe John.VCF")),
                 qPrintable(r.err));
        // The listing and the old file, as the shell saw them before the namespace went away.
        QCOMPARE(err.mid(1), (QStringList{"00001 Roe Jane.VCF", "00002 Doe John.VCF", "old\r"}));
    }

    // Config.txt written when the window closes, stopping midway: the old settings stay.
    void settingsWriteFailsMidway() {
        const QString dir = path("Corvanta/");
        QVERIFY(QDir().mkpath(dir));
        const QByteArray old = "\xEF\xBB\xBF"
                               "FichierEntree=old.vcf\r\nLang=EN\r\n";
        QVERIFY(writeBytes(dir + "Config.txt", old));

        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            limitFileSize(64);
            FakeWindow w;
            TF_Principal p(w);
            p.NomRepCour = dir;
            p.NomFichierEntree = QString(500, u'x');
            p.FormClose();
            const bool logged = w.log.size() == 1 && w.log[0].startsWith(QLatin1String("-> FileWriteError Err ")) &&
                                w.log[0].contains(QLatin1String("Config.txt"));
            if (!logged)
                std::fprintf(stderr, "log: %s size %lld\n", qPrintable(w.log.join(u'|')),
                             QFileInfo(dir + "Config.txt").size());
            _exit(logged ? 0 : 3);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0); // the error line was logged
        QCOMPARE(readBytes(dir + "Config.txt"), old);
        QCOMPARE(fileNamesAndFolders(dir), QStringList{"Config.txt"});
    }

    // Bad input files through the command line: what the user sees, and that nothing is
    // written outside the output folder.
    void badInput_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("err"); // standard error, "%1" standing for the input's path
        QTest::addColumn<QStringList>("written");

        const QString done = QStringLiteral("--> Conversion done\n");
        addEncodingRows(done);
        addLargeInputRows(done);
        addHostileNameRows(done);
    }
    void badInput() {
        QFETCH(QString, action);
        QFETCH(QByteArray, bytes);
        QFETCH(int, exit);
        QFETCH(QString, err);
        QFETCH(QStringList, written);
        QVERIFY(writeBytes(path("input.vcf"), bytes));
        const Result r = cli(m_tmp->path(), {action, "input.vcf", "out"});
        QCOMPARE(r.exit, exit);
        QCOMPARE(r.err, err.contains(QLatin1String("%1")) ? err.arg(path("input.vcf")) : err);
        QCOMPARE(treeEntries(path("out")), written);
        QCOMPARE(treeEntries(m_tmp->path()).size(), 5 + written.size()); // in, out, photos, mpe, input.vcf
        if (bytes.size() > (20 << 20))
            QVERIFY(QFileInfo(path("out/" + written[0])).size() > (20 << 20));
    }

    // Our error lines speak the run's language; the kind and " Err " stay as they are, since
    // scripts read them.
    void errorLanguage_data() {
        QTest::addColumn<QString>("how");      // "read": the input read alone; "contacts", "split": a run
        QTest::addColumn<QByteArray>("bytes"); // the input file; null: there is none
        QTest::addColumn<Language>("language");
        QTest::addColumn<QString>("line"); // "%1" the input's path, "%2" the system's reason

        const QByteArray nul = QByteArrayLiteral("BEGIN:VCARD\r\nN:A\0;;;\r\n");
        QTest::newRow("missing file, French") << "read" << QByteArray() << Language::French
                                              << QStringLiteral("-> FileReadError Err Impossible d'ouvrir \"%1\" : %2");
        QTest::newRow("missing file, English") << "read" << QByteArray() << Language::English
                                               << QStringLiteral("-> FileReadError Err Cannot open \"%1\": %2");
        QTest::newRow("NUL character, French")
            << "read" << nul << Language::French
            << QStringLiteral("-> FileReadError Err Le fichier \"%1\" contient un caractère NUL à la ligne 2 (fichier "
                              "binaire, ou UTF-16 sans marque d'ordre des octets ?)");
        QTest::newRow("NUL character, English")
            << "read" << nul << Language::English
            << QStringLiteral("-> FileReadError Err The file \"%1\" holds a NUL character at line 2 (binary file, or "
                              "UTF-16 without byte-order mark?)");
        QTest::newRow("no card, French")
            << "contacts" << QByteArray("hello\r\n") << Language::French
            << QStringLiteral("-> NoCard Err \"%1\" ne contient aucune ligne BEGIN:VCARD : ce n'est pas un fichier "
                              "vCard, et aucune fiche n'a été écrite");
        QTest::newRow("no card, English")
            << "contacts" << QByteArray("hello\r\n") << Language::English
            << QStringLiteral("-> NoCard Err \"%1\" holds no BEGIN:VCARD line: it is not a vCard file, and no card "
                              "was written");
        QTest::newRow("card without end, French")
            << "split" << QByteArray("BEGIN:VCARD\r\nN:A;;;;\r\n") << Language::French
            << QStringLiteral("-> CardStructureError Err \"%1\" : la fiche 1, commencée à la ligne 1, n'a pas de "
                              "ligne END:VCARD avant la fin du fichier ; elle n'a pas été écrite");
    }
    void errorLanguage() {
        QFETCH(Language, language);
        QFETCH(QString, how);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, line);
        const QString input = path("in.vcf");
        if (!bytes.isNull())
            QVERIFY(writeBytes(input, bytes));
        QString got;
        if (how == QLatin1String("read")) {
            try {
                LineList lines;
                lines.LoadFromFile(input);
                QFAIL("the file was read");
            } catch (const KzError& e) {
                got = e.errorLine(language);
                // Without a language, the English line as the command line prints it.
                QCOMPARE(e.errorLine(), e.errorLine(Language::English));
                QCOMPARE(QString::fromUtf8(e.what()), e.message(Language::English));
            }
        } else {
            RunOptions o;
            o.action = how == QLatin1String("split") ? Action::Split : Action::Contacts;
            o.NomFichierEntree = input;
            o.NomRepSortie = path("out");
            o.language = language;
            FakeWindow w;
            const RunReport report = Run(o, w).exec();
            QCOMPARE(report.errorLines.size(), 1);
            got = report.errorLines.at(0);
            QVERIFY(w.log.contains(got));
        }
        line.replace(QLatin1String("%1"), input);
        const qsizetype reason = line.indexOf(QLatin1String("%2"));
        if (reason < 0)
            QCOMPARE(got, line);
        else
            QVERIFY2(got.startsWith(line.left(reason)) && got.size() > reason, qPrintable(got));
    }

    // An input file that exists but cannot be read (a file of the system whose reads fail,
    // since file rights do not stop root): one error line, exit 1, nothing written.
    void unreadableInput() {
        if (!QFileInfo(QStringLiteral("/proc/self/mem")).isFile())
            QSKIP("needs /proc/self/mem");
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), path("input.vcf")));
        const Result r = cli(m_tmp->path(), {"contacts", "input.vcf", "out"});
        QCOMPARE(r.exit, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("-> FileReadError Err ")) && r.err.count(u'\n') == 1 &&
                     r.err.contains(path("input.vcf")),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QVERIFY(treeEntries(path("out")).isEmpty());
    }

private:
    static QStringList fileNamesAndFolders(const QString& dir) {
        return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
