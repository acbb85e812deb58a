// Hostile folders: links, FIFOs, devices and sockets where a file is written or read, a reader
// that goes away, a file-size limit, and runs killed while they put a file in its place. No
// write goes through a link the run did not choose, nothing waits on a FIFO or reads a device,
// no run dies without a word, and what a killed run left is removed by the next one.
#include "conversionhelpers.h"
#include "fakewindow.h"
#include "kzlex/platform.h"
#include "ui/presenter/kzform.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace helpers;

namespace {

#ifdef Q_OS_UNIX

struct Result {
    int exit = -1;
    QByteArray out, err;
};

// Runs `script` with sh in `dir`: $0 is corvanta-cli. A run that hangs is stopped and fails.
Result shell(const QString& dir, const QString& script) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral("sh"), {"-c", script, QStringLiteral(CORVANTA_CLI)});
    Result r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    if (p.exitStatus() == QProcess::NormalExit)
        r.exit = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

Result cli(const QString& dir, const QStringList& args) {
    QString script = QStringLiteral("exec \"$0\"");
    for (const QString& a : args)
        script += QStringLiteral(" '") + a + u'\'';
    return shell(dir, script);
}

bool makeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// A socket bound to `path` (the name stays after the descriptor is closed).
bool makeSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (fd < 0 || size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// What a path is: "file", "link", "fifo", "folder", "socket" or "missing" (links not followed).
QString kindOf(const QString& path) {
    struct stat s;
    if (::lstat(QFile::encodeName(path).constData(), &s) != 0)
        return QStringLiteral("missing");
    if (S_ISLNK(s.st_mode))
        return QStringLiteral("link");
    if (S_ISREG(s.st_mode))
        return QStringLiteral("file");
    if (S_ISFIFO(s.st_mode))
        return QStringLiteral("fifo");
    if (S_ISDIR(s.st_mode))
        return QStringLiteral("folder");
    if (S_ISSOCK(s.st_mode))
        return QStringLiteral("socket");
    return QStringLiteral("other");
}

int modeOf(const QString& path) {
    struct stat s;
    return ::stat(QFile::encodeName(path).constData(), &s) == 0 ? int(s.st_mode & 07777) : -1;
}

// Puts `what` at `path`: "file", "link to file" (to `victim`), "dangling link", "link to FIFO",
// "FIFO", "folder", "link to folder", "socket". The victim and the FIFO and folder that links
// lead to live beside `path`'s folder, in `outside`.
bool plant(const QString& what, const QString& path, const QString& outside) {
    const QString victim = outside + QStringLiteral("/victim");
    const QString fifo = outside + QStringLiteral("/fifo");
    const QString folder = outside + QStringLiteral("/folder");
    if (!writeBytes(victim, "victim\n") || !makeFifo(fifo) || !QDir().mkpath(folder))
        return false;
    if (what == QLatin1String("file"))
        return writeBytes(path, "old\n");
    if (what == QLatin1String("link to file"))
        return QFile::link(victim, path);
    if (what == QLatin1String("dangling link"))
        return QFile::link(outside + QStringLiteral("/missing"), path);
    if (what == QLatin1String("link to FIFO"))
        return QFile::link(fifo, path);
    if (what == QLatin1String("FIFO"))
        return makeFifo(path);
    if (what == QLatin1String("folder"))
        return QDir().mkpath(path);
    if (what == QLatin1String("link to folder"))
        return QFile::link(folder, path);
    if (what == QLatin1String("socket"))
        return makeSocket(path);
    return false;
}

// The entries of a folder, hidden ones included.
QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList leftovers(const QString& dir) {
    return QDir(dir).entryList({QStringLiteral(".corvanta-*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

QByteArray card(const QByteArray& family, const QByteArray& given, const QByteArray& extra = {}) {
    return "BEGIN:VCARD\r\nVERSION:2.1\r\nN:" + family + ";" + given + ";;;\r\n" + extra + "END:VCARD\r\n";
}

// The child process of a test: killed at the rename that puts `g_killAt` in place.
QString g_killAt;
void killAtRename(const QString& fileName) {
    if (fileName.endsWith(g_killAt))
        ::kill(::getpid(), SIGKILL);
}

// The folder of a run that gets killed: an input of two cards, a phone book whose card has a
// picture, an older split file, and files that are not ours to remove.
struct KilledRunFolder {
    QString out, photos, in, book, first;
    QStringList others;
};

void makeKilledRunFolder(const QTemporaryDir& tmp, KilledRunFolder* f) {
    f->out = tmp.filePath(QStringLiteral("out"));
    f->photos = tmp.filePath(QStringLiteral("photos"));
    QVERIFY(QDir().mkpath(f->out) && QDir().mkpath(f->photos));
    f->in = tmp.filePath(QStringLiteral("in.vcf"));
    f->book = f->out + QStringLiteral("/Phonebook.dat");
    QVERIFY(writeBytes(f->in, card("L\xC3\xB3pez", "\xC3\x89lodie") + card("Roe", "Jane")));
    QVERIFY(writeBytes(f->book, card("Roe", "Jane", "X-IRMC-LUID:12\r\n")));
    QVERIFY(writeBytes(f->photos + QStringLiteral("/Roe Jane.jpg"), "jpeg"));
    f->first = f->out + QStringLiteral("/00001 L\u00F3pez \u00C9lodie.VCF");
    QVERIFY(writeBytes(f->first, "older\n"));
    // Not ours, or of a process that runs: kept.
    f->others = QStringList{".corvanta-1-abc.tmp",
                            QStringLiteral(".corvanta-%1-abc.tmp").arg(QCoreApplication::applicationPid()),
                            ".corvanta-abcdef.tmp", "00223 L\u00F3pez \u00C9lodie.VCF.psnpDO"};
    for (const QString& name : f->others)
        QVERIFY(writeBytes(f->out + u'/' + name, "not ours to remove\n"));
}

// A split of the input into the folder, or the phone book's pictures added in place.
RunReport runInKilledRunFolder(const KilledRunFolder& f, bool split, FileAccess access) {
    RunOptions o = testOptions();
    o.action = split ? Action::Split : Action::PhoneBook;
    o.NomFichierEntree = split ? f.in : f.book;
    o.NomRepSortie = f.out;
    o.NomRepPhotos = o.NomRepLogos = f.photos;
    o.outputFile = f.book;
    o.overwrite = true;
    o.files = access;
    FakeWindow w;
    return Run(o, w).exec();
}

// That run in a child process, killed at the rename that puts the split's first file or the
// phone book in place.
void runKilledAtRename(const KilledRunFolder& f, bool split, FileAccess access, pid_t* child) {
    *child = ::fork();
    QVERIFY(*child >= 0);
    if (*child == 0) {
        g_killAt = split ? f.first : f.book;
        SetRenameHook(killAtRename);
        runInKilledRunFolder(f, split, access);
        ::_exit(3); // not killed
    }
    int status = 0;
    QCOMPARE(::waitpid(*child, &status, 0), *child);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

#endif

} // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT

    // A row for each file way: the quick one where the system has it, and the portable one.
    template <typename AddRows> static void bothWays(AddRows addRows) {
        for (const bool quick : {true, false}) {
            const QString way = quick ? QStringLiteral("quick, ") : QStringLiteral("portable, ");
            addRows([&](const QString& row) -> QTestData& { return QTest::newRow(qPrintable(way + row)) << quick; });
        }
    }
    // The row's file way.
    static FileAccess fileWay() {
        QFETCH(bool, quick);
        return quick ? FileAccess::Quick : FileAccess::Portable;
    }

private slots:
    void cleanup() { SetRenameHook(nullptr); }

#ifdef Q_OS_UNIX
    // What the name holds decides the write. A name the run made is never written through a
    // link: the link is replaced and what it leads to stays. A path the user chose may be a
    // link to a regular file, which is replaced (its rights kept) while the link stays. Anything
    // else is an error, and nothing changes. No temporary file is left.
    void writeTargets_data() {
        QTest::addColumn<bool>("quick");
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<QString>("outcome"); // "written" at the name, "through" the link, or "refused"

        const QString written = QStringLiteral("written"), through = QStringLiteral("through"),
                      refused = QStringLiteral("refused");
        bothWays([&](auto row) {
            for (const char* what : {"file", "link to file", "dangling link", "link to FIFO", "link to folder"})
                row(QStringLiteral("run's name, ") + QLatin1String(what)) << QString::fromLatin1(what) << false << written;
            for (const char* what : {"FIFO", "folder", "socket"})
                row(QStringLiteral("run's name, ") + QLatin1String(what)) << QString::fromLatin1(what) << false << refused;
            row(QStringLiteral("chosen path, file")) << QStringLiteral("file") << true << written;
            row(QStringLiteral("chosen path, link to file")) << QStringLiteral("link to file") << true << through;
            for (const char* what : {"dangling link", "link to FIFO", "link to folder", "FIFO", "folder", "socket"})
                row(QStringLiteral("chosen path, ") + QLatin1String(what)) << QString::fromLatin1(what) << true << refused;
        });
    }
    void writeTargets() {
        const FileAccess access = fileWay();
        QFETCH(QString, what);
        QFETCH(bool, chosen);
        QFETCH(QString, outcome);
        QTemporaryDir tmp;
        const QString out = tmp.filePath(QStringLiteral("out")), outside = tmp.filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(out) && QDir().mkpath(outside));
        const QString name = out + QStringLiteral("/00001 Moreau Zo\u00E9.VCF");
        QVERIFY(plant(what, name, outside));
        const QString victim = outside + QStringLiteral("/victim");
        // Rights that a replaced file keeps.
        const QString kept = what == QLatin1String("file") ? name : victim;
        QVERIFY(QFile::setPermissions(kept, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
        const QString before = kindOf(name);
        const QStringList outsideBefore = entries(outside);

        QString error;
        try {
            WriteFileAtomic(name, "BEGIN:VCARD\r\n", chosen ? WriteTarget::UserChosen : WriteTarget::RunNamed, access);
        } catch (const FileWriteError& e) {
            error = e.message();
        }
        if (outcome == QLatin1String("refused")) {
            QVERIFY2(error.contains(name), qPrintable(error));
            QCOMPARE(kindOf(name), before);
        } else {
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(kindOf(name), outcome == QLatin1String("written") ? QStringLiteral("file") : QStringLiteral("link"));
            QCOMPARE(readBytes(name), QByteArray("BEGIN:VCARD\r\n"));
        }
        if (outcome == QLatin1String("through") || what == QLatin1String("file"))
            QCOMPARE(modeOf(kept), 0640);
        if (outcome != QLatin1String("through"))
            QCOMPARE(readBytes(victim), QByteArray("victim\n"));
        QCOMPARE(kindOf(outside + QStringLiteral("/fifo")), QStringLiteral("fifo"));
        QCOMPARE(entries(outside), outsideBefore);
        QCOMPARE(entries(out), QStringList{QFileInfo(name).fileName()});
    }

    // A FIFO, a device or a socket where a file is to be read is refused before anything is
    // read: nothing waits on the FIFO, nothing reads /dev/zero for ever.
    void readRefusesNonRegularFiles_data() {
        QTest::addColumn<bool>("quick");
        QTest::addColumn<QString>("what"); // "FIFO", "link to FIFO", "link to /dev/zero", "socket"
        QTest::addColumn<QString>("reader");
        bothWays([](auto row) {
            for (const char* what : {"FIFO", "link to FIFO", "link to /dev/zero", "socket"})
                for (const char* reader : {"list", "input", "read ahead", "picture"})
                    row(QLatin1String(what) + QStringLiteral(", ") + QLatin1String(reader))
                        << QString::fromLatin1(what) << QString::fromLatin1(reader);
        });
    }
    void readRefusesNonRegularFiles() {
        const FileAccess access = fileWay();
        QFETCH(QString, what);
        QFETCH(QString, reader);
        QTemporaryDir tmp;
        const QString name = tmp.filePath(QStringLiteral("x.vcf"));
        if (what == QLatin1String("link to /dev/zero")) {
            if (!QFileInfo::exists(QStringLiteral("/dev/zero")))
                QSKIP("needs /dev/zero");
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), name));
        } else if (what == QLatin1String("link to FIFO")) {
            QVERIFY(makeFifo(tmp.filePath(QStringLiteral("fifo"))));
            QVERIFY(QFile::link(tmp.filePath(QStringLiteral("fifo")), name));
        } else {
            QVERIFY(what == QLatin1String("FIFO") ? makeFifo(name) : makeSocket(name));
        }
        try {
            if (reader == QLatin1String("list")) {
                LineList lines;
                lines.LoadFromFile(name, LineList::LoadForm::Plain, {}, access);
            } else if (reader == QLatin1String("input")) {
                InputText text;
                text.load(name, {}, {access});
            } else if (reader == QLatin1String("read ahead")) {
                ReadAhead files({name}, Threading::Own, access);
                files.next();
            } else {
                ReadWholeFile(name, access);
            }
            QFAIL("the file was read");
        } catch (const FileReadError& e) {
            QCOMPARE(e.message(), QStringLiteral("Cannot read \"%1\": not a regular file").arg(name));
        }
    }

    // Through the command line: a link planted at a card's name is replaced by the card's file,
    // and the file it led to keeps its bytes.
    void linkAtCardName_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("name");
        QTest::newRow("split") << "split" << QStringLiteral("00001 Moreau Zo\u00E9.VCF");
        QTest::newRow("contacts") << "contacts" << QStringLiteral("00001 Moreau Zo\u00E9.contact");
    }
    void linkAtCardName() {
        QFETCH(QString, action);
        QFETCH(QString, name);
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir(QStringLiteral("out")));
        QVERIFY(writeBytes(tmp.filePath(QStringLiteral("in.vcf")), card("Moreau", "Zo\xC3\xA9")));
        QVERIFY(writeBytes(tmp.filePath(QStringLiteral("victim")), "victim\n"));
        QVERIFY(QFile::link(tmp.filePath(QStringLiteral("victim")), tmp.filePath(QStringLiteral("out/")) + name));
        const Result r = cli(tmp.path(), {action, "in.vcf", "out", "--seed", "1"});
        QVERIFY2(r.exit == 0, r.err.constData());
        QCOMPARE(readBytes(tmp.filePath(QStringLiteral("victim"))), QByteArray("victim\n"));
        QCOMPARE(kindOf(tmp.filePath(QStringLiteral("out/")) + name), QStringLiteral("file"));
        QVERIFY(readBytes(tmp.filePath(QStringLiteral("out/")) + name).contains("Moreau"));
    }

    // The merge: its output may be a link to a file (replaced, link kept); a link to a FIFO is a
    // write error. A FIFO or a link to /dev/zero among its inputs is refused at once.
    void merge_data() {
        QTest::addColumn<QString>("planted"); // "output: link to file", "output: link to FIFO",
                                              // "input: FIFO", "input: link to /dev/zero"
        QTest::addColumn<QByteArray>("err");  // "{dir}" for the run's folder
        QTest::newRow("output: link to file") << "output: link to file" << QByteArray("--> Conversion done\n");
        QTest::newRow("output: link to FIFO")
            << "output: link to FIFO"
            << QByteArray("--> Conversion done\n-> FileWriteError Err Cannot write \"{dir}/merged.vcf\": not a "
                          "regular file\n");
        QTest::newRow("input: FIFO") << "input: FIFO"
                                     << QByteArray("-> FileReadError Err Cannot read \"{dir}/in/b.vcf\": not a "
                                                   "regular file\n");
        QTest::newRow("input: link to /dev/zero")
            << "input: link to /dev/zero"
            << QByteArray("-> FileReadError Err Cannot read \"{dir}/in/b.vcf\": not a regular file\n");
    }
    void merge() {
        QFETCH(QString, planted);
        QFETCH(QByteArray, err);
        QTemporaryDir tmp;
        const QString dir = tmp.path();
        QVERIFY(QDir(dir).mkdir(QStringLiteral("in")));
        QVERIFY(writeBytes(tmp.filePath(QStringLiteral("in/a.vcf")), card("A", "")));
        QVERIFY(writeBytes(tmp.filePath(QStringLiteral("target.vcf")), "old\n"));
        QVERIFY(makeFifo(tmp.filePath(QStringLiteral("fifo"))));
        const QString merged = tmp.filePath(QStringLiteral("merged.vcf"));
        const QString b = tmp.filePath(QStringLiteral("in/b.vcf"));
        if (planted == QLatin1String("output: link to file"))
            QVERIFY(QFile::link(tmp.filePath(QStringLiteral("target.vcf")), merged));
        else if (planted == QLatin1String("output: link to FIFO"))
            QVERIFY(QFile::link(tmp.filePath(QStringLiteral("fifo")), merged));
        else if (planted == QLatin1String("input: FIFO"))
            QVERIFY(makeFifo(b));
        else if (QFileInfo::exists(QStringLiteral("/dev/zero")))
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), b));
        else
            QSKIP("needs /dev/zero");
        const Result r = cli(dir, {"merge", "in", merged, "--force"});
        QCOMPARE(r.err, err.replace("{dir}", QFile::encodeName(dir)));
        QCOMPARE(r.exit, err.contains("Err") ? 1 : 0);
        QCOMPARE(kindOf(tmp.filePath(QStringLiteral("fifo"))), QStringLiteral("fifo"));
        if (planted == QLatin1String("output: link to file")) {
            QCOMPARE(kindOf(merged), QStringLiteral("link"));
            QVERIFY(readBytes(tmp.filePath(QStringLiteral("target.vcf"))).startsWith("BEGIN:VCARD\r\n"));
        } else {
            QCOMPARE(readBytes(tmp.filePath(QStringLiteral("target.vcf"))), QByteArray("old\n"));
        }
        QCOMPARE(leftovers(dir), QStringList{});
    }

    // Config.txt, written when the window closes: a link to a file is written through and
    // stays; a link to a FIFO, or a FIFO, is a logged error and stays as it was (and is not read
    // when the window opens).
    void settingsFile_data() {
        QTest::addColumn<bool>("quick");
        QTest::addColumn<QString>("what");
        bothWays([](auto row) {
            for (const char* what : {"link to file", "link to FIFO", "FIFO"})
                row(QString::fromLatin1(what)) << QString::fromLatin1(what);
        });
    }
    void settingsFile() {
        const FileAccess access = fileWay();
        QFETCH(QString, what);
        QTemporaryDir tmp;
        const QString dir = tmp.filePath(QStringLiteral("Corvanta/"));
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(plant(what, dir + QStringLiteral("Config.txt"), tmp.path()));
        qputenv("APPDATA", QFile::encodeName(tmp.path()));
        const auto restore = qScopeGuard([] { qunsetenv("APPDATA"); });
        FakeWindow w;
        TF_Principal p(w);
        p.files = access;
        QVERIFY(p.FormCreate());
        QCOMPARE(p.NomRepCour, dir);
        p.NomFichierEntree = QStringLiteral("new.vcf");
        p.FormClose();
        if (what == QLatin1String("link to file")) {
            QCOMPARE(w.log, QStringList{});
            QCOMPARE(kindOf(dir + QStringLiteral("Config.txt")), QStringLiteral("link"));
            QVERIFY(readBytes(tmp.filePath(QStringLiteral("victim"))).contains("FichierEntree=new.vcf"));
        } else {
            QCOMPARE(w.log.size(), 1);
            QCOMPARE(w.log.at(0), QStringLiteral("-> FileWriteError Err Impossible d'\u00E9crire \"%1\" : ce n'est "
                                                 "pas un fichier ordinaire")
                                      .arg(dir + QStringLiteral("Config.txt")));
            QCOMPARE(kindOf(dir + QStringLiteral("Config.txt")),
                     QString::fromLatin1(what == QLatin1String("FIFO") ? "fifo" : "link"));
            QCOMPARE(readBytes(tmp.filePath(QStringLiteral("victim"))), QByteArray("victim\n"));
        }
        QCOMPARE(kindOf(tmp.filePath(QStringLiteral("fifo"))), QStringLiteral("fifo"));
        QCOMPARE(leftovers(dir), QStringList{});
    }

    // A reader that goes away (`| head -1`) does not stop the split: every file is written, and
    // the lost list is said on standard error (when it is still there) with exit status 1.
    void closedPipe_data() {
        QTest::addColumn<QString>("redirect"); // where the log goes
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("list lost") << "2>err"
                                   << QByteArray("--> Conversion done\ncorvanta-cli: cannot write to standard output: "
                                                 "Broken pipe\n");
        QTest::newRow("list and log lost") << "2>&1" << QByteArray();
    }
    void closedPipe() {
        QFETCH(QString, redirect);
        QFETCH(QByteArray, err);
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir(QStringLiteral("out")));
        // A list far larger than a pipe holds.
        constexpr int kCards = 20000;
        QByteArray in;
        for (int i = 0; i < kCards; ++i)
            in += card("Family name number " + QByteArray::number(i), "Given");
        QVERIFY(writeBytes(tmp.filePath(QStringLiteral("in.vcf")), in));
        QVERIFY(writeBytes(tmp.filePath(QStringLiteral("err")), ""));
        const Result r = shell(tmp.path(), QStringLiteral("{ \"$0\" split in.vcf out %1; echo $? >status; } | head -1")
                                               .arg(redirect));
        QCOMPARE(r.exit, 0);
        QCOMPARE(r.out, QByteArray("Family name number 0 Given\n"));
        QCOMPARE(readBytes(tmp.filePath(QStringLiteral("status"))), QByteArray("1\n"));
        QCOMPARE(readBytes(tmp.filePath(QStringLiteral("err"))), err);
        QCOMPARE(entries(tmp.filePath(QStringLiteral("out"))).size(), kCards);
        QVERIFY(readBytes(tmp.filePath(QStringLiteral("out/20000 Family name number 19999 Given.VCF")))
                    .endsWith("END:VCARD\r\n"));
    }

    // Under a file-size limit (ulimit -f) a file too large is a write error with its message and
    // exit status 1, not a silent death: the files before it are whole, no temporary file stays.
    void fileSizeLimit() {
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir(QStringLiteral("out")));
        QVERIFY(writeBytes(tmp.filePath(QStringLiteral("in.vcf")),
                           card("Roe", "Jane") + card("Doe", "John", "NOTE:" + QByteArray(200000, 'n') + "\r\n") +
                               card("Poe", "Ann")));
        const Result r = shell(tmp.path(), QStringLiteral("ulimit -f 16 && exec \"$0\" split in.vcf out"));
        QCOMPARE(r.exit, 1);
        QCOMPARE(r.err, "-> FileWriteError Err Cannot write \"" + QFile::encodeName(tmp.path()) +
                            "/out/00002 Doe John.VCF\": File too large\n");
        QCOMPARE(entries(tmp.filePath(QStringLiteral("out"))), QStringList{"00001 Roe Jane.VCF"});
        QCOMPARE(readBytes(tmp.filePath(QStringLiteral("out/00001 Roe Jane.VCF"))), card("Roe", "Jane"));
    }

    // A run killed at the rename that puts a file in place leaves that one temporary file, named
    // as ours with its process number; the next run into the folder removes it. Files of
    // processes still running, and names that are not ours, stay.
    void killedAtRename_data() {
        QTest::addColumn<bool>("quick");
        QTest::addColumn<QString>("action");
        bothWays([](auto row) {
            row(QStringLiteral("split over older files")) << QStringLiteral("split");
            row(QStringLiteral("phone book in place")) << QStringLiteral("phonebook");
        });
    }
    void killedAtRename() {
        const FileAccess access = fileWay();
        QFETCH(QString, action);
        QTemporaryDir tmp;
        KilledRunFolder f;
        makeKilledRunFolder(tmp, &f);
        if (QTest::currentTestFailed())
            return;
        const bool split = action == QLatin1String("split");
        const QByteArray bookBefore = readBytes(f.book);
        const QStringList before = entries(f.out);
        pid_t child = 0;
        runKilledAtRename(f, split, access, &child);
        if (QTest::currentTestFailed())
            return;
        // Killed at the rename: the old file whole, and beside it one complete temporary file.
        QCOMPARE(readBytes(split ? f.first : f.book), split ? QByteArray("older\n") : bookBefore);
        QStringList left;
        for (const QString& name : entries(f.out))
            if (!before.contains(name))
                left.append(name);
        const QRegularExpression ours(QStringLiteral("^\\.corvanta-%1-[0-9a-f]+\\.tmp$").arg(child));
        QVERIFY2(left.size() == (split ? 1 : 2) && left.filter(ours).size() == 1, qPrintable(left.join(u'|')));
        const QString temp = left.filter(ours).at(0);

        const RunReport report = runInKilledRunFolder(f, split, access);
        QVERIFY(report.succeeded());
        QVERIFY(!QFileInfo::exists(f.out + u'/' + temp));
        for (const QString& name : f.others)
            QCOMPARE(readBytes(f.out + u'/' + name), QByteArray("not ours to remove\n"));
        if (split) {
            QCOMPARE(readBytes(f.first), card("L\xC3\xB3pez", "\xC3\x89lodie"));
        } else {
            // The picture copied by the killed run is the one this card gets: it is marked for it.
            QCOMPARE(readBytes(f.out + QStringLiteral("/ImageCache/12.dat")), QByteArray("jpeg"));
            QCOMPARE(readBytes(f.book),
                     card("Roe", "Jane", "X-IRMC-LUID:12\r\nFLAG:EDITED\r\nX-PHOTOPROPS:1,JPEG\r\n"));
            QCOMPARE(report.picturesCopied, qint64(0));
        }
    }
#endif
};

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
