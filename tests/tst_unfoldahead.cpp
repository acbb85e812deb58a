// Unfolding the input's lines on another thread, or in the caller's when there is none: the same
// lines and line numbers as unfolding them in place, across batches cut by count and by size, a
// failure at its place, and an early end.
#include "kzlex/unfoldahead.h"

#include <QRandomGenerator>
#include <QTest>

#include <new>
#include <stdexcept>

namespace {

struct Unfolded {
    QStringList lines;
    QList<qsizetype> numbers;
};

// The input's lines, a line joined with the blank-led lines after it, as the conversion reads
// them one by one.
Unfolded reference(const QStringList& raw) {
    Unfolded out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (i > 0 && raw[i].startsWith(u' ') && !out.lines.isEmpty()) {
            out.lines.last() += QStringView(raw[i]).mid(1);
            continue;
        }
        out.lines << raw[i];
        out.numbers << i + 1;
    }
    return out;
}

QByteArray bytesOf(const QStringList& raw) {
    QByteArray bytes;
    for (const QString& line : raw)
        bytes += line.toLatin1() + "\r\n";
    return bytes;
}

} // namespace

class TestUnfoldAhead : public QObject {
    Q_OBJECT

    // "NOTE:0" to "NOTE:5999": lines enough for many batches.
    static QStringList numberedNotes() {
        QStringList raw;
        for (int i = 0; i < 6000; ++i)
            raw << QStringLiteral("NOTE:%1").arg(i);
        return raw;
    }

private slots:
    // Every test runs with the reading thread and without.
    void initTestCase_data() {
        QTest::addColumn<Threading>("threading");
        QTest::newRow("thread") << Threading::Own;
        QTest::newRow("caller") << Threading::Caller;
    }

    void sameLinesAsInPlace() {
        QFETCH_GLOBAL(Threading, threading);
        QRandomGenerator rng(2026);
        QStringList raw;
        while (raw.size() < 20000) {
            switch (rng.bounded(8)) {
            case 0:
                raw << QStringLiteral(" continued %1").arg(rng.bounded(1000));
                break;
            case 1:
                raw << QString();
                break;
            case 2:
                // Now and then long picture data: batches are also cut by size, and a line longer
                // than a batch goes on alone.
                raw << QStringLiteral("PHOTO:") + QString(rng.bounded(25) == 0 ? rng.bounded(20000, 300000) : 70, u'A');
                break;
            case 3:
                raw << QStringLiteral("  two blanks");
                break;
            default:
                raw << QStringLiteral("TEL;CELL:%1").arg(rng.bounded(100000));
            }
        }
        InputText text;
        text.loadBytes(QStringLiteral("in.vcf"), bytesOf(raw));
        InputLines lines(text, InputLines::Passes{});
        UnfoldAhead ahead(lines, {}, threading);
        Unfolded got;
        QString line;
        qsizetype number = 0;
        while (ahead.next(line, number)) {
            got.lines << line;
            got.numbers << number;
        }
        QVERIFY(!ahead.next(line, number));
        const Unfolded want = reference(raw);
        QCOMPARE(got.lines.size(), want.lines.size());
        QCOMPARE(got.numbers, want.numbers);
        QCOMPARE(got.lines, want.lines);
    }

    void emptyInput() {
        QFETCH_GLOBAL(Threading, threading);
        InputText text;
        text.loadBytes(QStringLiteral("empty.vcf"), QByteArray());
        InputLines lines(text, InputLines::Passes{});
        UnfoldAhead ahead(lines, {}, threading);
        QString line;
        qsizetype number = 0;
        QVERIFY(!ahead.next(line, number));
    }

