// Reading a list of files ahead on another thread, or in the caller's when there is none: order,
// large files, a failure in the list, and ending before every file is taken.
#include "kzlex/errors.h"
#include "kzlex/readahead.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <new>
#include <stdexcept>

class TestReadAhead : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Files <prefix>0.vcf ... of a line naming the file ("N:<prefix><i>") and `filler` + 1 more
    // lines; their paths.
    QStringList makeFiles(const QString& prefix, int count, int filler = 0) {
        QStringList names;
        const QByteArray fillerLine = QByteArray(98, 'x') + "\r\n";
        for (int i = 0; i < count; ++i) {
            const QString name = path(QStringLiteral("%1%2.vcf").arg(prefix).arg(i));
            QFile f(name);
            QByteArray bytes = "N:" + prefix.toLatin1() + QByteArray::number(i) + "\r\nx\r\n";
            for (int k = 0; k < filler; ++k)
                bytes += fillerLine;
            if (!f.open(QIODevice::WriteOnly) || f.write(bytes) < 0)
                qFatal("cannot write %s", qPrintable(name));
            names << name;
        }
        return names;
    }

    static QStringList linesOf(InputText text) {
        QStringList lines;
        QString line;
        while (text.next(line))
            lines << line;
        return lines;
    }

private slots:
    // Every test runs with the reading thread and without.
    void initTestCase_data() {
        QTest::addColumn<Threading>("threading");
        QTest::newRow("thread") << Threading::Own;
        QTest::newRow("caller") << Threading::Caller;
    }

    // Many files (the reading thread waits for the user and the other way round), a run of
    // files of some hundred KB (the waiting files reach their limit in bytes before their
    // count), and one too large to be read whole ahead: every file comes back decoded, in order.
    void givesEveryFileInOrder() {
        QFETCH_GLOBAL(Threading, threading);
        const QStringList small = makeFiles(QStringLiteral("order"), 300);
        const QStringList medium = makeFiles(QStringLiteral("medium"), 40, 3000); // 300 KB each
        const QString big = path(QStringLiteral("big.vcf"));
        {
            QFile f(big);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray line = QByteArray(99, 'b') + "\r\n";
            for (int i = 0; i < 20000; ++i) // 2 MB
                f.write(line);
        }
        const QStringList names = small.mid(0, 150) + QStringList{big} + medium + small.mid(150);
        ReadAhead files(names, threading);
        for (int i = 0; i < names.size(); ++i) {
            const QStringList lines = linesOf(files.next());
            if (names[i] == big) {
                QCOMPARE(lines.size(), 20000);
                QCOMPARE(lines.first(), QString(99, u'b'));
                continue;
            }
            const bool isMedium = medium.contains(names[i]);
            const QString want = isMedium ? QStringLiteral("N:medium%1").arg(i - 151)
                                          : QStringLiteral("N:order%1").arg(i < 150 ? i : i - 41);
            QCOMPARE(lines.first(), want);
            QCOMPARE(lines.size(), isMedium ? 3002 : 2);
        }
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.next());
    }

    void failureAtItsTurn_data() {
        QTest::addColumn<QByteArray>("bytes"); // of the bad file; null: no such file
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("NUL character") << QByteArray("N:x\r\nA\0B\r\n", 10);
    }
    // A file that cannot be read, or fails the checks of its text, is thrown at its turn, after
    // the files before it; nothing is read after it.
    void failureAtItsTurn() {
        QFETCH_GLOBAL(Threading, threading);
        QFETCH(QByteArray, bytes);
        QStringList names = makeFiles(QStringLiteral("fail"), 40);
        const QString missing = path(QStringLiteral("bad%1.vcf").arg(QTest::currentDataTag()));
        if (!bytes.isNull()) {
            QFile f(missing);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        }
        names.insert(25, missing);
        ReadAhead files(names, threading);
        for (int i = 0; i < 25; ++i)
            QCOMPARE(linesOf(files.next()).first(), QStringLiteral("N:fail%1").arg(i));
        try {
            files.next();
            QFAIL("no error raised");
        } catch (const FileReadError& e) {
            QVERIFY2(e.message().contains(missing), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.next());
    }

    // What ends the reading thread where nothing else catches it (memory, as it hands on a
    // file) is thrown by next() once the files read before it are taken, and again if asked.
    void readingThreadFailure() {
        QFETCH_GLOBAL(Threading, threading);
        if (threading == Threading::Caller)
            QSKIP("no reading thread");
        const QStringList names = makeFiles(QStringLiteral("thread"), 40);
        int read = 0;
        ReadAhead files(names, threading, FileAccess::Quick, [&read] {
            if (++read == 11)
                throw std::bad_alloc();
        });
        for (int i = 0; i < 10; ++i)
            QCOMPARE(linesOf(files.next()).first(), QStringLiteral("N:thread%1").arg(i));
        QVERIFY_THROWS_EXCEPTION(std::bad_alloc, files.next());
        QVERIFY_THROWS_EXCEPTION(std::bad_alloc, files.next());
    }

    // Ended after a few files (a stopped run): the thread ends without reading the rest.
    void endsEarly() {
        QFETCH_GLOBAL(Threading, threading);
        const QStringList names = makeFiles(QStringLiteral("early"), 500);
        ReadAhead files(names, threading);
        QCOMPARE(linesOf(files.next()).first(), QStringLiteral("N:early0"));
    }
};

QTEST_GUILESS_MAIN(TestReadAhead)
#include "tst_readahead.moc"
