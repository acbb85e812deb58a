// The phone-book action: pictures of the photos folder copied into a MyPhoneExplorer phone
// book's ImageCache folder, and the cards marked for them.
#include "conversionhelpers.h"
#include "fakewindow.h"
#include "testrun.h"
#include "ui/presenter/kzform.h"
#include <optional>

#include <QScopeGuard>
#include <QTemporaryDir>

using namespace helpers;

namespace {

// tmp/book/Phonebook.dat, tmp/book/ImageCache/, tmp/photos/, tmp/logos/.
struct BookRun : TestRun {
    using TestRun::run;
    QTemporaryDir tmp;
    QString book, cache, photos, logos;
    LineList out;

    BookRun() {
        win.selectAction(Ctrl::R_MyPhonePhoto);
        opt.action = Action::PhoneBook;
        book = tmp.filePath(QStringLiteral("book"));
        cache = book + QStringLiteral("/ImageCache/");
        photos = tmp.filePath(QStringLiteral("photos"));
        logos = tmp.filePath(QStringLiteral("logos"));
        for (const QString& d : {cache, photos, logos})
            QDir().mkpath(d);
        opt.NomRepPhotos = photos;
        opt.NomRepLogos = logos;
    }
    void photo(const QString& name, const QByteArray& bytes) { QVERIFY(writeBytes(photos + u'/' + name, bytes)); }
    void run(const QByteArray& text) {
        LineList in = inputFromBytes(text);
        run().TraitementMyPhonePhoto(in, out, cache);
    }
    QByteArray bytes() const { return out.toBytes(); }
    QStringList cached() const { return fileNames(cache); }
};

const QString kDoneFr = QStringLiteral("--> Conversion terminée");
// A few bytes that are not text, so that a copy must be exact.
const QByteArray kJpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\r\n\x1A\xFF\xD9", 16);

} // namespace

class TestPhoneBook : public QObject {
    Q_OBJECT

private slots:
    // Photo by name, logo from the photos folder, own flag kept, lines outside cards dropped,
    // empty lines inside kept, X-PHOTOPROPS moved to the end, the counter and the list.
    void phoneBook() {
        BookRun r;
        r.photo(QStringLiteral("Dupont Jean.jpg"), kJpeg);
        r.photo(QStringLiteral("logo_Acme.jpg"), "acme");
        r.photo(QStringLiteral("Martin Paul.jpg"), "paul");
        QVERIFY(writeBytes(r.logos + QStringLiteral("/Sans Luid.jpg"), "nothing"));
        r.run(readBytes(dataPath(QStringLiteral("phonebook/Phonebook.dat"))));
        COMPARE_BYTES(r.bytes(), crlf(readBytes(dataPath(QStringLiteral("phonebook/Phonebook.expected.dat")))));
        QCOMPARE(r.cached(), (QStringList{"00AB.dat", "12.dat", "13.dat"}));
        QCOMPARE(readBytes(r.cache + QStringLiteral("12.dat")), kJpeg);
        QCOMPARE(readBytes(r.cache + QStringLiteral("00AB.dat")), QByteArray("acme"));
        QCOMPARE(readBytes(r.cache + QStringLiteral("13.dat")), QByteArray("paul"));
        QCOMPARE(r.win.counter, QStringLiteral("4 contacts, 3 photos"));
        QCOMPARE(r.win.memo, (QStringList{"Dupont Jean", "Acme", "Martin Paul", "Sans Luid", kDoneFr}));
        QCOMPARE(r.win.log, QStringList{kDoneFr});
    }

    // Existing pictures are never replaced: no copy, no flag, the card's own X-PHOTOPROPS
    // line (upper-cased) before its end.
    void existingPictures() {
        BookRun r;
        r.photo(QStringLiteral("Dupont Jean.jpg"), kJpeg);
        r.photo(QStringLiteral("logo_Acme.jpg"), "acme");
        r.photo(QStringLiteral("Martin Paul.jpg"), "paul");
        QVERIFY(writeBytes(r.cache + QStringLiteral("12.dat"), "old 12"));
        // A folder of that name counts as an existing picture.
        QVERIFY(QDir(r.cache).mkdir(QStringLiteral("00AB.dat")));
        r.run(readBytes(dataPath(QStringLiteral("phonebook/Phonebook.dat"))));
        COMPARE_BYTES(r.bytes(), crlf(readBytes(dataPath(QStringLiteral("phonebook/Phonebook.cached.expected.dat")))));
        QCOMPARE(readBytes(r.cache + QStringLiteral("12.dat")), QByteArray("old 12"));
        QCOMPARE(r.win.counter, QStringLiteral("4 contacts, 1 photo"));
    }

