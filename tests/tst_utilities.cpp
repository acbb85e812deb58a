#include "kzlex/cp1252.h"
#include "kzlex/errors.h"
#include "kzlex/picturefolder.h"
#include "kzlex/platform.h"
#include "kzlex/kzlex.h"
#include "kzmain/contactids.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(Language)
Q_DECLARE_METATYPE(Msg)

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// UTF-8 bytes of a text, held one Windows-1252 character per byte (as an input without mark is read).
QString asCp1252Bytes(const char* utf8) {
    return Cp1252::decode(QByteArrayView(utf8));
}

} // namespace

class TestUtilities : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    // The writing tests run with new files made in one step where the system can, and the
    // portable way.
    static void bothWays() {
        QTest::addColumn<bool>("quick");
        QTest::newRow("one step") << true;
        QTest::newRow("portable") << false;
    }

private slots:
    void messages_data() {
        QTest::addColumn<Language>("language");
        QTest::addColumn<Msg>("msg");
        QTest::addColumn<QString>("text");
        const Language fr = Language::French, en = Language::English;
        QTest::newRow("FR fallback") << fr << Msg(0xFFFF) << QStringLiteral("Erreur non répertoriée");
        QTest::newRow("EN fallback") << en << Msg(quint16(Msg::DropTagSync) + 1) << "Error unknown";
        QTest::newRow("EN empty file") << en << Msg::EmptyFile << "Empty file";
        QTest::newRow("FR done") << fr << Msg::ConversionDone << QStringLiteral("--> Conversion terminée");
        QTest::newRow("FR trailing blank") << fr << Msg::SyntaxName << "--> Erreur Syntaxe dans NAME : ";
        QTest::newRow("EN trailing blank") << en << Msg::SyntaxEmail << "--> Syntax error in EMAIL : ";
        QTest::newRow("EN photos") << en << Msg::PhotosFolderMissing << "The photos directory does'nt exist";
        QTest::newRow("EN output") << en << Msg::OutputFolderMissing << "The output directory does'nt exist";
        QTest::newRow("FR output") << fr << Msg::OutputFolderMissing
                                   << QStringLiteral("Le répertoire de sortie n'existe pas");
        QTest::newRow("FR overwrite") << fr << Msg::Overwrite << QStringLiteral("Le fichier existe déjà, écraser ?");
        QTest::newRow("FR ImageCache as written")
            << fr << Msg::CannotCreateImageCache << QStringLiteral("Impossible de créer le répoertoire ImageCache");
        QTest::newRow("EN ImageCache") << en << Msg::CannotCreateImageCache
                                       << "Unable to create the ImageCache directory";
        QTest::newRow("FR caption without its Alt mark") << fr << Msg::OutputFolderButton << "Rep. Sortie";
        QTest::newRow("EN caption without its Alt mark") << en << Msg::SaveLog << "Save log...";
    }
    void messages() {
        QFETCH(Language, language);
        QFETCH(Msg, msg);
        QFETCH(QString, text);
        QCOMPARE(Mess(language, msg), text);
    }

    // Both languages of every error text take the same arguments, and a file name holding "%2"
    // is put in as it is.
    void errorTexts() {
        static const QRegularExpression placeholder(QStringLiteral("%\\d"));
        for (quint16 t = quint16(Msg::CannotOpen); t <= quint16(Msg::StoppedByUser); ++t) {
            const QString fr = Mess(Language::French, Msg(t));
            const QString en = Mess(Language::English, Msg(t));
            QStringList inFr, inEn;
            for (const auto& m : placeholder.globalMatch(fr))
                inFr.append(m.captured());
            for (const auto& m : placeholder.globalMatch(en))
                inEn.append(m.captured());
            inFr.sort();
            inEn.sort();
            QVERIFY2(!fr.isEmpty() && fr != en && inFr == inEn, qPrintable(fr + u'|' + en));
        }
        const FileReadError e(Msg::CannotOpen, QStringLiteral("a%2b.vcf"), QStringLiteral("denied"));
        QCOMPARE(e.message(), QStringLiteral("Cannot open \"a%2b.vcf\": denied"));
        QCOMPARE(e.errorLine(Language::French),
                 QStringLiteral("-> FileReadError Err Impossible d'ouvrir \"a%2b.vcf\" : denied"));
        const GenericError plain(QStringLiteral("boom"));
        QCOMPARE(plain.errorLine(Language::French), QStringLiteral("-> Error Err boom"));
    }
    void elimineXSync_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("before a parameter") << "TEL;X-SYNC=3;CELL:0601"
                                            << "TEL;CELL:0601";
        QTest::newRow("before the value") << "TEL;X-SYNC=3:0601"
                                          << "TEL:0601";
        QTest::newRow("only the first") << "TEL;X-SYNC=1;X-SYNC=2;CELL:06"
                                        << "TEL;X-SYNC=2;CELL:06";
        QTest::newRow("lower case left alone") << "TEL;x-sync=1:06"
                                               << "TEL;x-sync=1:06";
        QTest::newRow("nothing after") << "TEL;X-SYNC"
                                       << "TEL;X-SYNC";
        QTest::newRow("inside the value") << "NOTE:a;X-SYNC b:c"
                                          << "NOTE:a:c";
        QTest::newRow("no parameter") << "FN:Jean"
                                      << "FN:Jean";
    }
    void elimineXSync() {
        QFETCH(QString, line);
        QFETCH(QString, expected);
        InputLines::Passes xsync;
        xsync.xsync = true;
        // From a list in memory, and from a file's bytes as a conversion reads them.
        LineList list(QStringList{"BEGIN:VCARD", line, ""});
        InputLines fromList(list, xsync);
        InputText text;
        text.loadBytes(QStringLiteral("in.vcf"), "BEGIN:VCARD\r\n" + line.toLatin1() + "\r\n\r\n");
        InputLines fromText(text, xsync);
        for (InputLines* lines : {&fromList, &fromText}) {
            QStringList got;
            for (QString l; lines->next(l);)
                got << l;
            QCOMPARE(got, (QStringList{"BEGIN:VCARD", expected, ""}));
        }
    }

    void elementIdSequence() {
        ElementIds ids(0);
        QCOMPARE(ids.next(), QStringLiteral("00000808-DC6C-33DC-45DD-ABF05195296B"));
        QCOMPARE(ids.state(), 694906232u);
        QCOMPARE(ids.next(), QStringLiteral("5F4A6CF8-14FE-798B-1210-D7410F4A4B15"));
        QCOMPARE(ElementIds(12345).next(), QStringLiteral("62A54A12-1469-8DB8-A237-577270A1144D"));
        QCOMPARE(ElementIds(0xFFFFFFFFu).next(), QStringLiteral("F7F633A3-84FE-21DA-DFC9-064D79BFF38A"));
    }

    void elementIdFormat() {
        ElementIds ids(ElementIds::clockSeed());
        static const QRegularExpression form(
            QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
        QSet<QString> seen;
        for (int i = 0; i < 200; ++i) {
            const QString id = ids.next();
            QVERIFY2(form.match(id).hasMatch(), qPrintable(id));
            const QString digits = QString(id).remove(u'-');
            for (int d = 0; d < 32; d += 4)
                QVERIFY2(digits.mid(d, 4) != QLatin1String("FFFF"), qPrintable(id)); // every draw is below 65535
            seen.insert(id);
        }
        QCOMPARE(seen.size(), 200);
    }

    void names_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("filtered");
        QTest::addColumn<QString>("cleaned");
        QTest::newRow("slashes") << " A/B/C "
                                 << "A B C"
                                 << "A B C";
        QTest::newRow("two colons") << "::"
                                    << ""
                                    << "";
        QTest::newRow("angle brackets") << " <Jean> "
                                        << "Jean"
                                        << "Jean";
        QTest::newRow("all nine") << "a\"b/c\\d*e?f<g>h|i:j"
                                  << "a b c d e f g h i j"
                                  << "a b c d e f g h i j";
        QTest::newRow("controls trimmed") << "\t\x01Nom\x1F "
                                          << "Nom"
                                          << "Nom";
        QTest::newRow("UTF-8 mark, then a forbidden character")
            << QString::fromUtf16(u"\u00EF\u00BB\u00BF<Dupont") << QString::fromUtf16(u"\u00EF\u00BB\u00BF Dupont")
            << "Dupont";
        QTest::newRow("inner controls become blanks") << "a\tb\nc\x7F" "d"
                                                      << "a b c d"
                                                      << "a b c d";
        QTest::newRow("UTF-8 as Windows-1252 bytes")
            << asCp1252Bytes("Zo\xC3\xAB \xC3\x89lise") << asCp1252Bytes("Zo\xC3\xAB \xC3\x89lise")
            << QStringLiteral("Zo\u00EB \u00C9lise");
        QTest::newRow("UTF-8 euro via 0x82 0xAC")
            << QStringLiteral("\u00E2\u201A\u00AC 5") << QStringLiteral("\u00E2\u201A\u00AC 5")
            << QStringLiteral("\u20AC 5");
        QTest::newRow("Windows-1252 name kept")
            << QStringLiteral("Ren\u00E9e") << QStringLiteral("Ren\u00E9e") << QStringLiteral("Ren\u00E9e");
        QTest::newRow("outside Windows-1252 kept")
            << QStringLiteral("\u0141\u00F3d\u017A") << QStringLiteral("\u0141\u00F3d\u017A")
            << QStringLiteral("\u0141\u00F3d\u017A");
        QTest::newRow("nbsp is not trimmed")
            << QStringLiteral("\u00A0x") << QStringLiteral("\u00A0x") << QStringLiteral("\u00A0x");
        // A name that reads as something else: a right-to-left override makes "rlo<U+202E>FDP.exe"
        // show as "rloexe.PDF".
        QTest::newRow("right-to-left override")
            << QStringLiteral("rlo\u202EFDP.exe") << QStringLiteral("rlo FDP.exe") << QStringLiteral("rlo FDP.exe");
        QTest::newRow("C1 controls, line and paragraph separators")
            << QStringLiteral("\u0085a\u0080b\u009Fc\u2028d\u2029") << QStringLiteral("a b c d")
            << QStringLiteral("a b c d");
        QTest::newRow("every bidirectional control")
            << QStringLiteral("\u200Ea\u200Fb\u202Ac\u202Bd\u202Ce\u202Df\u2066g\u2067h\u2068i\u2069")
            << QStringLiteral("a b c d e f g h i") << QStringLiteral("a b c d e f g h i");
        QTest::newRow("neighbours of the bidirectional controls kept")
            << QStringLiteral("a\u200Db\u2027c\u202Fd\u2065e\u206A") << QStringLiteral("a\u200Db\u2027c\u202Fd\u2065e\u206A")
            << QStringLiteral("a\u200Db\u2027c\u202Fd\u2065e\u206A");
        // In UTF-8 bytes these are two and three characters that no rule looks at: they go once decoded.
        QTest::newRow("controls as UTF-8 bytes go once decoded")
            << asCp1252Bytes("a\xC2\x85" "b\xE2\x80\xAE" "c\xE2\x80\xA8")
            << asCp1252Bytes("a\xC2\x85" "b\xE2\x80\xAE" "c\xE2\x80\xA8") << QStringLiteral("a b c");
    }
    void names() {
        QFETCH(QString, text);
        QFETCH(QString, filtered);
        QFETCH(QString, cleaned);
        QCOMPARE(filtreinterdits(text), filtered);
        QCOMPARE(NettoieNom(text), cleaned);
    }

    // A name too long for a file system is cut at a character boundary so that the name and its
    // suffix take 255 bytes of UTF-8 at most.
    void fitFileName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("fitted");
        const QString a300(300, u'a');
        QTest::newRow("short name as it is") << QStringLiteral("00004 ") << QStringLiteral(".VCF")
                                             << QStringLiteral("00004 .VCF");
        QTest::newRow("exactly 255 bytes") << QString(251, u'a') << QStringLiteral(".VCF")
                                           << QString(251, u'a') + QStringLiteral(".VCF");
        QTest::newRow("300 letters") << QStringLiteral("00001 ") + a300 << QStringLiteral(" (PHOTO).VCF")
                                     << QStringLiteral("00001 ") + QString(237, u'a') + QStringLiteral(" (PHOTO).VCF");
        // 90 characters of three bytes: 80 of them fit beside "00001 " and ".contact".
        QTest::newRow("CJK") << QStringLiteral("00001 ") + QString(90, QChar(0x4E2D)) << QStringLiteral(".contact")
                             << QStringLiteral("00001 ") + QString(80, QChar(0x4E2D)) + QStringLiteral(".contact");
        QTest::newRow("two-byte letters") << QString(200, QChar(0xE9)) << QStringLiteral(".VCF")
                                          << QString(125, QChar(0xE9)) + QStringLiteral(".VCF");
        // The emoji's four bytes would end one past the limit: it goes whole, never half a pair.
        QTest::newRow("emoji at the cut") << QString(248, u'a') + QStringLiteral("\U0001F600b") << QStringLiteral(".VCF")
                                          << QString(248, u'a') + QStringLiteral(".VCF");
        QTest::newRow("emoji that fits") << QString(247, u'a') + QStringLiteral("\U0001F600b") << QStringLiteral(".VCF")
                                         << QString(247, u'a') + QStringLiteral("\U0001F600.VCF");
        QTest::newRow("blanks at the cut go") << QString(249, u'a') + QStringLiteral("  bc") << QStringLiteral(".VCF")
                                              << QString(249, u'a') + QStringLiteral(".VCF");
    }
    void fitFileName() {
        QFETCH(QString, name);
        QFETCH(QString, suffix);
        QFETCH(QString, fitted);
        const QString got = FitFileName(name, suffix);
        QCOMPARE(got, fitted);
        QVERIFY(got.toUtf8().size() <= 255);
        QVERIFY(QString::fromUtf8(got.toUtf8()) == got); // no half of a pair left
    }

    // A list or log line holds nothing for a terminal to obey: controls but the tab are blanks.
    void shownLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QStringLiteral("NICKNAME:Jo") << QStringLiteral("NICKNAME:Jo");
        QTest::newRow("escape sequence") << QStringLiteral("a\x1B[31mb\x1B]0;title\x07")
                                         << QStringLiteral("a [31mb ]0;title ");
        QTest::newRow("line ends") << QStringLiteral("a\r\nb\nc\rd") << QStringLiteral("a  b c d");
        QTest::newRow("tab kept, DEL and C1 blanked")
            << QStringLiteral("a\tb\x7F" "c\u0085d\u009Be\u00A0f")
            << QStringLiteral("a\tb c d e\u00A0f");
        QTest::newRow("NUL and backspace") << QString::fromUtf16(u"a\0b\bc", 5) << QStringLiteral("a b c");
    }
    void shownLine() {
        QFETCH(QString, line);
        QFETCH(QString, shown);
        QCOMPARE(ShownLine(line), shown);
    }

    // The run is found the same wherever it ends, inside or at the edge of a block of sixteen.
    void asciiRun() {
        const QString ascii = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGH"); // 44
        QCOMPARE(asciiRunLength(QString()), 0);
        QCOMPARE(asciiRunLength(ascii), ascii.size());
        for (qsizetype at = 0; at < ascii.size(); ++at) {
            for (const char16_t c : {char16_t(0x80), char16_t(0xE9), char16_t(0xFFFF)}) {
                QString t = ascii;
                t[at] = QChar(c);
                QCOMPARE(asciiRunLength(t), at);
            }
            QString controls = ascii;
            controls[at] = QChar(u'\t');
            QCOMPARE(asciiRunLength(controls), ascii.size());
            QCOMPARE(asciiRunLength(controls, 0x20), at);
        }
    }

    void reDecode_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ascii") << "plain"
                               << "plain";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("two-byte") << QStringLiteral("\u00C3\u00A9t\u00C3\u00A9") << QStringLiteral("\u00E9t\u00E9");
        QTest::newRow("four-byte") << QStringLiteral("\u00F0\u0178\u02DC\u20AC") << QStringLiteral("\U0001F600");
        QTest::newRow("cut sequence kept") << QStringLiteral("\u00C3") << QStringLiteral("\u00C3");
        QTest::newRow("overlong kept") << QStringLiteral("\u00C0\u00AF") << QStringLiteral("\u00C0\u00AF");
        QTest::newRow("two-byte after a long ASCII run")
            << QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz \u00C3\u00A9")
            << QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz \u00E9");
        QTest::newRow("no exact byte kept")
            << QStringLiteral("\u00C3\u00A9\u4E2D") << QStringLiteral("\u00C3\u00A9\u4E2D");
    }
    void reDecode() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ReDecodeUtf8(text), expected);
    }

    void encodeFile() {
        const QString abc = m_dir.filePath(QStringLiteral("abc.jpg"));
        writeBytes(abc, "abc");
        QByteArray s("junk");
        QVERIFY(EncodeFile(abc, s));
        QCOMPARE(s, QByteArray("YWJj"));

        QByteArray sixty;
        for (int i = 0; i < 60; ++i)
            sixty += char(i);
        const QString longer = m_dir.filePath(QStringLiteral("sixty.jpg"));
        writeBytes(longer, sixty);
        QVERIFY(EncodeFile(longer, s));
        const QByteArray b64 = sixty.toBase64();
        QCOMPARE(s, b64.left(76) + "\r\n" + b64.mid(76));

        const QString empty = m_dir.filePath(QStringLiteral("empty.jpg"));
        writeBytes(empty, QByteArray());
        s = "junk";
        QVERIFY(!EncodeFile(empty, s));
        QVERIFY(s.isEmpty());

        s = "junk";
        QVERIFY(!EncodeFile(m_dir.filePath(QStringLiteral("missing.jpg")), s));
        QVERIFY(s.isEmpty());

        const QString folder = m_dir.filePath(QStringLiteral("folder.jpg"));
        QVERIFY(QDir().mkpath(folder));
        s = "junk";
        QVERIFY(!EncodeFile(folder, s));
        QVERIFY(s.isEmpty());
    }

    // A picture of more than 16 MB is refused from its size alone: a sparse file of 200 MB is
    // never read. 16 MB itself is read.
    void pictureSize() {
        const QString limit = m_dir.filePath(QStringLiteral("limit.jpg"));
        const QString sparse = m_dir.filePath(QStringLiteral("sparse.jpg"));
        for (const auto& [path, size] : {std::pair{limit, kPictureMaxBytes}, std::pair{sparse, qint64(200) << 20}}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(size));
        }
        QCOMPARE(ReadPicture(limit).size(), kPictureMaxBytes);
        QFile::resize(limit, kPictureMaxBytes + 1);
        QByteArray s("junk");
        for (const QString& path : {limit, sparse}) {
            try {
                EncodeFile(path, s);
                QFAIL("no error");
            } catch (const FileReadError& e) {
                const qint64 size = QFileInfo(path).size();
                QCOMPARE(e.message(), QStringLiteral("The picture \"%1\" holds %2 bytes, more than the 16 MB a "
                                                     "picture may have: it was left out")
                                          .arg(path)
                                          .arg(size));
            }
            QVERIFY_THROWS_EXCEPTION(FileReadError, ReadPicture(path));
        }
        QVERIFY(s.isEmpty());
    }

    void ecrirePhoto_data() {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("continuation");
        QTest::addColumn<QStringList>("lines");
        const QString photo = QStringLiteral("PHOTO;ENCODING=BASE64;TYPE=JPEG:");
        const QByteArray d44(44, 'A'), d48(48, 'B'), d156(156, 'C');
        QTest::newRow("empty data writes nothing") << photo << QByteArray() << " " << QStringList();
        QTest::newRow("76 characters, one line") << photo << d44 << " " << QStringList{photo + QString(d44)};
        QTest::newRow("78 then 2") << photo << d48 << " "
                                   << QStringList{photo + QString(d48.left(46)), " " + QString(d48.right(2))};
        QTest::newRow("10 characters padded")
            << photo << QByteArray("0123456789") << " " << QStringList{photo + "0123456789=="};
        QTest::newRow("7 gets one =") << QString() << QByteArray("abcdefg") << " " << QStringList{"abcdefg="};
        QTest::newRow("5 gets three =") << QString() << QByteArray("abcde") << " " << QStringList{"abcde==="};
        QTest::newRow("8 gets none") << QString() << QByteArray("abcdefgh") << " " << QStringList{"abcdefgh"};
        QTest::newRow("every blank and line end removed")
            << QString() << QByteArray("ab\r\ncd\nef  g\th") << " " << QStringList{"abcdefgh"};
        QTest::newRow("blanks only: no line") << QString("PHOTO:") << QByteArray(" \r\n\t") << " " << QStringList{};
        QTest::newRow("contact: 156 is two lines")
            << QString() << d156 << "" << QStringList{QString(d156.left(78)), QString(d156.mid(78))};
        QTest::newRow("vCard: 157 data, three lines")
            << QString() << QByteArray(156, 'C') + "DEF\r\nG"
            << " " << QStringList{QString(d156.left(78)), " " + QString(d156.mid(78)), " DEFG"};
    }
    void ecrirePhoto() {
        QFETCH(QString, prefix);
        QFETCH(QByteArray, data);
        QFETCH(QString, continuation);
        QFETCH(QStringList, lines);
        LineList out(QStringList{"BEGIN:VCARD"});
        EcrirePhotoLignes(prefix, data, out, continuation);
        QCOMPARE(out, QStringList{"BEGIN:VCARD"} + lines);
    }

    void writeFileAtomic_data() { bothWays(); }
    void writeFileAtomic() {
        QFETCH(bool, quick);
        const FileAccess access = quick ? FileAccess::Quick : FileAccess::Portable;
        const QString file = m_dir.filePath(QStringLiteral("atomic.vcf"));
        WriteFileAtomic(file, "first", WriteTarget::UserChosen, access);
        WriteFileAtomic(file, "second", WriteTarget::UserChosen, access);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("second"));
        try {
            WriteFileAtomic(m_dir.path(), "x", WriteTarget::UserChosen, access);
            QFAIL("no error raised");
        } catch (const FileWriteError& e) {
            QVERIFY(e.message().contains(m_dir.path()));
        }
    }

