// The fixture cases: each folder of tests/data/cases is one run of corvanta-cli on the files it
// holds, compared with the list, the log, the exit status and the files that the folder
// expects. tests/data/cases/README.md says how a case is written.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <map>

namespace {

const QString kCases = QStringLiteral(CORVANTA_TEST_DATA "/cases");
// Stands for the folder the run starts in, wherever the test put it.
const QByteArray kDirMark = "{dir}";
// The creation date of .contact documents: 2026-01-01T00:00:00Z.
const QByteArray kEpoch = "1767225600";

using Tree = std::map<QString, QByteArray>; // path relative to the folder -> bytes

QByteArray readBytes(const QString& path, bool* ok = nullptr) {
    QFile f(path);
    const bool opened = f.open(QIODevice::ReadOnly);
    if (ok)
        *ok = opened;
    return opened ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every file under `root` (hidden ones too), by its path relative to it.
Tree readTree(const QString& root) {
    Tree tree;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        tree[QDir(root).relativeFilePath(path)] = readBytes(path);
    }
    return tree;
}

QString escaped(uint u) {
    if (u == '\r')
        return QStringLiteral("\\r");
    if (u == '\t')
        return QStringLiteral("\\t");
    return QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
}

// A line as a failure message shows it: at most 120 bytes from a little before `column`, with
// control characters, and every byte above ASCII when the part is not UTF-8, as escapes.
QString shown(const QByteArray& line, qsizetype column) {
    const qsizetype from = qMax<qsizetype>(0, column - 40);
    const QByteArray part = line.mid(from, 120);
    const QString text = QString::fromUtf8(part);
    QString out = from > 0 ? QStringLiteral("...") : QString();
    if (text.toUtf8() == part) {
        for (const QChar c : text)
            out += c.unicode() < 0x20 || c.unicode() == 0x7F ? escaped(c.unicode()) : QString(c);
    } else {
        for (const char c : part)
            out += uchar(c) >= 0x20 && uchar(c) < 0x7F ? QString(QLatin1Char(c)) : escaped(uchar(c));
    }
    return line.size() > from + 120 ? out + QStringLiteral("...") : out;
}

// Empty when the bytes are equal; otherwise the first line that differs, both ways.
QString firstDifference(const QByteArray& actual, const QByteArray& expected) {
    if (actual == expected)
        return QString();
    const QList<QByteArray> a = actual.split('\n');
    const QList<QByteArray> e = expected.split('\n');
    for (qsizetype i = 0; i < qMax(a.size(), e.size()); ++i) {
        if (i >= a.size() || i >= e.size())
            return QStringLiteral("line %1: %2")
                .arg(i + 1)
                .arg(i >= a.size() ? "the run wrote no such line" : "the run wrote more lines");
        if (a[i] == e[i])
            continue;
        qsizetype column = 0;
        while (column < a[i].size() && column < e[i].size() && a[i][column] == e[i][column])
            ++column;
        return QStringLiteral("line %1, byte %2:\n   got      [%3]\n   expected [%4]")
            .arg(i + 1)
            .arg(column + 1)
            .arg(shown(a[i], column), shown(e[i], column));
    }
    return QStringLiteral("the last line ends differently");
}

// Every file of the case except args and expected/, copied into `work`, with an empty out/
// when the case brings none.
void copyCase(const QString& folder, const QString& work) {
    QVERIFY(QDir().mkpath(work + QStringLiteral("/out")));
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString rel = QDir(folder).relativeFilePath(from);
        if (rel == QLatin1String("args") || rel == QLatin1String("expected") ||
            rel.startsWith(QLatin1String("expected/")))
            continue;
        if (it.fileInfo().isDir())
            QVERIFY(QDir().mkpath(work + u'/' + rel));
        else
            QVERIFY2(QFile::copy(from, work + u'/' + rel), qPrintable(rel));
    }
}