    // A cache file that holds exactly the picture a card without picture properties would get
    // was copied by a run stopped before it saved the phone book: the card is marked for it,
    // nothing is copied. A different picture, or a card with its own X-PHOTOPROPS, stays as is.
    void picturesOfAStoppedRun() {
        BookRun r;
        r.photo(QStringLiteral("Dupont Jean.jpg"), kJpeg);
        r.photo(QStringLiteral("logo_Acme.jpg"), "acme");
        r.photo(QStringLiteral("Martin Paul.jpg"), "paul");
        QVERIFY(writeBytes(r.cache + QStringLiteral("12.dat"), kJpeg));
        QVERIFY(writeBytes(r.cache + QStringLiteral("13.dat"), "pau"));
        QVERIFY(writeBytes(r.cache + QStringLiteral("14.dat"), "acme"));
        r.run("BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:12\nEND:VCARD\n"
              "BEGIN:VCARD\nN:Martin;Paul;;;\nX-IRMC-LUID:13\nEND:VCARD\n"
              "BEGIN:VCARD\nORG:Acme\nX-IRMC-LUID:14\nX-PHOTOPROPS:0\nEND:VCARD\n");
        COMPARE_BYTES(r.bytes(),
                      crlf("BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:12\nFLAG:EDITED\nX-PHOTOPROPS:1,JPEG\n"
                           "END:VCARD\nBEGIN:VCARD\nN:Martin;Paul;;;\nX-IRMC-LUID:13\nEND:VCARD\n"
                           "BEGIN:VCARD\nORG:Acme\nX-IRMC-LUID:14\nX-PHOTOPROPS:0\nEND:VCARD\n"));
        QCOMPARE(readBytes(r.cache + QStringLiteral("13.dat")), QByteArray("pau"));
        QCOMPARE(r.win.counter, QStringLiteral("3 contacts, 0 photo"));
    }

    // Photos are looked for in the photos folder, logos in the logos folder and then in the
    // photos folder, in any letter case; the window's photo and logo options play no part.
    void lookUps_data() {
        QTest::addColumn<QString>("photoFile");
        QTest::addColumn<QString>("logoFolderFile");
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<QByteArray>("copied");
        const QByteArray both = "BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme;Sales\nX-IRMC-LUID:12\nEND:VCARD\n";
        QTest::newRow("photo before logo") << "Dupont Jean.jpg"
                                           << "" << both << QByteArray("photos/Dupont Jean.jpg");
        QTest::newRow("photo in another case") << "DUPONT jean.JPG"
                                               << "" << both << QByteArray("photos/DUPONT jean.JPG");
        QTest::newRow("logo when no photo") << "logo_acme.jpg"
                                            << "" << both << QByteArray("photos/logo_acme.jpg");
        QTest::newRow("logo from the logos folder") << ""
                                                    << "logo_Acme.jpg" << both << QByteArray("logos/logo_Acme.jpg");
        QTest::newRow("logos folder before the photos folder")
            << "logo_acme.jpg"
            << "logo_Acme.jpg" << both << QByteArray("logos/logo_Acme.jpg");
        QTest::newRow("photo before the logos folder")
            << "Dupont Jean.jpg"
            << "logo_Acme.jpg" << both << QByteArray("photos/Dupont Jean.jpg");
        QTest::newRow("organisation without logo prefix") << "Acme.jpg"
                                                          << "" << both << QByteArray();
        QTest::newRow("no X-IRMC-LUID line")
            << "Dupont Jean.jpg"
            << "" << QByteArray("BEGIN:VCARD\nN:Dupont;Jean;;;\nEND:VCARD\n") << QByteArray();
    }
    void lookUps() {
        QFETCH(QString, photoFile);
        QFETCH(QString, logoFolderFile);
        QFETCH(QByteArray, card);
        QFETCH(QByteArray, copied);
        for (bool options : {true, false}) {
            BookRun r;
            r.opt.photos = options;
            r.opt.logos = options;
            if (!photoFile.isEmpty())
                r.photo(photoFile, photoFile.toUtf8());
            if (!logoFolderFile.isEmpty())
                QVERIFY(writeBytes(r.logos + u'/' + logoFolderFile, logoFolderFile.toUtf8()));
            r.run(card);
            if (copied.isEmpty()) {
                QCOMPARE(r.cached(), QStringList{});
                QVERIFY(!r.bytes().contains("FLAG:EDITED"));
                QCOMPARE(r.win.counter, QStringLiteral("1 contact, 0 photo"));
            } else {
                QCOMPARE(r.cached(), QStringList{"12.dat"});
                QCOMPARE(readBytes(r.cache + QStringLiteral("12.dat")), copied.mid(copied.indexOf('/') + 1));
                QVERIFY(r.bytes().endsWith("\r\nFLAG:EDITED\r\nX-PHOTOPROPS:1,JPEG\r\nEND:VCARD\r\n"));
                QCOMPARE(r.win.counter, QStringLiteral("1 contact, 1 photo"));
            }
        }
    }

