#include "kzlex/cp1252.h"
#include "kzlex/errors.h"
#include "kzlex/linelist.h"
#include "kzlex/platform.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <stdexcept>

Q_DECLARE_METATYPE(TextEncoding)
Q_DECLARE_METATYPE(LineList::LoadForm)

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

QByteArray utf16(const QString& text, bool bigEndian) {
    QByteArray out(bigEndian ? "\xFE\xFF" : "\xFF\xFE");
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const char hi = char(u >> 8), lo = char(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

// Every line of a file read as input text; with `block`, a file of any size is read that many
// bytes at a time, as a large one is.
QStringList inputLines(const QString& file, const Progress& progress = {}, qsizetype block = 0) {
    InputText::Reading reading;
    if (block > 0)
        reading = {FileAccess::Quick, 0, block};
    InputText text;
    text.load(file, progress, reading);
    QStringList lines;
    QString line;
    while (text.next(line))
        lines << line;
    return lines;
}

// Block sizes that cut a file's lines, breaks and marks everywhere.
constexpr qsizetype kSmallBlocks[] = {1, 2, 3, 7};

} // namespace

class TestLineList : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void loads_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<LineList::LoadForm>("form");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<TextEncoding>("encoding");
        const auto plain = LineList::LoadForm::Plain;
        const auto asBytes = LineList::LoadForm::Utf8Bytes;
        const QString eAcute = QStringLiteral("\u00E9");
        const QString eAcuteAsBytes = QStringLiteral("\u00C3\u00A9");

        QTest::newRow("empty file") << QByteArray() << plain << QStringList() << TextEncoding::Ansi;
        QTest::newRow("one line without break")
            << QByteArray("abc") << plain << QStringList{"abc"} << TextEncoding::Ansi;
        QTest::newRow("final CR LF adds no line")
            << QByteArray("a\r\nb\r\n") << plain << QStringList{"a", "b"} << TextEncoding::Ansi;
        QTest::newRow("CR LF, lone CR, lone LF")
            << QByteArray("a\r\nb\rc\nd") << plain << QStringList{"a", "b", "c", "d"} << TextEncoding::Ansi;
        QTest::newRow("final lone CR adds no line")
            << QByteArray("a\rb\r") << plain << QStringList{"a", "b"} << TextEncoding::Ansi;
        QTest::newRow("LF CR is two breaks")
            << QByteArray("a\n\rb") << plain << QStringList{"a", "", "b"} << TextEncoding::Ansi;
        QTest::newRow("empty lines kept")
            << QByteArray("\r\n\r\nx\r\n\r\n") << plain << QStringList{"", "", "x", ""} << TextEncoding::Ansi;
        QTest::newRow("lone break") << QByteArray("\n") << plain << QStringList{""} << TextEncoding::Ansi;
        QTest::newRow("Windows-1252 bytes")
            << QByteArray("caf\xE9 \x80\x81") << plain << QStringList{QStringLiteral("caf\u00E9 \u20AC\u0081")}
            << TextEncoding::Ansi;
        QTest::newRow("UTF-8 without mark stays bytes")
            << QByteArray("caf\xC3\xA9") << plain << QStringList{"caf" + eAcuteAsBytes} << TextEncoding::Ansi;
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF"
                                                  "caf\xC3\xA9\r\nx")
                                    << plain << QStringList{"caf" + eAcute, "x"} << TextEncoding::Utf8;
        QTest::newRow("UTF-8 mark only") << QByteArray("\xEF\xBB\xBF") << plain << QStringList() << TextEncoding::Utf8;
        QTest::newRow("U+FEFF starting lines after the mark is kept")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF"
                          "a\r\n\xEF\xBB\xBF"
                          "b")
            << plain << QStringList{QStringLiteral("\uFEFFa"), QStringLiteral("\uFEFFb")} << TextEncoding::Utf8;
        QTest::newRow("UTF-16 LE mark") << utf16(QStringLiteral("caf\u00E9\r\n\u4E2D\n"), false) << plain
                                        << QStringList{"caf" + eAcute, QStringLiteral("\u4E2D")}
                                        << TextEncoding::Utf16LE;
        QTest::newRow("UTF-16 BE mark") << utf16(QStringLiteral("caf\u00E9\r\n\U0001F600"), true) << plain
                                        << QStringList{"caf" + eAcute, QStringLiteral("\U0001F600")}
                                        << TextEncoding::Utf16BE;
        QTest::newRow("as bytes: UTF-8 mark") << QByteArray("\xEF\xBB\xBF"
                                                            "caf\xC3\xA9\r\n")
                                              << asBytes << QStringList{"caf" + eAcuteAsBytes} << TextEncoding::Ansi;
        QTest::newRow("as bytes: UTF-16 LE mark")
            << utf16(QStringLiteral("caf\u00E9\r\n\u20AC"), false) << asBytes
            << QStringList{"caf" + eAcuteAsBytes, QStringLiteral("\u00E2\u201A\u00AC")} << TextEncoding::Ansi;
        QTest::newRow("as bytes: UTF-16 BE mark") << utf16(QStringLiteral("caf\u00E9"), true) << asBytes
                                                  << QStringList{"caf" + eAcuteAsBytes} << TextEncoding::Ansi;
        QTest::newRow("as bytes: no mark")
            << QByteArray("caf\xE9") << asBytes << QStringList{"caf" + eAcute} << TextEncoding::Ansi;
    }
    void loads() {
        QFETCH(QByteArray, bytes);
        QFETCH(LineList::LoadForm, form);
        QFETCH(QStringList, lines);
        QFETCH(TextEncoding, encoding);
        const QString file = path(QStringLiteral("in.txt"));
        writeBytes(file, bytes);
        LineList list;
        list.setEncoding(TextEncoding::Utf16BE); // must be replaced by what is read
        list.LoadFromFile(file, form);
        QCOMPARE(static_cast<const QStringList&>(list), lines);
        QCOMPARE(list.encoding(), encoding);
        // The same bytes read whole beforehand give the same list.
        const std::optional<QByteArray> whole = LineList::readWhole(file, bytes.size());
        QVERIFY(whole);
        QCOMPARE(*whole, bytes);
        // Input text, read from the file or from its bytes read beforehand, gives the lines that
        // the conversions' list form gives.
        if (form == LineList::LoadForm::Utf8Bytes) {
            QCOMPARE(inputLines(file), lines);
            for (qsizetype block : kSmallBlocks)
                QCOMPARE(inputLines(file, {}, block), lines);
            InputText text;
            text.loadBytes(file, *whole);
            QStringList fromBytes;
            QString line;
            while (text.next(line))
                fromBytes << line;
            QCOMPARE(fromBytes, lines);
        }
    }

    void readWholeLimits_data() {
        QTest::addColumn<bool>("quick");
        QTest::newRow("quick") << true;
        QTest::newRow("portable") << false;
    }
    // A file larger than the limit is not read whole; a file that cannot be read, or a folder,
    // is named. Read the quick way where the system has one, and the portable way.
    void readWholeLimits() {
        QFETCH(bool, quick);
        const FileAccess access = quick ? FileAccess::Quick : FileAccess::Portable;
        const QString file = path(QStringLiteral("ten.txt"));
        writeBytes(file, "0123456789");
        QCOMPARE(LineList::readWhole(file, 10, access), std::optional<QByteArray>("0123456789"));
        QCOMPARE(LineList::readWhole(file, 9, access), std::nullopt);
        const QString empty = path(QStringLiteral("empty.txt"));
        writeBytes(empty, "");
        QCOMPARE(LineList::readWhole(empty, 10, access), std::optional<QByteArray>(""));
        for (const QString& bad : {path(QStringLiteral("missing.txt")), m_dir.path()}) {
            try {
                LineList::readWhole(bad, 10, access);
                QFAIL("no error raised");
            } catch (const FileReadError& e) {
                QVERIFY2(e.message().startsWith(QStringLiteral("Cannot open \"%1\": ").arg(bad)),
                         qPrintable(e.message()));
            }
        }
    }

    void refusesBadInput_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("detail");
        QTest::newRow("NUL in line 3") << QByteArray("a\r\nb\r\nc\0d\r\n", 11) << "FileReadError"
                                       << "line 3";
        QTest::newRow("NUL after CR") << QByteArray("a\r\0", 3) << "FileReadError"
                                      << "line 2";
        QTest::newRow("UTF-16 without mark") << QByteArray("B\0E\0G\0", 6) << "FileReadError"
                                             << "line 1";
        QTest::newRow("NUL in UTF-8") << QByteArray("\xEF\xBB\xBFx\ny\n\0", 8) << "FileReadError"
                                      << "line 3";
        QTest::newRow("NUL in UTF-16") << utf16(QStringLiteral("a\nb") + QChar(0), false) << "FileReadError"
                                       << "line 2";
        QTest::newRow("bad UTF-8 after mark") << QByteArray("\xEF\xBB\xBF"
                                                            "ok\r\nbad \xE9t\xE9\r\n")
                                              << "EncodingError"
                                              << "line 2";
        QTest::newRow("overlong UTF-8") << QByteArray("\xEF\xBB\xBF\xC0\xAF") << "EncodingError"
                                        << "offset 3";
        QTest::newRow("UTF-8 surrogate") << QByteArray("\xEF\xBB\xBF\xED\xA0\x80") << "EncodingError"
                                         << "offset 3";
        QTest::newRow("truncated UTF-8") << QByteArray("\xEF\xBB\xBFok\xE2\x82") << "EncodingError"
                                         << "offset 5";
        QTest::newRow("lone UTF-16 surrogate")
            << utf16(QStringLiteral("ok\n") + QChar(0xDC00), false) << "EncodingError"
            << "line 2";
        QTest::newRow("odd UTF-16 length") << QByteArray("\xFF\xFE"
                                                         "a\0b")
                                           << "EncodingError"
                                           << "UTF-16";
    }
    void refusesBadInput() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, kind);
        QFETCH(QString, detail);
        const QString file = path(QStringLiteral("bad.vcf"));
        writeBytes(file, bytes);
        for (auto form : {LineList::LoadForm::Plain, LineList::LoadForm::Utf8Bytes}) {
            // Read from the file, as input text from its bytes read beforehand or from the file:
            // the same error.
            for (const int way : {0, 1, 2, 3}) {
                LineList list(QStringList{"kept"});
                list.setEncoding(TextEncoding::Utf8);
                try {
                    if (way == 1)
                        InputText().loadBytes(file, bytes);
                    else if (way == 2)
                        inputLines(file);
                    else if (way == 3)
                        inputLines(file, {}, 2); // checked as it is read a block at a time
                    else
                        list.LoadFromFile(file, form);
                    QFAIL("no error raised");
                } catch (const KzError& e) {
                    QCOMPARE(e.kind(), kind);
                    QVERIFY2(e.message().contains(file), qPrintable(e.message()));
                    QVERIFY2(e.message().contains(detail), qPrintable(e.message()));
                }
                QCOMPARE(list, QStringList{"kept"});
                QCOMPARE(list.encoding(), TextEncoding::Utf8);
            }
        }
    }

    void unreadableFileNamesIt() {
        const QString folder = path(QStringLiteral("folder.vcf"));
        QVERIFY(QDir().mkpath(folder));
        for (const QString& file : {path(QStringLiteral("missing.vcf")), folder}) {
            LineList list(QStringList{"kept"});
            try {
                list.LoadFromFile(file);
                QFAIL("no error raised");
            } catch (const FileReadError& e) {
                QVERIFY2(e.message().contains(file), qPrintable(e.message()));
            }
            QCOMPARE(list, QStringList{"kept"});
        }
    }

    void splitLines() {
        QCOMPARE(LineList::splitLines(QStringLiteral("a\r\nb\rc\nd\n")), (QStringList{"a", "b", "c", "d"}));
        QCOMPARE(LineList::splitLines(QString()), QStringList());
        // CR CR LF (iPhone exports) ends one line; other lone CRs end a line each.
        QCOMPARE(LineList::splitLines(QStringLiteral("a\r\r\nb\r\r\n")), (QStringList{"a", "b"}));
        QCOMPARE(LineList::splitLines(QStringLiteral("a\r\rb\r\r\r\nc\r\r")), (QStringList{"a", "", "b", "", "c", ""}));
    }

    void writes_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty list") << QStringList() << TextEncoding::Utf8 << QByteArray();
        QTest::newRow("one empty line") << QStringList{""} << TextEncoding::Ansi << QByteArray("\r\n");
        QTest::newRow("Windows-1252 best fit")
            << QStringList{QStringLiteral("caf\u00E9 \u20AC"), QStringLiteral("\u0101\u4E2D")} << TextEncoding::Ansi
            << QByteArray("caf\xE9 \x80\r\na?\r\n");
        QTest::newRow("UTF-8 with mark") << QStringList{QStringLiteral("caf\u00E9"), "x"} << TextEncoding::Utf8
                                         << QByteArray("\xEF\xBB\xBF"
                                                       "caf\xC3\xA9\r\nx\r\n");
        QTest::newRow("UTF-16 LE with mark") << QStringList{QStringLiteral("\u00E9")} << TextEncoding::Utf16LE
                                             << QByteArray("\xFF\xFE\xE9\0\r\0\n\0", 8);
        QTest::newRow("UTF-16 BE with mark") << QStringList{QStringLiteral("\u20AC")} << TextEncoding::Utf16BE
                                             << QByteArray("\xFE\xFF\x20\xAC\0\r\0\n", 8);
    }
    void writes() {
        QFETCH(QStringList, lines);
        QFETCH(TextEncoding, encoding);
        QFETCH(QByteArray, bytes);
        LineList list(lines);
        list.setEncoding(encoding);
        QCOMPARE(list.toBytes(), bytes);
        // Encoded in two parts, cut anywhere, the list gives the same bytes.
        for (qsizetype cut = 0; cut <= list.size(); ++cut) {
            QByteArray parts("");
            list.appendBytes(parts, 0, cut);
            list.appendBytes(parts, cut, list.size());
            QCOMPARE(parts, bytes);
        }
        const QString file = path(QStringLiteral("out.txt"));
        writeBytes(file, "old contents that are longer");
        list.SaveToFile(file);
        QCOMPARE(readBytes(file), bytes);
    }

    // What is read is written back byte for byte, whatever the mark.
    void roundTrip_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Windows-1252, all bytes but NUL and breaks") << [] {
            QByteArray b;
            for (int c = 1; c < 256; ++c)
                if (c != '\r' && c != '\n')
                    b += char(c);
            return b + "\r\n";
        }();
        QTest::newRow("UTF-8") << QByteArray("\xEF\xBB\xBF"
                                             "Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80\r\n\r\n");
        QTest::newRow("UTF-8, marks after the mark") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF"
                                                                   "x\r\n\xEF\xBB\xBF\r\n");
        QTest::newRow("UTF-16 LE") << utf16(QStringLiteral("\u00E9\U0001F600\r\n"), false);
        QTest::newRow("UTF-16 BE") << utf16(QStringLiteral("\u00E9\U0001F600\r\n"), true);
    }
    void roundTrip() {
        QFETCH(QByteArray, bytes);
        const QString in = path(QStringLiteral("rt-in.txt")), out = path(QStringLiteral("rt-out.txt"));
        writeBytes(in, bytes);
        LineList list;
        list.LoadFromFile(in);
        list.SaveToFile(out);
        QCOMPARE(readBytes(out), bytes);
    }

    // UTF-8 bytes held as characters go back out as the same bytes, without mark.
    void utf8BytesFormWritesPlainUtf8() {
        const QString in = path(QStringLiteral("bom.vcf")), out = path(QStringLiteral("nobom.vcf"));
        writeBytes(in, "\xEF\xBB\xBF"
                       "N:Zo\xC3\xAB\r\n");
        LineList list;
        list.LoadFromFile(in, LineList::LoadForm::Utf8Bytes);
        list.SaveToFile(out);
        QCOMPARE(readBytes(out), QByteArray("N:Zo\xC3\xAB\r\n"));
    }

    void failedWriteKeepsOldFile() {
        LineList list(QStringList{"new"});
        // The target is a folder: nothing may replace it.
        const QString folder = path(QStringLiteral("a-folder"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY_THROWS_EXCEPTION(FileWriteError, list.SaveToFile(folder));
        QVERIFY(QFileInfo(folder).isDir());

        // The parent is a regular file: the old file there stays as it was.
        const QString parent = path(QStringLiteral("plain-file"));
        writeBytes(parent, "old");
        try {
            list.SaveToFile(parent + QStringLiteral("/out.txt"));
            QFAIL("no error raised");
        } catch (const FileWriteError& e) {
            QVERIFY(e.message().contains(parent + QStringLiteral("/out.txt")));
        }
        QCOMPARE(readBytes(parent), QByteArray("old"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("plain-file")),
                 QStringList{"plain-file"});
    }

    // A file big enough to be decoded by two threads, in several blocks, reads as the same lines,
    // whatever breaks (CR LF, CR, LF, CR CR LF, some cut by a block's end) and bytes it holds.
    void bigFilesSplitAsText() {
        QRandomGenerator rng(99);
        const QByteArray pieces[] = {"\r\n", "\r", "\n", "\r\r\n", "abc", "\xE9t\xE9", "\x80", " ", "BEGIN:VCARD"};
        QByteArray bytes;
        while (bytes.size() < (9 << 20))
            bytes += pieces[rng.bounded(int(std::size(pieces)))];
        writeBytes(path(QStringLiteral("mixed.vcf")), bytes);
        LineList list;
        list.LoadFromFile(path(QStringLiteral("mixed.vcf")), LineList::LoadForm::Utf8Bytes);
        QCOMPARE(QStringList(list), LineList::splitLines(Cp1252::decode(bytes)));
        // A CR CR LF cut after its first or second CR by the end of the first 4 MiB block.
        for (int before : {1, 2, 3}) {
            const QByteArray cut = QByteArray((4 << 20) - before, 'x') + "\r\r\nEND\r\r\n";
            writeBytes(path(QStringLiteral("cut.vcf")), cut);
            LineList lines;
            lines.LoadFromFile(path(QStringLiteral("cut.vcf")), LineList::LoadForm::Utf8Bytes);
            QCOMPARE(lines.size(), 2);
            QCOMPARE(lines.at(1), QStringLiteral("END"));
        }
        QCOMPARE(inputLines(path(QStringLiteral("mixed.vcf"))), QStringList(list));
        // Read a block at a time, blocks ending anywhere in its lines and breaks.
        for (qsizetype block : {4093, 65536})
            QCOMPARE(inputLines(path(QStringLiteral("mixed.vcf")), {}, block), QStringList(list));
    }

    // A file read a block at a time: read again from its start, counted for the progress, and
    // a NUL written into it after its check is an error at its line, not a line.
    void streamedText() {
        const InputText::Reading streamed{FileAccess::Quick, 0, 5};
        const QString file = path(QStringLiteral("streamed.vcf"));
        writeBytes(file, "\xEF\xBB\xBF"
                         "BEGIN:VCARD\r\r\nN:Zo\xC3\xAB\r\nEND:VCARD\r\n");
        InputText text;
        text.load(file, {}, streamed);
        QVERIFY(!text.isEmpty());
        QVERIFY(text.readThroughMark());
        QVERIFY(qAbs(text.lineCountEstimate() - 3) <= 1); // from a sample of the blocks
        const QStringList lines{"BEGIN:VCARD", QStringLiteral("N:Zo\u00C3\u00AB"), "END:VCARD"};
        for (int pass = 0; pass < 2; ++pass) {
            QStringList got;
            QString line;
            while (!text.atEnd() && text.next(line))
                got << line;
            QCOMPARE(got, lines);
            QVERIFY(!text.next(line));
            text.rewind();
        }

        writeBytes(file, "\xEF\xBB\xBF");
        text.load(file, {}, streamed);
        QVERIFY(text.isEmpty());
        QVERIFY(text.atEnd());

        writeBytes(file, "A\r\nB\r\nC\r\n");
        text.load(file, {}, streamed);
        writeBytes(file, QByteArray("A\r\nB\r\n\0\r\n", 8));
        QString line;
        QVERIFY(text.next(line));
        try {
            while (text.next(line)) {
            }
            QFAIL("no error raised");
        } catch (const FileReadError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("line 3")), qPrintable(e.message()));
        }
    }

    // A file of several blocks lets the caller run between blocks, and what the callback
    // throws ends the read with the list as it was; a small file is read without a call.
    void progressBetweenBlocks() {
        const QByteArray line("BEGIN:VCARD with some text to fill the block\r\n");
        QByteArray big;
        while (big.size() < (9 << 20))
            big += line;
        writeBytes(path(QStringLiteral("big.vcf")), big);
        writeBytes(path(QStringLiteral("small.vcf")), line);

        int calls = 0;
        LineList list;
        list.LoadFromFile(path(QStringLiteral("big.vcf")), LineList::LoadForm::Utf8Bytes, [&] { ++calls; });
        QCOMPARE(list.size(), big.size() / line.size());
        QCOMPARE(list.constLast(), QStringLiteral("BEGIN:VCARD with some text to fill the block"));
        QCOMPARE(calls, 2);

        calls = 0;
        list.LoadFromFile(path(QStringLiteral("small.vcf")), LineList::LoadForm::Utf8Bytes, [&] { ++calls; });
        QCOMPARE(list.size(), 1);
        QCOMPARE(calls, 0);

        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 list.LoadFromFile(path(QStringLiteral("big.vcf")), LineList::LoadForm::Utf8Bytes,
                                                   [] { throw std::runtime_error("stop"); }));
        QCOMPARE(list.size(), 1);

        // Input text is checked the same way, a block of its own size at a time.
        calls = 0;
        QCOMPARE(inputLines(path(QStringLiteral("big.vcf")), [&] { ++calls; }).size(), big.size() / line.size());
        QCOMPARE(calls, int(big.size() / InputText::kStreamBlock));
        // Its line count for the progress is estimated from a sample of those blocks.
        InputText text;
        text.load(path(QStringLiteral("big.vcf")));
        const qsizetype lines = big.size() / line.size();
        QVERIFY2(qAbs(text.lineCountEstimate() - lines) <= lines / 50, qPrintable(QString::number(text.lineCountEstimate())));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 inputLines(path(QStringLiteral("big.vcf")), [] { throw std::runtime_error("stop"); }));
    }
};

QTEST_GUILESS_MAIN(TestLineList)
#include "tst_linelist.moc"