// Runs corvanta-cli in `work`; `streams` gets its standard output and error, with the folder's
// path as kDirMark, and its exit status.
void runCli(const QStringList& args, const QString& work, Tree& streams) {
    QProcess p;
    p.setProgram(QStringLiteral(CORVANTA_CLI));
    p.setArguments(args);
    p.setWorkingDirectory(work);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SOURCE_DATE_EPOCH"), QString::fromLatin1(kEpoch));
    p.setProcessEnvironment(env);
    p.start();
    QVERIFY2(p.waitForFinished(120000), "the run did not end within two minutes");
    QVERIFY2(p.exitStatus() == QProcess::NormalExit, "corvanta-cli crashed");

    // The folder's path in the messages, as typed and as the system resolves it.
    auto placeholders = [&](QByteArray text) {
        QStringList paths{QFileInfo(work).canonicalFilePath(), work};
        std::sort(paths.begin(), paths.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
        for (const QString& path : paths)
            text.replace(path.toUtf8(), kDirMark);
        return text;
    };
    streams = {{QStringLiteral("stdout"), placeholders(p.readAllStandardOutput())},
               {QStringLiteral("stderr"), placeholders(p.readAllStandardError())},
               {QStringLiteral("status"), QByteArray::number(p.exitCode()) + '\n'}};
}

// Adds to `actual` the files that the run wrote or changed, as "files/" and their path; a
// file that the run removed fails the test.
void addWrittenFiles(const Tree& before, const Tree& after, Tree& actual) {
    QStringList removed;
    for (const auto& [path, bytes] : before)
        if (!after.count(path))
            removed << path;
    QVERIFY2(removed.isEmpty(), qPrintable(QStringLiteral("the run removed ") + removed.join(u", ")));
    for (const auto& [path, bytes] : after) {
        const auto old = before.find(path);
        if (old == before.end() || old->second != bytes)
            actual[QStringLiteral("files/") + path] = bytes;
    }
}

// The case's expected/ folder made anew from what the run gave.
void rewriteExpected(const QString& folder, const Tree& actual) {
    const QString expectedDir = folder + QStringLiteral("/expected");
    QVERIFY(QDir(expectedDir).removeRecursively());
    for (const auto& [path, bytes] : actual)
        QVERIFY2(writeBytes(expectedDir + u'/' + path, bytes), qPrintable(path));
    qInfo("expected files of %s rewritten", qPrintable(QFileInfo(folder).fileName()));
}

// What the run gave against the case's expected/ folder: the log first, as it says best why the
// rest differs, then the files.
void compareWithExpected(const QString& folder, Tree actual) {
    Tree expected = readTree(folder + QStringLiteral("/expected"));
    for (const char* stream : {"stdout", "stderr", "status"})
        QVERIFY2(expected.count(QLatin1String(stream)),
                 qPrintable(QStringLiteral("no expected/%1 (CORVANTA_UPDATE_CASES=1 writes it)").arg(stream)));
    for (const char* stream : {"stderr", "stdout", "status"}) {
        const QString why = firstDifference(actual[QLatin1String(stream)], expected[QLatin1String(stream)]);
        QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("%1, %2").arg(stream, why)));
        actual.erase(QLatin1String(stream));
        expected.erase(QLatin1String(stream));
    }
    for (const auto& [path, bytes] : expected)
        QVERIFY2(actual.count(path), qPrintable(path + QStringLiteral(": not written")));
    for (const auto& [path, bytes] : actual) {
        QVERIFY2(expected.count(path), qPrintable(path + QStringLiteral(": written, not expected")));
        const QString why = firstDifference(bytes, expected[path]);
        QVERIFY2(why.isEmpty(), qPrintable(path + QStringLiteral(", ") + why));
    }
}

} // namespace

class TestCases : public QObject {
    Q_OBJECT

private slots:
    void run_data() {
        QTest::addColumn<QString>("folder");
        const QStringList names = QDir(kCases).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QVERIFY2(!names.isEmpty(), qPrintable(kCases));
        for (const QString& name : names)
            QTest::newRow(qPrintable(name)) << kCases + u'/' + name;
    }

    void run() {
        QFETCH(QString, folder);
        bool ok = false;
        const QByteArray argsLine = readBytes(folder + QStringLiteral("/args"), &ok);
        QVERIFY2(ok, "the case has no args file");
        const QStringList args =
            QString::fromUtf8(argsLine).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);

        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString work = tmp.filePath(QStringLiteral("work"));
        copyCase(folder, work);
        if (QTest::currentTestFailed())
            return;
        const Tree before = readTree(work);
        Tree actual;
        runCli(args, work, actual);
        if (QTest::currentTestFailed())
            return;
        addWrittenFiles(before, readTree(work), actual);
        if (QTest::currentTestFailed())
            return;
        if (qEnvironmentVariableIntValue("CORVANTA_UPDATE_CASES") == 1)
            rewriteExpected(folder, actual);
        else
            compareWithExpected(folder, actual);
    }
};

QTEST_GUILESS_MAIN(TestCases)
#include "tst_cases.moc"