    // A folder left empty is none: pictures beside the program's current folder are not taken.
    void emptyFoldersAreNone() {
        QTemporaryDir here;
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(here.path()));
        const auto back = qScopeGuard([&] { QDir::setCurrent(cwd); });
        for (const char* name : {"Dupont Jean.jpg", "logo_Acme.jpg"})
            QVERIFY(writeBytes(here.filePath(QLatin1String(name)), "here"));
        BookRun r;
        r.opt.NomRepPhotos.clear();
        r.opt.NomRepLogos.clear();
        r.run("BEGIN:VCARD\nN:Dupont;Jean;;;\nORG:Acme\nX-IRMC-LUID:12\nEND:VCARD\n");
        QCOMPARE(r.cached(), QStringList{});
        QCOMPARE(r.win.counter, QStringLiteral("1 contact, 0 photo"));
    }

    // The cache file's name: the X-IRMC-LUID line upper-cased, without its keyword, untrimmed.
    void cacheNames_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("plain") << QByteArray("X-IRMC-LUID:12") << "12.dat" << QByteArray("X-IRMC-LUID:12");
        QTest::newRow("lower case") << QByteArray("x-irmc-luid:00ab") << "00AB.dat" << QByteArray("X-IRMC-LUID:00AB");
        QTest::newRow("blanks at the end stay")
            << QByteArray("X-IRMC-LUID:7  ") << "7  .dat" << QByteArray("X-IRMC-LUID:7  ");
        QTest::newRow("every keyword removed")
            << QByteArray("X-IRMC-LUID:x-irmc-luid:9") << "9.dat" << QByteArray("X-IRMC-LUID:X-IRMC-LUID:9");
        QTest::newRow("Windows-1252 accent")
            << QByteArray("X-IRMC-LUID:\xE9") << QStringLiteral("\u00C9.dat") << QByteArray("X-IRMC-LUID:\xC9");
    }
    void cacheNames() {
        QFETCH(QByteArray, line);
        QFETCH(QString, file);
        QFETCH(QByteArray, written);
        BookRun r;
        r.photo(QStringLiteral("Dupont Jean.jpg"), kJpeg);
        r.run("BEGIN:VCARD\nN:Dupont;Jean;;;\n" + line + "\nEND:VCARD\n");
        QCOMPARE(r.cached(), QStringList{file});
        QVERIFY2(r.bytes().contains("\r\n" + written + "\r\n"), r.bytes().constData());
    }

    // Upper-casing keeps UTF-8 text intact: é becomes É, the euro sign stays the euro sign.
    void upperCaseUtf8() {
        BookRun r;
        r.run("BEGIN:VCARD\nNOTE:flag:edited \xC3\xA9t\xC3\xA9 \xE2\x82\xAC "
              "\xC3\xB5\nX-PHOTOPROPS:caf\xC3\xA9\nEND:VCARD\n");
        QCOMPARE(r.bytes(), QByteArray("BEGIN:VCARD\r\nNOTE:FLAG:EDITED \xC3\x89T\xC3\x89 \xE2\x82\xAC \xC3\x95\r\n"
                                       "X-PHOTOPROPS:CAF\xC3\x89\r\nEND:VCARD\r\n"));
    }

    // Cards that run into the next one, cards left open at the end, and lines outside cards.
    void structure_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("counter");
        QTest::newRow("begin inside a card is a plain line")
            << QByteArray("BEGIN:VCARD\nN:A;;;;\nBEGIN:VCARD\nN:B;;;;\nEND:VCARD\n")
            << QByteArray("BEGIN:VCARD\nN:A;;;;\nBEGIN:VCARD\nN:B;;;;\nEND:VCARD\n") << "1 contact, 0 photo";
        QTest::newRow("open card at the end keeps its lines")
            << QByteArray("x\nBEGIN:VCARD\nN:A;;;;\nEND:VCARD\n\nBEGIN:VCARD\nN:B;;;;\n")
            << QByteArray("BEGIN:VCARD\nN:A;;;;\nEND:VCARD\nBEGIN:VCARD\nN:B;;;;\n") << "1 contact, 0 photo";
        QTest::newRow("end lines in any form")
            << QByteArray("begin : vcard  \nTEL:1\n  end:vcard\n") << QByteArray("begin : vcard\nTEL:1\nEND:VCARD\n")
            << "1 contact, 0 photo";
    }
    void structure() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, output);
        QFETCH(QString, counter);
        BookRun r;
        r.run(input);
        QCOMPARE(r.bytes(), crlf(output));
        QCOMPARE(r.win.counter, counter);
    }

    // A text without a card is no phone book: the run says so, and there is nothing to save.
    void noCard() {
        BookRun r;
        r.opt.NomFichierEntree = QStringLiteral("notes.dat");
        r.run("just some notes\nno card here\n");
        QVERIFY(r.bytes().isEmpty());
        QVERIFY2(
            r.win.log.contains(QStringLiteral("-> NoCard Err \"notes.dat\" ne contient aucune ligne BEGIN:VCARD : ce "
                                              "n'est pas un fichier vCard, et aucune fiche n'a été écrite")),
            qPrintable(r.win.log.join(u'\n')));
        QVERIFY(!r.run().report().succeeded());
    }

    void counterTwelveThree() {
        BookRun r;
        r.photo(QStringLiteral("With Photo.jpg"), kJpeg);
        QByteArray in;
        for (int i = 1; i <= 12; ++i) {
            const QByteArray name = i % 4 == 0 ? "With;Photo" : "No;Photo";
            in += "BEGIN:VCARD\nN:" + name + ";;;\nX-IRMC-LUID:" + QByteArray::number(i) + "\nEND:VCARD\n";
        }
        r.run(in);
        QCOMPARE(r.win.counter, QStringLiteral("12 contacts, 3 photos"));
        QCOMPARE(r.cached(), (QStringList{"12.dat", "4.dat", "8.dat"}));
        QCOMPARE(r.bytes().count("FLAG:EDITED"), 3);
    }

    // An X-IRMC-LUID value that is not a plain name writes nothing anywhere: the card gets no
    // picture and the log one line naming the value.
    void hostileNames_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("shown");
        QTest::newRow("parent") << QByteArray("../x") << QByteArray("../X") << "../X";
        QTest::newRow("sub-folder") << QByteArray("a/b") << QByteArray("A/B") << "A/B";
        QTest::newRow("dot dot") << QByteArray("..") << QByteArray("..") << "..";
        QTest::newRow("dot") << QByteArray(".") << QByteArray(".") << ".";
        QTest::newRow("empty") << QByteArray("") << QByteArray("") << "";
        QTest::newRow("drive and backslash") << QByteArray("C:\\x") << QByteArray("C:\\X") << "C:\\X";
        QTest::newRow("backslashes up") << QByteArray("..\\..\\x") << QByteArray("..\\..\\X") << "..\\..\\X";
        QTest::newRow("UTF-8, shown decoded")
            << QByteArray("../\xC3\xA9") << QByteArray("../\xC3\x89") << QStringLiteral("../\u00C9");
        // A control character makes no file name; the log shows it as a blank.
        QTest::newRow("control character") << QByteArray("x\x01y") << QByteArray("X\x01Y") << "X Y";
        QTest::newRow("tab at the end") << QByteArray("12\t") << QByteArray("12\t") << "12\t";
        QTest::newRow("C1 control in UTF-8")
            << QByteArray("a\xC2\x85") << QByteArray("A\xC2\x85") << QStringLiteral("A ");
        // Names that Windows, where the cache lives, refuses or keeps for its devices.
        QTest::newRow("drive colon") << QByteArray("c:12") << QByteArray("C:12") << "C:12";
        QTest::newRow("question mark") << QByteArray("12?") << QByteArray("12?") << "12?";
        QTest::newRow("device") << QByteArray("con") << QByteArray("CON") << "CON";
        QTest::newRow("device with a dot") << QByteArray("nul.x") << QByteArray("NUL.X") << "NUL.X";
        QTest::newRow("numbered device") << QByteArray("com7") << QByteArray("COM7") << "COM7";
    }
    void hostileNames() {
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, written);
        QFETCH(QString, shown);
        BookRun r;
        r.photo(QStringLiteral("Dupont Jean.jpg"), kJpeg);
        QDir().mkpath(r.cache + QStringLiteral("a"));
        QDir().mkpath(r.cache + QStringLiteral("A"));
        const QStringList before = treeEntries(r.tmp.path());
        r.run("BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:" + value + "\nX-PHOTOPROPS:0\nEND:VCARD\n");
        QCOMPARE(treeEntries(r.tmp.path()), before);
        QCOMPARE(r.bytes(),
                 crlf("BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:" + written + "\nX-PHOTOPROPS:0\nEND:VCARD\n"));
        QCOMPARE(r.win.log.size(), 2);
        const QString line = r.win.log.at(0);
        QVERIFY2(line.startsWith(QStringLiteral("-> FileNameError Err ")), qPrintable(line));
        QVERIFY2(line.contains(u'"' + shown + u'"'), qPrintable(line));
        QCOMPARE(r.win.counter, QStringLiteral("1 contact, 0 photo"));
    }

    // A link in the image cache counts as an existing picture, even a dangling one: the copy
    // never goes through it out of the folder.
    void linkInCache() {
#ifdef Q_OS_UNIX
        BookRun r;
        r.photo(QStringLiteral("Dupont Jean.jpg"), kJpeg);
        const QString outside = r.tmp.filePath(QStringLiteral("outside.dat"));
        QVERIFY(QFile::link(outside, r.cache + QStringLiteral("12.dat")));
        r.run("BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:12\nEND:VCARD\n");
        QVERIFY(!QFileInfo::exists(outside));
        QVERIFY(QFileInfo(r.cache + QStringLiteral("12.dat")).isSymLink());
        QCOMPARE(r.bytes(), crlf("BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:12\nEND:VCARD\n"));
#else
        QSKIP("needs symbolic links");
#endif
    }

    // A picture that cannot be copied is logged; the card is written without flag and property.
    void failedCopy() {
        BookRun r;
        r.photo(QStringLiteral("Dupont Jean.jpg"), kJpeg);
        const QString notAFolder = r.tmp.filePath(QStringLiteral("plain"));
        QVERIFY(writeBytes(notAFolder, "old"));
        LineList in = inputFromBytes("BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:12\nEND:VCARD\n");
        r.run().TraitementMyPhonePhoto(in, r.out, notAFolder + u'/');
        QCOMPARE(r.bytes(), crlf("BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:12\nEND:VCARD\n"));
        QCOMPARE(readBytes(notAFolder), QByteArray("old"));
        QCOMPARE(r.win.log.size(), 2);
        QVERIFY2(r.win.log.at(0).startsWith(QStringLiteral("-> FileWriteError Err ")), qPrintable(r.win.log.at(0)));
        QCOMPARE(r.win.counter, QStringLiteral("1 contact, 0 photo"));
    }

    // A picture that exists but cannot be read is logged the same way.
    void unreadablePicture() {
#ifdef Q_OS_UNIX
        BookRun r;
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), r.photos + QStringLiteral("/Dupont Jean.jpg")));
        r.run("BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:12\nEND:VCARD\n");
        QCOMPARE(r.cached(), QStringList{});
        QCOMPARE(r.win.log.size(), 2);
        QVERIFY2(r.win.log.at(0).startsWith(QStringLiteral("-> FileReadError Err ")), qPrintable(r.win.log.at(0)));
