// Reading a list of files ahead on another thread: order, large files, a failure in the list,
// and ending before every file is taken.
#include "kzlex/errors.h"
#include "kzlex/readahead.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

class TestReadAhead : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Files 0.vcf ... (count-1).vcf, each of two lines naming its number; their paths.
    QStringList makeFiles(const QString& prefix, int count) {
        QStringList names;
        for (int i = 0; i < count; ++i) {
            const QString name = path(QStringLiteral("%1%2.vcf").arg(prefix).arg(i));
            QFile f(name);
            if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray("N:") + QByteArray::number(i) + "\r\nx\r\n") < 0)
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
    // Many files (the reading thread waits for the user and the other way round), one of them
    // too large to be read whole ahead: every file comes back decoded, in order.
    void givesEveryFileInOrder() {
        QStringList names = makeFiles(QStringLiteral("order"), 300);
        const QString big = path(QStringLiteral("big.vcf"));
        {
            QFile f(big);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray line = QByteArray(99, 'b') + "\r\n";
            for (int i = 0; i < 20000; ++i) // 2 MB
                f.write(line);
        }
        names.insert(150, big);
        ReadAhead files(names);
        for (int i = 0; i < names.size(); ++i) {
            const QStringList lines = linesOf(files.next());
            if (i == 150) {
                QCOMPARE(lines.size(), 20000);
                QCOMPARE(lines.first(), QString(99, u'b'));
                continue;
            }
            const int n = i < 150 ? i : i - 1;
            QCOMPARE(lines, (QStringList{QStringLiteral("N:%1").arg(n), QStringLiteral("x")}));
        }
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.next());
    }

    // A file that cannot be read is thrown at its turn, after the files before it; nothing is
    // read after it.
    void failureAtItsTurn() {
        QStringList names = makeFiles(QStringLiteral("fail"), 40);
        const QString missing = path(QStringLiteral("missing.vcf"));
        names.insert(25, missing);
        ReadAhead files(names);
        for (int i = 0; i < 25; ++i)
            QCOMPARE(linesOf(files.next()).first(), QStringLiteral("N:%1").arg(i));
        try {
            files.next();
            QFAIL("no error raised");
        } catch (const FileReadError& e) {
            QVERIFY2(e.message().contains(missing), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.next());
    }

    // Ended after a few files (a stopped run): the thread ends without reading the rest.
    void endsEarly() {
        const QStringList names = makeFiles(QStringLiteral("early"), 500);
        ReadAhead files(names);
        QCOMPARE(linesOf(files.next()).first(), QStringLiteral("N:0"));
    }
};

QTEST_GUILESS_MAIN(TestReadAhead)
#include "tst_readahead.moc"
