// The background writer of per-card files: order, failures, and what happens after a failure.
#include "kzlex/errors.h"
#include "kzlex/filewriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFileWriter : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QByteArray read(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Names 0.txt ... (count-1).txt in `folder`; the one at `bad` goes to a missing folder.
    void queue(FileWriter& writer, const QString& folder, int count, int bad) {
        QVERIFY(QDir().mkpath(path(folder)));
        for (int i = 0; i < count; ++i) {
            const QString name = i == bad ? QStringLiteral("missing/%1.txt").arg(i) : QStringLiteral("%1.txt").arg(i);
            if (i % 2)
                writer.write(path(folder + u'/' + name), QByteArray::number(i));
            else
                writer.writeUtf8(path(folder + u'/' + name), QStringLiteral("é%1").arg(i));
        }
    }

private slots:
    void writesEveryFileInOrder() {
        FileWriter writer;
        queue(writer, QStringLiteral("all"), 200, -1);
        writer.waitAll();
        QVERIFY(writer.takeFailures().empty());
        QCOMPARE(QDir(path(QStringLiteral("all"))).entryList(QDir::Files | QDir::Hidden).size(), 200);
        QCOMPARE(read(QStringLiteral("all/7.txt")), QByteArray("7"));
        QCOMPARE(read(QStringLiteral("all/8.txt")), QByteArray("\xC3\xA9"
                                                               "8"));
    }

    void failures_data() {
        QTest::addColumn<bool>("drop");
        QTest::addColumn<int>("written"); // files in the folder afterwards
        QTest::newRow("continue") << false << 49;
        QTest::newRow("drop") << true << 10;
    }
    // A failed file is reported with its name; the files after it are written or dropped.
    void failures() {
        QFETCH(bool, drop);
        QFETCH(int, written);
        const QString folder = drop ? QStringLiteral("drop") : QStringLiteral("continue");
        FileWriter writer(drop ? FileWriter::OnFailure::Drop : FileWriter::OnFailure::Continue);
        queue(writer, folder, 50, 10);
        writer.waitAll();
        const std::vector<std::exception_ptr> failures = writer.takeFailures();
        QCOMPARE(failures.size(), size_t(1));
        try {
            std::rethrow_exception(failures.front());
        } catch (const FileWriteError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("missing/10.txt")), qPrintable(e.message()));
        }
        QVERIFY(writer.takeFailures().empty());
        QCOMPARE(QDir(path(folder)).entryList(QDir::Files | QDir::Hidden).size(), written);
    }

    // Files still waiting when the writer goes are written first.
    void endingWritesWhatWaits() {
        {
            FileWriter writer;
            queue(writer, QStringLiteral("end"), 100, -1);
        }
        QCOMPARE(QDir(path(QStringLiteral("end"))).entryList(QDir::Files | QDir::Hidden).size(), 100);
    }
};

QTEST_GUILESS_MAIN(TestFileWriter)
#include "tst_filewriter.moc"