    void failureAtItsPlace_data() {
        QTest::addColumn<int>("failing"); // the unfolded line whose step throws, from 0
        QTest::newRow("first line") << 0;
        QTest::newRow("inside the first batch") << 100;
        QTest::newRow("last of the first batch") << 511;
        QTest::newRow("first of the second batch") << 512;
        QTest::newRow("after many batches") << 5000;
    }
    // What the reading side throws comes after the lines before it, and ends the lines.
    void failureAtItsPlace() {
        QFETCH_GLOBAL(Threading, threading);
        QFETCH(int, failing);
        const QStringList raw = numberedNotes();
        InputText text;
        text.loadBytes(QStringLiteral("in.vcf"), bytesOf(raw));
        InputLines lines(text, InputLines::Passes{});
        int stepped = 0;
        UnfoldAhead ahead(
            lines,
            [&stepped, failing](QString&, qsizetype) {
                if (stepped++ == failing)
                    throw std::runtime_error("step failed");
                return true;
            },
            threading);
        QString line;
        qsizetype number = 0;
        for (int i = 0; i < failing; ++i) {
            QVERIFY(ahead.next(line, number));
            QCOMPARE(line, raw[i]);
        }
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, ahead.next(line, number));
        QVERIFY(!ahead.next(line, number));
    }

    // What ends the reading thread where nothing else catches it (memory, as it hands on a
    // batch) is thrown by next() after the lines made before it, and again if asked: never
    // std::terminate, never a wait for lines that will not come.
    void readingThreadFailure() {
        QFETCH_GLOBAL(Threading, threading);
        if (threading == Threading::Caller)
            QSKIP("no reading thread");
        const QStringList raw = numberedNotes();
        InputText text;
        text.loadBytes(QStringLiteral("in.vcf"), bytesOf(raw));
        InputLines lines(text, InputLines::Passes{});
        int batches = 0;
        UnfoldAhead ahead(lines, {}, threading, [&batches] {
            if (++batches == 3)
                throw std::bad_alloc();
        });
        QString line;
        qsizetype number = 0;
        int taken = 0;
        try {
            while (ahead.next(line, number)) {
                QCOMPARE(line, raw[taken]);
                ++taken;
            }
            QFAIL("no error raised");
        } catch (const std::bad_alloc&) {
        }
        QCOMPARE(taken, 2 * 512); // the two batches handed on before it
        QVERIFY_THROWS_EXCEPTION(std::bad_alloc, ahead.next(line, number));
    }

    // The limits a queue keeps: pop() never waits for more than can wait, so neither side sleeps
    // for ever.
    void queueLimits_data() {
        QTest::addColumn<size_t>("most");
        QTest::addColumn<size_t>("wakeAt");
        QTest::addColumn<size_t>("keptMost");
        QTest::addColumn<size_t>("keptWakeAt");
        QTest::newRow("as given") << size_t(4) << size_t(2) << size_t(4) << size_t(2);
        QTest::newRow("wake above capacity") << size_t(4) << size_t(9) << size_t(4) << size_t(4);
        QTest::newRow("no wake") << size_t(4) << size_t(0) << size_t(4) << size_t(1);
        QTest::newRow("no room") << size_t(0) << size_t(3) << size_t(1) << size_t(1);
    }
    void queueLimits() {
        QFETCH(size_t, most);
        QFETCH(size_t, wakeAt);
        QFETCH(size_t, keptMost);
        QFETCH(size_t, keptWakeAt);
        const auto kept = WorkQueue<int>::usable({most, 0, wakeAt});
        QCOMPARE(kept.most, keptMost);
        QCOMPARE(kept.wakeAt, keptWakeAt);
    }

    // A run that stops after a few lines ends the reading thread, which may be waiting for
    // room or still reading.
    void endsEarly() {
        QFETCH_GLOBAL(Threading, threading);
        QStringList raw;
        for (int i = 0; i < 50000; ++i)
            raw << QStringLiteral("NOTE:%1").arg(i);
        const QByteArray bytes = bytesOf(raw);
        for (int taken : {0, 1, 600, 3000}) {
            InputText text;
            text.loadBytes(QStringLiteral("in.vcf"), bytes);
            InputLines lines(text, InputLines::Passes{});
            UnfoldAhead ahead(lines, {}, threading);
            QString line;
            qsizetype number = 0;
            for (int i = 0; i < taken; ++i) {
                QVERIFY(ahead.next(line, number));
                QCOMPARE(number, qsizetype(i + 1));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestUnfoldAhead)
#include "tst_unfoldahead.moc"