#ifdef Q_OS_UNIX
    // A link to a file: the file it names gets the new text and the link stays. A link to a
    // missing file is refused, so nothing is created elsewhere. No temporary file is left.
    void writeFileAtomicLinks_data() { bothWays(); }
    void writeFileAtomicLinks() {
        QFETCH(bool, quick);
        const FileAccess access = quick ? FileAccess::Quick : FileAccess::Portable;
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("real.vcf"));
        const QString link = dir.filePath(QStringLiteral("link.vcf"));
        const QString dangling = dir.filePath(QStringLiteral("dangling.vcf"));
        WriteFileAtomic(real, "old", WriteTarget::UserChosen, access);
        QVERIFY(QFile::link(real, link));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("missing.vcf")), dangling));
        WriteFileAtomic(link, "new", WriteTarget::UserChosen, access);
        QVERIFY(QFileInfo(link).isSymLink());
        QFile f(real);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("new"));
        QVERIFY_THROWS_EXCEPTION(FileWriteError, WriteFileAtomic(dangling, "x", WriteTarget::UserChosen, access));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 (QStringList{"dangling.vcf", "link.vcf", "real.vcf"}));
    }
#endif

    // A file made in one step: all of it under its name, or nothing when the name is taken
    // (whatever holds it stays as it was) or the folder is missing.
    void createComplete_data() {
        QTest::addColumn<QString>("taken"); // what holds the name first: "", "file", "folder", "link"
        QTest::addColumn<QString>("name");
        QTest::addColumn<Platform::NewFile>("result");
        QTest::newRow("new") << "" << "new.vcf" << Platform::NewFile::Created;
        QTest::newRow("empty contents") << "" << "empty.vcf" << Platform::NewFile::Created;
        QTest::newRow("file") << "file" << "taken.vcf" << Platform::NewFile::NameTaken;
        QTest::newRow("folder") << "folder" << "taken.vcf" << Platform::NewFile::NameTaken;
#ifdef Q_OS_UNIX
        QTest::newRow("link to a missing file") << "link" << "taken.vcf" << Platform::NewFile::NameTaken;
#endif
        QTest::newRow("missing folder") << "" << "missing/new.vcf" << Platform::NewFile::NotDone;
    }
    void createComplete() {
        QFETCH(QString, taken);
        QFETCH(QString, name);
        QFETCH(Platform::NewFile, result);
        QTemporaryDir dir;
        const QString file = dir.filePath(name);
        if (Platform::createComplete(QFile::encodeName(dir.filePath(QStringLiteral("probe"))), "") !=
                Platform::NewFile::Created)
            QSKIP("no file made in one step here");
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("probe"))));
        if (taken == u"file")
            writeBytes(file, "old");
        else if (taken == u"folder")
            QVERIFY(QDir().mkdir(file));
        else if (taken == u"link")
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere.vcf")), file));
        const QByteArray data = name.startsWith(u"empty") ? QByteArray() : QByteArray(70000, 'v');
        QCOMPARE(Platform::createComplete(QFile::encodeName(file), data), result);
        QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        if (result == Platform::NewFile::NotDone) {
            QVERIFY(left.isEmpty());
            return;
        }
        QCOMPARE(left, QStringList{name});
        QFile f(file);
        if (taken.isEmpty() || taken == u"file") {
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), taken.isEmpty() ? data : QByteArray("old"));
        } else {
            QVERIFY(!QFileInfo(file).isFile());
        }
    }

    void pictureFolder() {
        QTemporaryDir dir;
        const QString folder = dir.path();
        writeBytes(dir.filePath(QStringLiteral("Dupont Jean.jpg")), "x");
        if (QFileInfo::exists(dir.filePath(QStringLiteral("DUPONT JEAN.JPG"))))
            QSKIP("The file system ignores letter case: names that differ only in case are one file");
        writeBytes(dir.filePath(QStringLiteral("martin paul.JPG")), "x");
        writeBytes(dir.filePath(QStringLiteral("MARTIN PAUL.jpg")), "x");
        writeBytes(dir.filePath(QStringLiteral("\u00C9lise.jpg")), "x");
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Folder.jpg"))));
        writeBytes(dir.filePath(QStringLiteral("folder.JPG")), "x");
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Only Folder.jpg"))));

        QCOMPARE(PictureFolder(folder).find(QStringLiteral("Dupont Jean.jpg")), folder + "/Dupont Jean.jpg");
        QCOMPARE(PictureFolder(folder).find(QStringLiteral("dupont jean.JPG")), folder + "/Dupont Jean.jpg");
        // Several candidates: the first in UTF-16 order ('M' before 'm').
        QCOMPARE(PictureFolder(folder).find(QStringLiteral("Martin Paul.jpg")), folder + "/MARTIN PAUL.jpg");
        QCOMPARE(PictureFolder(folder).find(QStringLiteral("martin paul.JPG")), folder + "/martin paul.JPG");
        QCOMPARE(PictureFolder(folder).find(QStringLiteral("\u00E9LISE.JPG")), folder + QStringLiteral("/\u00C9lise.jpg"));
        QCOMPARE(PictureFolder(folder).find(QStringLiteral("Folder.jpg")), folder + "/folder.JPG");
        QCOMPARE(PictureFolder(folder).find(QStringLiteral("Only Folder.jpg")), QString());
        QCOMPARE(PictureFolder(folder).find(QStringLiteral("Nobody.jpg")), QString());
        QCOMPARE(PictureFolder(folder + "/").find(QStringLiteral("Dupont Jean.jpg")), folder + "/Dupont Jean.jpg");
        QCOMPARE(PictureFolder(folder + "/missing").find(QStringLiteral("Dupont Jean.jpg")), QString());
    }

    void joinPath_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("joined");
        QTest::newRow("plain") << "/photos"
                               << "/photos/a.jpg";
        QTest::newRow("slash") << "/photos/"
                               << "/photos/a.jpg";
        QTest::newRow("backslash") << "C:\\photos\\"
                                   << "C:\\photos\\a.jpg";
        QTest::newRow("empty") << ""
                               << "a.jpg";
    }
    void joinPath() {
        QFETCH(QString, folder);
        QFETCH(QString, joined);
        QCOMPARE(JoinPath(folder, QStringLiteral("a.jpg")), joined);
    }

    void appConfigDir() {
        const QByteArray saved = qgetenv("APPDATA");
        const bool had = qEnvironmentVariableIsSet("APPDATA");
        qputenv("APPDATA", "/some/roaming");
        QCOMPARE(GetAppConfigDir(), QStringLiteral("/some/roaming"));
        qputenv("APPDATA", "");
        QCOMPARE(GetAppConfigDir(), QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
        qunsetenv("APPDATA");
        QCOMPARE(GetAppConfigDir(), QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
        QVERIFY(!GetAppConfigDir().isEmpty());
        if (had)
            qputenv("APPDATA", saved);
    }
};

QTEST_GUILESS_MAIN(TestUtilities)
#include "tst_utilities.moc"
