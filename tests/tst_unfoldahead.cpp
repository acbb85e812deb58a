// Unfolding the input's lines on another thread: the same lines and line numbers as unfolding
// them in place, across batches cut by count and by size, and an early end.
#include "kzlex/unfoldahead.h"

#include <QRandomGenerator>
#include <QTest>

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

private slots:
    void sameLinesAsInPlace() {
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
                // Now and then long picture data: batches are also cut by size.
                raw << QStringLiteral("PHOTO:") + QString(rng.bounded(25) == 0 ? rng.bounded(20000, 90000) : 70, u'A');
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
        UnfoldAhead ahead(lines);
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
        InputText text;
        text.loadBytes(QStringLiteral("empty.vcf"), QByteArray());
        InputLines lines(text, InputLines::Passes{});
        UnfoldAhead ahead(lines);
        QString line;
        qsizetype number = 0;
        QVERIFY(!ahead.next(line, number));
    }

    // A run that stops after a few lines ends the reading thread, which may be waiting for
    // room or still reading.
    void endsEarly() {
        QStringList raw;
        for (int i = 0; i < 50000; ++i)
            raw << QStringLiteral("NOTE:%1").arg(i);
        const QByteArray bytes = bytesOf(raw);
        for (int taken : {0, 1, 600, 3000}) {
            InputText text;
            text.loadBytes(QStringLiteral("in.vcf"), bytes);
            InputLines lines(text, InputLines::Passes{});
            UnfoldAhead ahead(lines);
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