#else
        QSKIP("needs /dev/zero");
#endif
    }

    // A picture of more than 16 MB is not copied: one log line, and the card is not marked.
    void pictureTooLarge() {
        BookRun r;
        r.opt.language = Language::English;
        const QString photo = r.photos + QStringLiteral("/Dupont Jean.jpg");
        QVERIFY(makeSparse(photo, qint64(200) << 20));
        r.run("BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:12\nEND:VCARD\n");
        QCOMPARE(r.cached(), QStringList{});
        QCOMPARE(r.bytes(), crlf("BEGIN:VCARD\nN:Dupont;Jean;;;\nX-IRMC-LUID:12\nEND:VCARD\n"));
        QCOMPARE(r.win.log, (QStringList{"-> FileReadError Err The picture \"" + photo +
                                             "\" holds 209715200 bytes, more than the 16 MB a picture may have: "
                                             "it was left out",
                                         "--> Conversion done"}));
    }

    // Through the Run button: ImageCache created beside the phone book, the phone book itself
    // proposed and replaced after the overwrite question.
    void throughTheDriver() {
        QTemporaryDir tmp;
        const QString book = tmp.filePath(QStringLiteral("Phonebook.dat"));
        QVERIFY(writeBytes(book, readBytes(dataPath(QStringLiteral("phonebook/Phonebook.dat")))));
        const QString photos = tmp.filePath(QStringLiteral("photos"));
        QDir().mkpath(photos);
        QVERIFY(writeBytes(photos + QStringLiteral("/Dupont Jean.jpg"), kJpeg));
        FakeWindow win;
        win.selectAction(Ctrl::R_MyPhonePhoto);
        win.edits[Ctrl::E_InputFiles] = book;
        win.edits[Ctrl::E_RepPhotos] = photos;
        win.edits[Ctrl::E_RepLogos] = photos;
        win.saveAnswers.enqueue(book);
        win.boxAnswers.enqueue(MsgResult::Yes);
        TF_Principal p(win);
        pressRun(p);
        QCOMPARE(win.saveRequests.size(), 1);
        QCOMPARE(win.saveRequests.at(0).initialName, book);
        QCOMPARE(win.boxes.size(), 1); // the overwrite question
        QCOMPARE(readBytes(tmp.filePath(QStringLiteral("ImageCache/12.dat"))), kJpeg);
        const QByteArray saved = readBytes(book);
        QVERIFY(saved.startsWith("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Dupont;Jean;;;\r\nX-IRMC-LUID:12\r\nTEL;CELL:0601\r\n"
                                 "FLAG:EDITED\r\nX-PHOTOPROPS:1,JPEG\r\nEND:VCARD\r\n"));
        QCOMPARE(win.counter, QStringLiteral("4 contacts, 1 photo"));
    }

    // Every corpus file: no crash, every card counted and closed.
    void corpus_data() {
        QTest::addColumn<QString>("path");
        const QStringList files = corpusFiles();
        QVERIFY2(!files.isEmpty(), "no corpus files in " CORVANTA_CORPUS);
        for (const QString& f : files)
            QTest::newRow(qPrintable(QDir(QStringLiteral(CORVANTA_CORPUS)).relativeFilePath(f))) << f;
    }
    void corpus() {
        QFETCH(QString, path);
        BookRun r;
        LineList in;
        in.LoadFromFile(path, LineList::LoadForm::Utf8Bytes);
        r.run().TraitementMyPhonePhoto(in, r.out, r.cache);
        const int cards = countCards(path);
        QCOMPARE(r.win.counter,
                 Compte(Language::French, cards, Msg::Contact, Msg::Contacts) + QStringLiteral(", 0 photo"));
        QCOMPARE(r.out.count(QStringLiteral("END:VCARD")), cards);
        QCOMPARE(r.win.log, QStringList{kDoneFr});
    }
};

QTEST_GUILESS_MAIN(TestPhoneBook)
#include "tst_phonebook.moc"
