#include "kzlex/cp1252.h"

#include <QRandomGenerator>
#include <QTest>

class TestCp1252 : public QObject {
    Q_OBJECT
private slots:
    void everyByteRoundTrips() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        const QString text = Cp1252::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(Cp1252::encode(text), all);
        QByteArray exact;
        QVERIFY(Cp1252::encodeExact(text, &exact));
        QCOMPARE(exact, all);
        for (int b = 0; b < 256; ++b)
            QCOMPARE(Cp1252::byteOf(text.at(b).unicode()), b);
    }

    void decodesSpecialBytes_data() {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("character");
        QTest::newRow("euro") << 0x80 << 0x20AC;
        QTest::newRow("undefined 81") << 0x81 << 0x81;
        QTest::newRow("undefined 8D") << 0x8D << 0x8D;
        QTest::newRow("undefined 8F") << 0x8F << 0x8F;
        QTest::newRow("undefined 90") << 0x90 << 0x90;
        QTest::newRow("undefined 9D") << 0x9D << 0x9D;
        QTest::newRow("right quote") << 0x92 << 0x2019;
        QTest::newRow("Y diaeresis") << 0x9F << 0x178;
        QTest::newRow("e acute") << 0xE9 << 0xE9;
        QTest::newRow("nbsp") << 0xA0 << 0xA0;
    }
    void decodesSpecialBytes() {
        QFETCH(int, byte);
        QFETCH(int, character);
        const char b = char(byte);
        QCOMPARE(Cp1252::decode(QByteArrayView(&b, 1)), QString(QChar(character)));
    }

    void encodesBestFit_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QStringLiteral("abc") << QByteArray("abc");
        QTest::newRow("euro") << QStringLiteral("\u20AC") << QByteArray("\x80");
        QTest::newRow("a macron") << QStringLiteral("\u0101") << QByteArray("a");
        QTest::newRow("C caron") << QStringLiteral("\u010C") << QByteArray("C");
        QTest::newRow("u diaeresis macron") << QStringLiteral("\u01D6") << QByteArray("u");
        QTest::newRow("e acute decomposed") << QStringLiteral("e\u0301") << QByteArray("e?");
        QTest::newRow("CJK") << QStringLiteral("\u4E2D") << QByteArray("?");
        QTest::newRow("C1 without byte") << QStringLiteral("\u0080") << QByteArray("?");
        QTest::newRow("emoji is one mark") << QStringLiteral("x\U0001F600y") << QByteArray("x?y");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
        QTest::newRow("mixed") << QStringLiteral("Zo\u00EB \u0141\u00F3d\u017A")
                               << QByteArray("Zo\xEB ?\xF3"
                                             "dz");
    }
    void encodesBestFit() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(Cp1252::encode(text), bytes);
    }

    // Mostly-ASCII texts of every length, with a special byte, an accent or a character beyond
    // the code page anywhere: each character is decoded and encoded as it would be alone.
    void blocksMatchCharacterByCharacter() {
        QRandomGenerator rng(1252);
        const char pool[] = {'a', 'Z', ' ', '\x7F', '\x80', '\x9F', '\xA0', '\xE9', '\xFF'};
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes(rng.bounded(70), 'x');
            for (char& c : bytes)
                c = rng.bounded(8) ? char('a' + rng.bounded(26)) : pool[rng.bounded(int(sizeof pool))];
            const QString text = Cp1252::decode(bytes);
            QString alone;
            for (char c : bytes)
                alone += Cp1252::decode(QByteArrayView(&c, 1));
            QCOMPARE(text, alone);
            QCOMPARE(Cp1252::encode(text), bytes);

            QString wide = text;
            if (!wide.isEmpty())
                wide[rng.bounded(int(wide.size()))] = QChar(0x0101); // no byte: '?'
            QByteArray expected;
            for (QChar c : wide)
                expected += Cp1252::encode(QStringView(&c, 1));
            QCOMPARE(Cp1252::encode(wide), expected);
        }
    }

    // Decoding into a string reuses its storage only when no one else holds it; an empty
    // line is an empty string, not a null one.
    void decodeIntoKeepsSharedCopies() {
        QString line;
        Cp1252::decodeInto("first line, the longest", line);
        const QString kept = line; // shared, as a card's list holds a line
        Cp1252::decodeInto("caf\xE9", line);
        QCOMPARE(kept, QStringLiteral("first line, the longest"));
        QCOMPARE(line, QStringLiteral("caf\u00E9"));
        const QChar* storage = line.constData();
        Cp1252::decodeInto("\x80uro", line); // not shared: decoded in place
        QCOMPARE(line, QStringLiteral("\u20ACuro"));
        QCOMPARE(line.constData(), storage);
        QString empty;
        Cp1252::decodeInto("", empty);
        QVERIFY(empty.isEmpty() && !empty.isNull());
    }

    void exactRefusesWhatHasNoByte() {
        QByteArray out("untouched");
        QVERIFY(!Cp1252::encodeExact(QStringLiteral("a\u0101"), &out));
        QCOMPARE(out, QByteArray("untouched"));
        QCOMPARE(Cp1252::byteOf(0x0101), -1);
        QCOMPARE(Cp1252::byteOf(0x20AC), 0x80);
        QVERIFY(Cp1252::encodeExact(QString(), &out));
        QVERIFY(out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCp1252)
#include "tst_cp1252.moc"
