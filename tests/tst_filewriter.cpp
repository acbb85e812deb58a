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

    // Buffers come back emptied, with their room, for the next files; one the caller still
    // shares is left as it was.
    void sparesComeBackEmpty() {
        QVERIFY(QDir().mkpath(path(QStringLiteral("spares"))));
        FileWriter writer;
        QCOMPARE(writer.spareBytes().capacity(), 0);
        QByteArray kept(5000, 'k');
        QString keptText(5000, u'é');
        writer.write(path(QStringLiteral("spares/shared.txt")), kept);
        writer.writeUtf8(path(QStringLiteral("spares/shared-text.txt")), keptText);
        for (int i = 0; i < 3; ++i) {
            writer.write(path(QStringLiteral("spares/%1.txt").arg(i)), QByteArray(4000, char('a' + i)));
            writer.writeUtf8(path(QStringLiteral("spares/%1-text.txt").arg(i)), QString(4000, QChar(u'α' + i)));
        }
        writer.waitAll();
        QVERIFY(writer.takeFailures().empty());
        QCOMPARE(kept, QByteArray(5000, 'k'));
        QCOMPARE(keptText, QString(5000, u'é'));
        QCOMPARE(read(QStringLiteral("spares/2.txt")), QByteArray(4000, 'c'));
        for (int i = 0; i < 3; ++i) {
            const QByteArray bytes = writer.spareBytes();
            QVERIFY(bytes.isEmpty());
            QVERIFY(bytes.capacity() >= 4000);
            const QString text = writer.spareText();
            QVERIFY(text.isEmpty());
            QVERIFY(text.capacity() >= 4000);
        }
    }
};

QTEST_GUILESS_MAIN(TestFileWriter)
#include "tst_filewriter.moc"
