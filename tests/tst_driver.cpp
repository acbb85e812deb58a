// The Run: checks of each action, reading the input, the error guard, the merge listing, the
// save step and the run guard, driven through a fake window.
#include "fakewindow.h"
#include "ui/presenter/kzform.h"
#include "ui/presenter/runthread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

Q_DECLARE_METATYPE(Language)

namespace {

QByteArray card(const QString& name, const QString& note = QString()) {
    QByteArray c = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:" + name.toUtf8() + ";Jean;;;\r\n";
    if (!note.isEmpty())
        c += "NOTE:" + note.toUtf8() + "\r\n";
    return c + "END:VCARD\r\n";
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(data);
}

// A card line holding a NUL character.
QByteArray withNul() {
    QByteArray a("BEGIN:VCARD\r\nN:a");
    a += '\0';
    return a + "b;;\r\nEND:VCARD\r\n";
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList listing(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestDriver : public QObject {
    Q_OBJECT

    QString m_startDir;
    QTemporaryDir* m_tmp = nullptr;
    FakeWindow* m_win = nullptr;
    TF_Principal* m_main = nullptr;

    QString path(const QString& name) const { return name.isEmpty() ? name : m_tmp->filePath(name); }

    // Outputs as a window would hold them from an earlier run.
    void fillOutputs() {
        m_win->memo = {QStringLiteral("old memo")};
        m_win->log = {QStringLiteral("old log")};
        m_win->counter = QStringLiteral("42");
    }
    bool outputsUntouched() const {
        return m_win->memo == QStringList{QStringLiteral("old memo")} &&
               m_win->log == QStringList{QStringLiteral("old log")} && m_win->counter == QLatin1String("42");
    }

    // A merge of `in` (a folder under the temporary folder) into `out`.
    void setMerge(const QString& in) {
        m_win->selectAction(Ctrl::R_MVCFToSVCF);
        m_win->checks[Ctrl::C_Photo] = false;
        m_win->checks[Ctrl::C_Logos] = false;
        m_win->edits[Ctrl::E_RepEntree] = path(in);
        m_win->edits[Ctrl::E_RepDest] = path(QStringLiteral("out"));
    }
    // The options of a split of `input` (under the temporary folder) into out/, without pictures.
    RunOptions splitOptions(const QString& input) const {
        RunOptions o = testOptions();
        o.action = Action::Split;
        o.photos = o.logos = false;
        o.language = Language::English;
        o.NomFichierEntree = path(input);
        o.NomRepSortie = path(QStringLiteral("out"));
        o.NomRepPhotos = path(QStringLiteral("photos"));
        o.NomRepLogos = path(QStringLiteral("logos"));
        return o;
    }
    void makeMergeInput() {
        QDir(m_tmp->path()).mkpath(QStringLiteral("in"));
        writeFile(path(QStringLiteral("in/a.vcf")), card(QStringLiteral("Alpha")));
        writeFile(path(QStringLiteral("in/b.vcf")), card(QStringLiteral("Beta")));
    }

    // The save dialogs a merge opened, one per answer, and the overwrite questions it asked.
    void checkSaveQuestions(const QStringList& paths, int questions) {
        QCOMPARE(m_win->saveRequests.size(), paths.size());
        QCOMPARE(m_win->saveRequests[0].initialDir, path(QStringLiteral("out")));
        QCOMPARE(m_win->saveRequests[0].initialName, QStringLiteral("previous.vcf"));
        QCOMPARE(m_win->saveRequests[0].filter, QStringLiteral("VCF, DAT (*.VCF, *.DAT)|*.VCF; *.DAT| ALL | *.*"));
        // A name typed without a suffix gets ".vcf".
        QCOMPARE(m_win->saveRequests[0].defaultSuffix, QStringLiteral("vcf"));
        // After No the dialog proposes the declined path.
        for (qsizetype i = 1; i < paths.size(); ++i) {
            QCOMPARE(m_win->saveRequests[i].initialName, path(paths[i - 1]));
            QCOMPARE(m_win->saveRequests[i].initialDir, path(QStringLiteral("out")) + QLatin1Char('/'));
        }
        QCOMPARE(m_win->boxes.size(), questions);
        for (const FakeWindow::Box& b : m_win->boxes) {
            QCOMPARE(b.text, QStringLiteral("File already exists. Overwrite ?"));
            QCOMPARE(b.kind, MsgKind::Warning);
            QCOMPARE(b.question, true);
        }
    }
    // What a merge that was saved as `written` ("" = declined) leaves in the window and the file.
    void checkMergeWritten(const QString& written) {
        if (written.isEmpty()) {
            // Nothing read, nothing written, the outputs as they were.
            QVERIFY(outputsUntouched());
            QCOMPARE(m_main->NomFichierSortie, QStringLiteral("previous.vcf"));
            QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::SaveDeclined);
        } else {
            // The outputs start afresh.
            const QString done = Mess(Language::English, Msg::ConversionDone);
            QCOMPARE(m_win->memo, (QStringList{"Alpha Jean", "Beta Jean", done}));
            QCOMPARE(m_win->log, QStringList{done});
            QCOMPARE(m_win->counter, QStringLiteral("2 contacts"));
            QCOMPARE(m_main->NomFichierSortie, path(written));
            QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::Done);
            const QByteArray out = readFile(path(written));
            QVERIFY(out.contains("Alpha") && out.contains("Beta"));
            QVERIFY(out.indexOf("Alpha") < out.indexOf("Beta"));
        }
    }

private slots:
    void initTestCase() { m_startDir = QDir::currentPath(); }

    void init() {
        m_tmp = new QTemporaryDir;
        QVERIFY(m_tmp->isValid());
        QDir d(m_tmp->path());
        for (const char* sub : {"out", "photos", "logos", "empty", "pb", "pbbad"})
            QVERIFY(d.mkpath(QLatin1String(sub)));
        writeFile(path(QStringLiteral("in.vcf")), card(QStringLiteral("Dupont")));
        writeFile(path(QStringLiteral("zero.vcf")), QByteArray());
        writeFile(path(QStringLiteral("pb/Phonebook.dat")), card(QStringLiteral("Dupont")));
        writeFile(path(QStringLiteral("pb/Empty.dat")), QByteArray());
        writeFile(path(QStringLiteral("pbbad/Phonebook.dat")), card(QStringLiteral("Dupont")));
        writeFile(path(QStringLiteral("pbbad/ImageCache")), "a file where the folder should be");
        m_win = new FakeWindow;
        m_main = new TF_Principal(*m_win);
        m_main->Langue = Language::English;
    }

    void cleanup() {
        QDir::setCurrent(m_startDir);
        delete m_main;
        delete m_win;
        delete m_tmp;
    }

    // Every failed check: its message in the window's language, in a box of its kind, and
    // nothing else happens.
    void checks_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("outdir");
        QTest::addColumn<QString>("indir");
        QTest::addColumn<QString>("photos");
        QTest::addColumn<QString>("logos");
        QTest::addColumn<bool>("photoChecked");
        QTest::addColumn<bool>("logosChecked");
        QTest::addColumn<Language>("language");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("information");

        const QString c = QStringLiteral("contacts"), s = QStringLiteral("split"), m = QStringLiteral("merge"),
                      p = QStringLiteral("phonebook");
        const Language fr = Language::French, en = Language::English;
        const QString in = QStringLiteral("in.vcf"), out = QStringLiteral("out"), ph = QStringLiteral("photos"),
                      lo = QStringLiteral("logos"), no = QStringLiteral("nothere"),
                      pb = QStringLiteral("pb/Phonebook.dat");
        // clang-format off
        QTest::newRow("contacts: input missing (12)") << c << no << out << "" << ph << lo << true << true << fr << QStringLiteral("Le fichier d'entrée n'existe pas") << false;
        QTest::newRow("contacts: input is a folder (12)") << c << out << out << "" << ph << lo << true << true << en << QStringLiteral("The input file does'nt exist") << false;
        QTest::newRow("split: input text empty (12)") << s << "" << out << "" << ph << lo << true << true << en << QStringLiteral("The input file does'nt exist") << false;
        QTest::newRow("contacts: output folder missing (11)") << c << in << no << "" << ph << lo << true << true << en << QStringLiteral("The output directory does'nt exist") << false;
        QTest::newRow("split: output is a file (11)") << s << in << in << "" << ph << lo << true << true << fr << QStringLiteral("Le répertoire de sortie \"{out}\" est un fichier") << false;
        QTest::newRow("contacts: output is a file, English (11)") << c << in << in << "" << ph << lo << true << true << en << QStringLiteral("The output directory \"{out}\" is a file") << false;
        QTest::newRow("contacts: photos missing, checked (10)") << c << in << out << "" << no << no << true << true << fr << QStringLiteral("Le répertoire photo n'existe pas") << false;
        QTest::newRow("split: photos unchecked, logos missing (21)") << s << in << out << "" << no << no << false << true << en << QStringLiteral("The logos directory does'nt exist") << false;
        QTest::newRow("contacts: zero-byte input (9)") << c << "zero.vcf" << out << "" << no << no << false << false << fr << QStringLiteral("Fichier vide : \"{in}\"") << false;
        QTest::newRow("split: zero-byte input, English (9)") << s << "zero.vcf" << out << "" << "" << "" << true << true << en << QStringLiteral("Empty file: \"{in}\"") << false;
        QTest::newRow("phonebook: missing (12)") << p << "pb/none.dat" << "" << "" << ph << lo << false << false << en << QStringLiteral("The input file does'nt exist") << false;
        QTest::newRow("phonebook: photos missing, unchecked (10)") << p << pb << "" << "" << no << lo << false << false << en << QStringLiteral("The photos directory does'nt exist") << false;
        QTest::newRow("phonebook: logos missing, unchecked (21)") << p << pb << "" << "" << ph << no << false << false << fr << QStringLiteral("Le répertoire logo n'existe pas") << false;
        QTest::newRow("merge: input folder text empty (17)") << m << "" << out << "" << ph << lo << true << true << en << QStringLiteral("The input directory does'nt exist") << false;
        QTest::newRow("merge: input folder missing (17)") << m << "" << out << no << ph << lo << true << true << fr << QStringLiteral("Le répertoire d'entrée n'existe pas") << false;
        QTest::newRow("merge: photos missing, checked (10)") << m << "" << out << "out" << no << lo << true << true << en << QStringLiteral("The photos directory does'nt exist") << false;
        QTest::newRow("merge: logos missing, checked (21)") << m << "" << out << "out" << no << no << false << true << en << QStringLiteral("The logos directory does'nt exist") << false;
        QTest::newRow("merge: no VCF entry (18)") << m << "" << no << "empty" << no << no << false << false << fr << QStringLiteral("Pas de fichiers VCF à traiter") << false;
        QTest::newRow("merge: no VCF entry, English (18)") << m << "" << no << "empty" << no << no << false << false << en << QStringLiteral("No VCF file to process") << false;
        // clang-format on
    }

    void checks() {
        QFETCH(QString, action);
        QFETCH(QString, input);
        QFETCH(QString, outdir);
        QFETCH(QString, indir);
        QFETCH(QString, photos);
        QFETCH(QString, logos);
        QFETCH(bool, photoChecked);
        QFETCH(bool, logosChecked);
        QFETCH(Language, language);
        QFETCH(QString, text);
        QFETCH(bool, information);
        text.replace(QLatin1String("{in}"), path(input)).replace(QLatin1String("{out}"), path(outdir));

        const Ctrl radio = action == QLatin1String("contacts") ? Ctrl::R_SVCFToContacts
                           : action == QLatin1String("split")  ? Ctrl::R_SVCFToMVCF
                           : action == QLatin1String("merge")  ? Ctrl::R_MVCFToSVCF
                                                               : Ctrl::R_MyPhonePhoto;
        m_win->selectAction(radio);
        m_win->edits[Ctrl::E_InputFiles] = path(input);
        m_win->edits[Ctrl::E_RepDest] = path(outdir);
        m_win->edits[Ctrl::E_RepEntree] = path(indir);
        m_win->edits[Ctrl::E_RepPhotos] = path(photos);
        m_win->edits[Ctrl::E_RepLogos] = path(logos);
        m_win->checks[Ctrl::C_Photo] = photoChecked;
        m_win->checks[Ctrl::C_Logos] = logosChecked;
        m_main->Langue = language;
        fillOutputs();
        const QStringList before = listing(path(QStringLiteral("out")));

        pressRun(*m_main);

        QCOMPARE(m_win->boxes.size(), 1);
        QCOMPARE(m_win->boxes[0].text, text);
        QCOMPARE(m_win->boxes[0].kind, information ? MsgKind::Information : MsgKind::Warning);
        QCOMPARE(m_win->boxes[0].question, false);
        QVERIFY(outputsUntouched());
        QVERIFY(m_win->saveRequests.isEmpty());
        QCOMPARE(listing(path(QStringLiteral("out"))), before);
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::CheckFailed);
        // The report names the field to put right, by the message's number in the row's name.
        using F = RunReport::Field;
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const int no = tag.mid(tag.lastIndexOf(u'(') + 1).chopped(1).toInt();
        const QHash<int, F> fields{{12, F::InputFile},   {9, F::InputFile},    {11, F::OutputFolder},
                                   {17, F::InputFolder}, {18, F::InputFolder}, {10, F::PhotosFolder},
                                   {21, F::LogosFolder}};
        QVERIFY2(fields.contains(no), qPrintable(tag));
        QCOMPARE(m_main->lastReport().checkField, fields.value(no));
        QVERIFY(!m_main->isRunning());
        // The fields follow the edit boxes even when the run stops at a check.
        QCOMPARE(m_main->NomFichierEntree, path(input));
        QCOMPARE(m_main->NomRepPhotos, path(photos));
    }

    // A file holding only a line break is not empty: the outputs are cleared and the
    // conversion runs (and finds no card).
    void lineBreakOnlyIsNotEmpty() {
        writeFile(path(QStringLiteral("nl.vcf")), "\r\n");
        m_win->selectAction(Ctrl::R_SVCFToMVCF);
        m_win->checks[Ctrl::C_Photo] = false;
        m_win->checks[Ctrl::C_Logos] = false;
        m_win->edits[Ctrl::E_InputFiles] = path(QStringLiteral("nl.vcf"));
        m_win->edits[Ctrl::E_RepDest] = path(QStringLiteral("out"));
        fillOutputs();
        pressRun(*m_main);
        QVERIFY(m_win->boxes.isEmpty());
        QVERIFY(!m_win->memo.contains(QStringLiteral("old memo")));
        QVERIFY(!m_win->log.contains(QStringLiteral("old log")));
        QCOMPARE(m_win->memo.value(m_win->memo.size() - 1), Mess(Language::English, Msg::ConversionDone));
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::Done);
    }

    // The phone book's checks after the save dialog: the ImageCache folder, made only once the
    // output file is chosen, and an empty phone book. Nothing is written, the outputs stay.
    void phoneBookChecksAfterTheDialog_data() {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("information");
        QTest::newRow("ImageCache not creatable (22)")
            << "pbbad/Phonebook.dat" << QStringLiteral("Impossible de créer le répoertoire ImageCache") << true;
        QTest::newRow("empty phone book (9)") << "pb/Empty.dat" << QStringLiteral("Fichier vide : \"{in}\"") << false;
    }
    void phoneBookChecksAfterTheDialog() {
        QFETCH(QString, book);
        QFETCH(QString, text);
        QFETCH(bool, information);
        m_win->selectAction(Ctrl::R_MyPhonePhoto);
        m_win->edits[Ctrl::E_InputFiles] = path(book);
        m_win->edits[Ctrl::E_RepPhotos] = path(QStringLiteral("photos"));
        m_win->edits[Ctrl::E_RepLogos] = path(QStringLiteral("logos"));
        m_win->saveAnswers.enqueue(path(QStringLiteral("out/saved.dat")));
        m_main->Langue = Language::French;
        fillOutputs();
        pressRun(*m_main);
        QCOMPARE(m_win->saveRequests.size(), 1);
        QCOMPARE(m_win->boxes.size(), 1);
        QCOMPARE(m_win->boxes[0].text, text.replace(QLatin1String("{in}"), path(book)));
        QCOMPARE(m_win->boxes[0].kind, information ? MsgKind::Information : MsgKind::Warning);
        QVERIFY(outputsUntouched());
        QVERIFY(listing(path(QStringLiteral("out"))).isEmpty());
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::CheckFailed);
        QCOMPARE(m_main->lastReport().checkField, RunReport::Field::InputFile);
    }

    // A photos or logos box checked while its field is empty: no pictures of that kind, one
    // notice in the run's language, and the run goes on. The phone book reads no box: an empty
    // field is no folder.
    void emptyPictureFolders_data() {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("photos");
        QTest::addColumn<QString>("logos");
        QTest::addColumn<Language>("language");
        QTest::addColumn<QStringList>("notices");
        const QString both = QStringLiteral("--> Pas de répertoire photo choisi : aucune photo ajoutée|"
                                            "--> Pas de répertoire logo choisi : aucun logo ajouté");
        QTest::newRow("split, both empty") << int(Action::Split) << ""
                                           << "" << Language::French << both.split(u'|');
        QTest::newRow("contacts, logos empty, English")
            << int(Action::Contacts) << "photos"
            << "" << Language::English << QStringList{QStringLiteral("--> No logos directory chosen: no logos added")};
        QTest::newRow("merge, photos empty")
            << int(Action::Merge) << ""
            << "logos" << Language::English
            << QStringList{QStringLiteral("--> No photos directory chosen: no photos added")};
        QTest::newRow("phone book, both empty") << int(Action::PhoneBook) << ""
                                                << "" << Language::French << both.split(u'|');
        // Its logos are looked for in the photos folder too.
        QTest::newRow("phone book, logos empty") << int(Action::PhoneBook) << "photos"
                                                 << "" << Language::French << QStringList{};
    }
    void emptyPictureFolders() {
        QFETCH(int, action);
        QFETCH(QString, photos);
        QFETCH(QString, logos);
        QFETCH(Language, language);
        QFETCH(QStringList, notices);
        makeMergeInput();
        const Ctrl radio = Action(action) == Action::Contacts ? Ctrl::R_SVCFToContacts
                           : Action(action) == Action::Split  ? Ctrl::R_SVCFToMVCF
                           : Action(action) == Action::Merge  ? Ctrl::R_MVCFToSVCF
                                                              : Ctrl::R_MyPhonePhoto;
        setMerge(QStringLiteral("in"));
        m_win->selectAction(radio);
        m_win->checks[Ctrl::C_Photo] = true;
        m_win->checks[Ctrl::C_Logos] = true;
        m_win->edits[Ctrl::E_InputFiles] =
            path(radio == Ctrl::R_MyPhonePhoto ? QStringLiteral("pb/Phonebook.dat") : QStringLiteral("in.vcf"));
        m_win->edits[Ctrl::E_RepPhotos] = path(photos);
        m_win->edits[Ctrl::E_RepLogos] = path(logos);
        m_win->saveAnswers.enqueue(path(QStringLiteral("out/saved")));
        m_main->Langue = language;
        fillOutputs();
        pressRun(*m_main);
        QVERIFY(m_win->boxes.isEmpty());
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::Done);
        QVERIFY(m_main->lastReport().errorLines.isEmpty());
        // The notices open the run's log.
        QCOMPARE(m_win->log.mid(0, notices.size()), notices);
        QCOMPARE(m_win->log.size(), notices.size() + 1);
        QCOMPARE(m_win->log.last(), Mess(language, Msg::ConversionDone));
    }

    // An output folder that cannot take a new file fails its check before anything is written,
    // with its own message naming it; the window is pointed at the field.
    void outputFolderThatCannotTakeAFile() {
        QString folder = path(QStringLiteral("readonly"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });
        if (QTemporaryFile(folder + QStringLiteral("/XXXXXX")).open()) {
            // Rights do not stop an administrator: a folder of the system that takes no file.
            folder = QStringLiteral("/proc/self");
            if (!QFileInfo(folder).isDir() || QTemporaryFile(folder + QStringLiteral("/XXXXXX")).open())
                QSKIP("no folder here refuses new files");
        }
        m_win->selectAction(Ctrl::R_SVCFToContacts);
        m_win->checks[Ctrl::C_Photo] = false;
        m_win->checks[Ctrl::C_Logos] = false;
        m_win->edits[Ctrl::E_InputFiles] = path(QStringLiteral("in.vcf"));
        m_win->edits[Ctrl::E_RepDest] = folder;
        m_main->Langue = Language::English;
        fillOutputs();
        pressRun(*m_main);
        QCOMPARE(m_win->boxes.size(), 1);
        const QString prefix = QStringLiteral("Cannot create a file in the output directory \"%1\": ").arg(folder);
        QVERIFY2(m_win->boxes[0].text.startsWith(prefix) && m_win->boxes[0].text.size() > prefix.size(),
                 qPrintable(m_win->boxes[0].text));
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::CheckFailed);
        QCOMPARE(m_main->lastReport().checkField, RunReport::Field::OutputFolder);
        QVERIFY(outputsUntouched());
        if (folder.startsWith(m_tmp->path()))
            QVERIFY(listing(folder).isEmpty());
    }

    // A contacts or split input that cannot be read ends the run with its KzError, thrown again
    // for the window's general error report once the run has ended, before anything is cleared
    // or written.
    void inputReadErrorPropagates_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("kind");
        QTest::newRow("bad UTF-8 after a mark") << QByteArray("\xEF\xBB\xBF"
                                                              "BEGIN:VCARD\r\nN:\xC3\x28;;\r\n")
                                                << QStringLiteral("EncodingError");
        QTest::newRow("NUL character") << withNul() << QStringLiteral("FileReadError");
    }
    void inputReadErrorPropagates() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, kind);
        writeFile(path(QStringLiteral("bad.vcf")), bytes);
        for (Ctrl radio : {Ctrl::R_SVCFToContacts, Ctrl::R_SVCFToMVCF}) {
            m_win->selectAction(radio);
            m_win->checks[Ctrl::C_Photo] = false;
            m_win->checks[Ctrl::C_Logos] = false;
            m_win->edits[Ctrl::E_InputFiles] = path(QStringLiteral("bad.vcf"));
            m_win->edits[Ctrl::E_RepDest] = path(QStringLiteral("out"));
            fillOutputs();
            QString caught;
            try {
                pressRun(*m_main);
                m_main->rethrowRunError();
            } catch (const KzError& e) {
                caught = e.kind();
                QVERIFY2(e.message().contains(path(QStringLiteral("bad.vcf"))), qPrintable(e.message()));
            }
            QCOMPARE(caught, kind);
            QVERIFY(outputsUntouched());
            QVERIFY(listing(path(QStringLiteral("out"))).isEmpty());
            QVERIFY(!m_main->isRunning());
            QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::Error);
        }
    }

    // What escapes a conversion becomes one error line, whatever its type.
    void errorGuardLines_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("line");
        QTest::newRow("toolkit error") << 0 << QStringLiteral("-> FileWriteError Err cannot write x");
        QTest::newRow("standard exception") << 1 << QStringLiteral("-> Error Err boom");
        QTest::newRow("out of memory") << 2 << QStringLiteral("-> OutOfMemory Err Not enough memory to finish the run");
    }
    void errorGuardLines() {
        QFETCH(int, which);
        QFETCH(QString, line);
        RunOptions o = splitOptions(QStringLiteral("in.vcf"));
        // Thrown from the conversion as it shows its first card.
        bool thrown = false;
        m_win->onOutput = [&] {
            if (thrown || m_win->memo.isEmpty())
                return;
            thrown = true;
            if (which == 0)
                throw FileWriteError(QStringLiteral("cannot write x"));
            if (which == 1)
                throw std::runtime_error("boom");
            throw std::bad_alloc();
        };
        Run run(o, *m_win);
        const RunReport report = run.exec();
        QCOMPARE(m_win->log, QStringList{line});
        QCOMPARE(m_win->memo.size(), 1);
        QCOMPARE(report.outcome, RunReport::Outcome::Error);
    }

    // The save step of the merge: answers to the dialog and to the overwrite question.
    void saveStep_data() {
        QTest::addColumn<bool>("existing");      // out/merged.vcf exists before the run
        QTest::addColumn<QStringList>("paths");  // dialog answers; "" = dismissed
        QTest::addColumn<QList<int>>("answers"); // answers to the overwrite question
        QTest::addColumn<QString>("written");    // file that gets the merge, "" = none
        QTest::addColumn<int>("questions");
        const QString merged = QStringLiteral("out/merged.vcf"), other = QStringLiteral("out/other.vcf");
        const int yes = int(MsgResult::Yes), no = int(MsgResult::No), cancel = int(MsgResult::Cancel);
        QTest::newRow("new file: no question") << false << QStringList{merged} << QList<int>{} << merged << 0;
        QTest::newRow("existing, Yes replaces") << true << QStringList{merged} << QList<int>{yes} << merged << 1;
        QTest::newRow("existing, No then other name")
            << true << QStringList{merged, other} << QList<int>{no} << other << 1;
        QTest::newRow("existing, No then Yes")
            << true << QStringList{merged, merged} << QList<int>{no, yes} << merged << 2;
        QTest::newRow("existing, Cancel") << true << QStringList{merged} << QList<int>{cancel} << QString() << 1;
        QTest::newRow("existing, box closed") << true << QStringList{merged} << QList<int>{} << QString() << 1;
        QTest::newRow("dialog dismissed") << false << QStringList{QString()} << QList<int>{} << QString() << 0;
        QTest::newRow("No then dismissed")
            << true << QStringList{merged, QString()} << QList<int>{no} << QString() << 1;
        QTest::newRow("name without extension")
            << false << QStringList{QStringLiteral("out/merged")} << QList<int>{} << QStringLiteral("out/merged") << 0;
    }
    void saveStep() {
        QFETCH(bool, existing);
        QFETCH(QStringList, paths);
        QFETCH(QList<int>, answers);
        QFETCH(QString, written);
        QFETCH(int, questions);
        makeMergeInput();
        setMerge(QStringLiteral("in"));
        const QString merged = path(QStringLiteral("out/merged.vcf"));
        if (existing)
            writeFile(merged, "old file\r\n");
        m_main->NomFichierSortie = QStringLiteral("previous.vcf");
        for (const QString& p : paths)
            m_win->saveAnswers.enqueue(p.isEmpty() ? std::nullopt : std::optional<QString>(path(p)));
        for (int a : answers)
            m_win->boxAnswers.enqueue(MsgResult(a));
        fillOutputs();

        pressRun(*m_main);

        checkSaveQuestions(paths, questions);
        if (QTest::currentTestFailed())
            return;
        checkMergeWritten(written);
        if (QTest::currentTestFailed())
            return;
        if (existing && written != QLatin1String("out/merged.vcf"))
            QCOMPARE(readFile(merged), QByteArray("old file\r\n"));
        QStringList expected;
        if (existing)
            expected.append(QStringLiteral("merged.vcf"));
        if (!written.isEmpty() && !expected.contains(QFileInfo(written).fileName()))
            expected.append(QFileInfo(written).fileName());
        expected.sort();
        QCOMPARE(listing(path(QStringLiteral("out"))), expected);
    }

    // A write that fails is one error line; the old file or folder stays as it was.
    void saveFailure_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("target is a folder") << QStringLiteral("out/dir.vcf");
        QTest::newRow("parent is a file") << QStringLiteral("in.vcf/merged.vcf");
    }
    void saveFailure() {
        QFETCH(QString, target);
        makeMergeInput();
        QVERIFY(QDir(m_tmp->path()).mkpath(QStringLiteral("out/dir.vcf")));
        setMerge(QStringLiteral("in"));
        m_win->saveAnswers.enqueue(path(target));
        pressRun(*m_main);
        QVERIFY(m_win->boxes.isEmpty()); // no overwrite question for a folder
        QCOMPARE(m_win->log.size(), 2);
        QVERIFY2(m_win->log.last().startsWith(QStringLiteral("-> FileWriteError Err ")), qPrintable(m_win->log.last()));
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::Error);
        QVERIFY(QFileInfo(path(QStringLiteral("out/dir.vcf"))).isDir());
        QCOMPARE(readFile(path(QStringLiteral("in.vcf"))), card(QStringLiteral("Dupont")));
        QCOMPARE(listing(path(QStringLiteral("out"))), QStringList{QStringLiteral("dir.vcf")});
    }

#ifdef Q_OS_UNIX
    // Answering Yes no longer deletes the old file: a write cut short (file size limit)
    // leaves it whole.
    void saveFailureKeepsOldFile() {
        makeMergeInput();
        setMerge(QStringLiteral("in"));
        const QString merged = path(QStringLiteral("out/merged.vcf"));
        writeFile(merged, "old file\r\n");
        m_win->saveAnswers.enqueue(merged);
        m_win->boxAnswers.enqueue(MsgResult::Yes);

        struct rlimit old;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        struct rlimit small = old;
        small.rlim_cur = 32;
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        pressRun(*m_main);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(m_win->boxes.size(), 1);
        // A buffered QSaveFile reports a short write at commit() as success: the writer must
        // open it unbuffered so that write() returns the short count.
        QVERIFY2(m_win->log.last().startsWith(QStringLiteral("-> FileWriteError Err ")), qPrintable(m_win->log.last()));
        QCOMPARE(readFile(merged), QByteArray("old file\r\n"));
        QCOMPARE(listing(path(QStringLiteral("out"))), QStringList{QStringLiteral("merged.vcf")});
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::Error);
    }
#endif

    // Entries of every kind whose name ends in .vcf in any case, hidden ones included, read
    // in case-folded name order, then exact name order.
    void mergeOrder() {
        QDir(m_tmp->path()).mkpath(QStringLiteral("in"));
        writeFile(path(QStringLiteral("in/case.vcf")), QByteArray());
        const bool oneCase = QFileInfo::exists(path(QStringLiteral("in/CASE.VCF")));
        QFile::remove(path(QStringLiteral("in/case.vcf")));
        if (oneCase)
            QSKIP("The file system ignores letter case: a.vcf and A.VCF would be one file");
        const QStringList names{QStringLiteral("b.vcf"),       QStringLiteral("a.vcf"), QStringLiteral("C.Vcf"),
                                QStringLiteral(".hidden.vcf"), QStringLiteral("A.VCF"), QStringLiteral("É.vcf")};
        for (const QString& n : names)
            writeFile(path(QStringLiteral("in/") + n), card(QStringLiteral("Name"), QStringLiteral("from ") + n));
        writeFile(path(QStringLiteral("in/notes.txt")), card(QStringLiteral("Txt"), QStringLiteral("from txt")));
        writeFile(path(QStringLiteral("in/x.vcf.bak")), card(QStringLiteral("Bak"), QStringLiteral("from bak")));
        setMerge(QStringLiteral("in"));
        m_win->saveAnswers.enqueue(path(QStringLiteral("out/all.vcf")));
        fillOutputs();
        pressRun(*m_main);

        // The merge starts with empty outputs, as every run does.
        QVERIFY(!m_win->memo.contains(QStringLiteral("old memo")));
        QCOMPARE(m_win->log, QStringList{Mess(Language::English, Msg::ConversionDone)});
        QCOMPARE(m_win->counter, QStringLiteral("6 contacts"));
        const QByteArray out = readFile(path(QStringLiteral("out/all.vcf")));
        const QStringList order{QStringLiteral(".hidden.vcf"), QStringLiteral("A.VCF"), QStringLiteral("a.vcf"),
                                QStringLiteral("b.vcf"),       QStringLiteral("C.Vcf"), QStringLiteral("É.vcf")};
        qsizetype last = -1;
        for (const QString& n : order) {
            const qsizetype at = out.indexOf(("NOTE:from " + n).toUtf8());
            QVERIFY2(at > last, qPrintable(n));
            last = at;
        }
        QVERIFY(!out.contains("from txt") && !out.contains("from bak"));
        // The process's current folder is not changed.
        QCOMPARE(QDir::currentPath(), m_startDir);
    }

    // A read error in the merge (a folder named x.vcf, a NUL) is one error line; the files after
    // it are not read and nothing is saved.
    void mergeReadError_data() {
        QTest::addColumn<bool>("folder");
        QTest::newRow("sub-folder named b.vcf") << true;
        QTest::newRow("NUL in b.vcf") << false;
    }
    void mergeReadError() {
        QFETCH(bool, folder);
        QDir(m_tmp->path()).mkpath(QStringLiteral("in"));
        writeFile(path(QStringLiteral("in/a.vcf")), card(QStringLiteral("Alpha")));
        if (folder)
            QVERIFY(QDir(m_tmp->path()).mkpath(QStringLiteral("in/b.vcf")));
        else
            writeFile(path(QStringLiteral("in/b.vcf")), withNul());
        writeFile(path(QStringLiteral("in/c.vcf")), card(QStringLiteral("Gamma")));
        setMerge(QStringLiteral("in"));
        m_win->saveAnswers.enqueue(path(QStringLiteral("out/merged.vcf")));
        pressRun(*m_main);

        QCOMPARE(m_win->saveRequests.size(), 1);
        QVERIFY(listing(path(QStringLiteral("out"))).isEmpty());
        QCOMPARE(m_win->counter, QStringLiteral("1 contact"));
        QCOMPARE(m_win->log.size(), 1);
        QVERIFY2(m_win->log[0].startsWith(QStringLiteral("-> FileReadError Err ")) &&
                     m_win->log[0].contains(QStringLiteral("b.vcf")),
                 qPrintable(m_win->log[0]));
        QVERIFY(!m_win->memo.contains(Mess(Language::English, Msg::ConversionDone)));
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::Error);
    }

    void mergeOnlyFolderMatches() {
        QVERIFY(QDir(m_tmp->path()).mkpath(QStringLiteral("in/x.vcf")));
        setMerge(QStringLiteral("in"));
        m_win->saveAnswers.enqueue(path(QStringLiteral("out/merged.vcf")));
        pressRun(*m_main);
        QVERIFY(m_win->boxes.isEmpty());
        QCOMPARE(m_win->log.size(), 1);
        QVERIFY(m_win->log[0].startsWith(QStringLiteral("-> FileReadError Err ")));
        QVERIFY(listing(path(QStringLiteral("out"))).isEmpty());
    }

    // The phone book: ImageCache made beside it, the phone book itself proposed, the overwrite question on
    // accepting it, Yes replaces it.
    void phoneBookSave() {
        m_win->selectAction(Ctrl::R_MyPhonePhoto);
        m_win->checks[Ctrl::C_Photo] = false;
        m_win->checks[Ctrl::C_Logos] = false;
        const QString pb = path(QStringLiteral("pb/Phonebook.dat"));
        m_win->edits[Ctrl::E_InputFiles] = pb;
        m_win->edits[Ctrl::E_RepPhotos] = path(QStringLiteral("photos"));
        m_win->edits[Ctrl::E_RepLogos] = path(QStringLiteral("logos"));
        m_win->edits[Ctrl::E_RepDest] = path(QStringLiteral("nothere")); // not looked at
        m_win->saveAnswers.enqueue(pb);
        m_win->boxAnswers.enqueue(MsgResult::Yes);
        bool cacheAtDialog = true;
        m_win->onSaveDialog = [&] { cacheAtDialog = QFileInfo::exists(path(QStringLiteral("pb/ImageCache"))); };
        fillOutputs();
        pressRun(*m_main);

        QVERIFY(!cacheAtDialog);
        QVERIFY(QFileInfo(path(QStringLiteral("pb/ImageCache"))).isDir());
        QCOMPARE(m_win->saveRequests.size(), 1);
        QCOMPARE(m_win->saveRequests[0].initialDir, path(QStringLiteral("pb")) + QLatin1Char('/'));
        QCOMPARE(m_win->saveRequests[0].initialName, pb);
        QCOMPARE(m_win->saveRequests[0].filter, QStringLiteral("DAT (*.DAT)|*.DAT| ALL (*.*) | *.*"));
        QCOMPARE(m_win->boxes.size(), 1);
        QCOMPARE(m_win->boxes[0].question, true);
        QVERIFY(!m_win->memo.contains(QStringLiteral("old memo")));
        QCOMPARE(m_win->memo.last(), Mess(Language::English, Msg::ConversionDone));
        QCOMPARE(m_main->NomFichierSortie, pb);
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::Done);
        const QByteArray written = readFile(pb);
        QVERIFY(written.startsWith("BEGIN:VCARD\r\n") && written.endsWith("END:VCARD\r\n"));
    }

    // An error that ends the phone-book conversion is one error line; what reached the output
    // list is still offered for saving, and the run counts as failed.
    void phoneBookPartialSave() {
        RunOptions o = testOptions();
        o.action = Action::PhoneBook;
        o.language = Language::English;
        o.NomFichierEntree = path(QStringLiteral("pb/Phonebook.dat"));
        o.NomRepPhotos = path(QStringLiteral("photos"));
        o.NomRepLogos = path(QStringLiteral("logos"));
        o.outputFile = path(QStringLiteral("pb/partial.dat"));
        // Thrown from the conversion as it shows its first card.
        bool thrown = false;
        m_win->onOutput = [&] {
            if (!thrown && !m_win->counter.isEmpty()) {
                thrown = true;
                throw FileReadError(QStringLiteral("disk gone"));
            }
        };
        RunReport report = Run(o, *m_win).exec();
        QCOMPARE(m_win->log, QStringList{QStringLiteral("-> FileReadError Err disk gone")});
        QVERIFY(readFile(o.outputFile).startsWith("BEGIN:VCARD\r\n"));
        QCOMPARE(report.savedFile, o.outputFile);
        QCOMPARE(report.outcome, RunReport::Outcome::Error);

        // Chosen to replace the phone book itself, the list cut short is not written over it.
        const QString pb = o.NomFichierEntree;
        const QByteArray before = readFile(pb);
        thrown = false;
        o.outputFile = pb;
        o.overwrite = true;
        report = Run(o, *m_win).exec();
        QCOMPARE(readFile(pb), before);
        QCOMPARE(m_win->log,
                 (QStringList{"-> FileReadError Err disk gone",
                              QStringLiteral("--> \"%1\" was not replaced: the list is incomplete").arg(pb)}));
        QCOMPARE(report.outcome, RunReport::Outcome::Error);
        QCOMPARE(report.filesWritten, 0);
    }

    // The phone book's output file comes first: a cancelled dialog or a declined overwrite
    // leaves no ImageCache folder, no picture and no other trace.
    void phoneBookCancelLeavesNothing_data() {
        QTest::addColumn<bool>("overwrite");
        QTest::newRow("dialog dismissed") << false;
        QTest::newRow("overwrite declined") << true;
    }
    void phoneBookCancelLeavesNothing() {
        QFETCH(bool, overwrite);
        m_win->selectAction(Ctrl::R_MyPhonePhoto);
        const QString pb = path(QStringLiteral("pb/Phonebook.dat"));
        writeFile(pb, "BEGIN:VCARD\r\nN:Dupont;Jean;;;\r\nX-IRMC-LUID:12\r\nEND:VCARD\r\n");
        writeFile(path(QStringLiteral("photos/Dupont Jean.jpg")), "photo");
        m_win->edits[Ctrl::E_InputFiles] = pb;
        m_win->edits[Ctrl::E_RepPhotos] = path(QStringLiteral("photos"));
        m_win->edits[Ctrl::E_RepLogos] = path(QStringLiteral("logos"));
        if (overwrite) {
            m_win->saveAnswers.enqueue(pb);
            m_win->boxAnswers.enqueue(MsgResult::Cancel);
        }
        fillOutputs();
        pressRun(*m_main);
        QCOMPARE(m_win->saveRequests.size(), 1);
        QCOMPARE(m_win->boxes.size(), overwrite ? 1 : 0);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("pb/ImageCache"))));
        QCOMPARE(listing(path(QStringLiteral("pb"))), (QStringList{"Empty.dat", "Phonebook.dat"}));
        QVERIFY(outputsUntouched());
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::SaveDeclined);
    }

    // A run stops at the next line when asked; the phone book's partial list is then not written.
    void stopRequest_data() {
        QTest::addColumn<int>("action");
        QTest::addRow("split") << int(Action::Split);
        QTest::addRow("phone book") << int(Action::PhoneBook);
        QTest::addRow("merge") << int(Action::Merge);
    }
    void stopRequest() {
        QFETCH(int, action);
        makeMergeInput();
        RunOptions o = splitOptions(QStringLiteral("in.vcf"));
        o.action = Action(action);
        if (o.action == Action::PhoneBook)
            o.NomFichierEntree = path(QStringLiteral("pb/Phonebook.dat"));
        o.NomRepEntree = path(QStringLiteral("in"));
        o.outputFile = path(QStringLiteral("out/stopped.vcf"));
        Run run(o, *m_win);
        // Asked as the work starts (its outputs emptied), seen at the first line.
        m_win->onOutput = [&] {
            if (m_win->log.isEmpty())
                run.requestStop(true);
        };
        const RunReport report = run.exec();
        QCOMPARE(report.outcome, RunReport::Outcome::Stopped);
        // A stop is no error.
        QCOMPARE(m_win->log, QStringList{QStringLiteral("--> Run stopped: the window is closing")});
        QVERIFY(report.errorLines.isEmpty());
        QVERIFY(!QFileInfo::exists(o.outputFile));
        QCOMPARE(RunSummary(report, Language::English), QStringLiteral("Stopped: 0 contacts, 0 files written"));
    }

    // Stop (the window stays open) says so in its own words; the outcome is the same.
    void stopByTheUser() {
        writeFile(path(QStringLiteral("three.vcf")),
                  card(QStringLiteral("A")) + card(QStringLiteral("B")) + card(QStringLiteral("C")));
        RunOptions o = splitOptions(QStringLiteral("three.vcf"));
        o.action = Action::Contacts;
        Run run(o, *m_win);
        // Asked once the first card is shown: the run stops at the second card's first line.
        m_win->onOutput = [&] {
            if (m_win->memo.size() == 1)
                run.requestStop(false);
        };
        const RunReport report = run.exec();
        QCOMPARE(report.outcome, RunReport::Outcome::Stopped);
        QCOMPARE(m_win->log.last(), QStringLiteral("--> Run stopped by the user"));
        QCOMPARE(report.filesWritten, 1);
        QVERIFY(report.errorLines.isEmpty());
        QCOMPARE(RunSummary(report, Language::English), QStringLiteral("Stopped: 1 contact, 1 file written"));
    }

    // The line that sums up a run, in both languages: French takes the singular for 0 and 1.
    void summaryLine_data() {
        QTest::addColumn<Language>("language");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<qint64>("cards");
        QTest::addColumn<qint64>("files");
        QTest::addColumn<int>("errors");
        QTest::addColumn<QString>("line");
        using O = RunReport::Outcome;
        // clang-format off
        QTest::newRow("EN done") << Language::English << int(O::Done) << qint64(6) << qint64(6) << 0 << "6 contacts, 6 files written, no errors";
        QTest::newRow("EN one each") << Language::English << int(O::Done) << qint64(1) << qint64(1) << 1 << "1 contact, 1 file written, 1 error";
        QTest::newRow("EN none") << Language::English << int(O::Done) << qint64(0) << qint64(0) << 2 << "0 contacts, 0 files written, 2 errors";
        QTest::newRow("FR done") << Language::French << int(O::Done) << qint64(6) << qint64(6) << 0 << QStringLiteral("6 contacts, 6 fichiers écrits, aucune erreur");
        QTest::newRow("FR none") << Language::French << int(O::Done) << qint64(0) << qint64(0) << 1 << QStringLiteral("0 contact, 0 fichier écrit, 1 erreur");
        QTest::newRow("FR stopped: no error count") << Language::French << int(O::Stopped) << qint64(2) << qint64(2) << 1 << QStringLiteral("Arrêté : 2 contacts, 2 fichiers écrits");
        QTest::newRow("EN not saved") << Language::English << int(O::SaveDeclined) << qint64(3) << qint64(0) << 0 << "Nothing saved: 3 contacts, 0 files written, no errors";
        QTest::newRow("EN error") << Language::English << int(O::Error) << qint64(3) << qint64(2) << 1 << "Ended by an error: 3 contacts, 2 files written, 1 error";
        QTest::newRow("check failed") << Language::English << int(O::CheckFailed) << qint64(0) << qint64(0) << 0 << "";
        // clang-format on
    }
    void summaryLine() {
        QFETCH(Language, language);
        QFETCH(int, outcome);
        QFETCH(qint64, cards);
        QFETCH(qint64, files);
        QFETCH(int, errors);
        QFETCH(QString, line);
        RunReport r;
        r.outcome = RunReport::Outcome(outcome);
        r.cards = cards;
        r.filesWritten = files;
        for (int i = 0; i < errors; ++i)
            r.errorLines << QStringLiteral("-> Error Err x");
        QCOMPARE(RunSummary(r, language), line);
    }

    // A front end that shows progress is told the share done: from 0, never backwards, to the
    // whole input (its lines; the merge's files).
    void progressReachesTheEnd_data() {
        QTest::addColumn<int>("action");
        QTest::addRow("contacts") << int(Action::Contacts);
        QTest::addRow("split") << int(Action::Split);
        QTest::addRow("phone book") << int(Action::PhoneBook);
        QTest::addRow("merge") << int(Action::Merge);
    }
    void progressReachesTheEnd() {
        QFETCH(int, action);
        QByteArray cards;
        for (int i = 0; i < 500; ++i)
            cards += card(QStringLiteral("N%1").arg(i), QStringLiteral("a note"));
        const qint64 lines = cards.count('\n');
        writeFile(path(QStringLiteral("many.vcf")), cards);
        writeFile(path(QStringLiteral("pb/Many.dat")), cards);
        QVERIFY(QDir().mkpath(path(QStringLiteral("in"))));
        for (int i = 0; i < 7; ++i)
            writeFile(path(QStringLiteral("in/%1.vcf").arg(i)), card(QStringLiteral("M%1").arg(i)));
        RunOptions o = splitOptions(Action(action) == Action::PhoneBook ? QStringLiteral("pb/Many.dat")
                                                                        : QStringLiteral("many.vcf"));
        o.action = Action(action);
        o.NomRepEntree = path(QStringLiteral("in"));
        o.outputFile = path(QStringLiteral("out/saved"));
        m_win->showProgress = true;
        const RunReport report = Run(o, *m_win).exec();
        QCOMPARE(report.outcome, RunReport::Outcome::Done);
        const qint64 total = Action(action) == Action::Merge ? 7 : lines;
        QVERIFY(m_win->progress.size() >= (Action(action) == Action::Merge ? 3 : 10));
        QCOMPARE(m_win->progress.first(), std::make_pair(qint64(0), total));
        QCOMPARE(m_win->progress.last(), std::make_pair(total, total));
        for (qsizetype i = 1; i < m_win->progress.size(); ++i) {
            QVERIFY(m_win->progress[i].first >= m_win->progress[i - 1].first);
            QCOMPARE(m_win->progress[i].second, total);
        }
    }

    // The batches that wait when the window looks are shown in order, lines and clears as they
    // came; the counter and the progress go once, as the last batch left them (a clear of the
    // counter in a later batch drops an earlier batch's counter).
    void batchesShown() {
        auto batch = [](std::optional<QString> counter, bool clearsCounter, const QString& logLine) {
            auto b = std::make_shared<ShownBatch>();
            if (clearsCounter)
                b->clears.append(ShownBatch::Kind::ClearCompteur);
            b->log.append(logLine);
            b->notices.push_back(false);
            b->compteur = std::move(counter);
            b->progress = std::make_pair(qint64(logLine.size()), qint64(10));
            return b;
        };
        QStringList counters; // the counter each time it changed
        m_win->showProgress = true;
        m_win->onOutput = [&] {
            if (counters.value(counters.size() - 1) != m_win->counter)
                counters << m_win->counter;
        };
        ShownBatch::showAll({batch(QStringLiteral("1 contact"), false, QStringLiteral("a")),
                             batch(QStringLiteral("2 contacts"), false, QStringLiteral("bb")),
                             batch(std::nullopt, false, QStringLiteral("ccc"))},
                            *m_win);
        QCOMPARE(m_win->log, (QStringList{"a", "bb", "ccc"}));
        QCOMPARE(counters, QStringList{QStringLiteral("2 contacts")});
        QCOMPARE(m_win->progress, (QList<std::pair<qint64, qint64>>{{3, 10}}));

        ShownBatch::showAll({batch(QStringLiteral("3 contacts"), false, QStringLiteral("d")),
                             batch(std::nullopt, true, QStringLiteral("e"))},
                            *m_win);
        QCOMPARE(m_win->counter, QString());
        QCOMPARE(m_win->log, (QStringList{"a", "bb", "ccc", "d", "e"}));
    }

    // The Run button's work goes on a worker thread: Run returns at once, and a stop asked for
    // then ends the run at its next look at the stop token. A big input is read in blocks with
    // that look between them: the run ends before anything is cleared or written.
    void stopWhileReading() {
        QByteArray card("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jane\r\nNOTE:");
        card += QByteArray(200, 'x') + "\r\nEND:VCARD\r\n";
        QFile big(path(QStringLiteral("big.vcf")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        for (qint64 written = 0; written < (9 << 20); written += card.size())
            QCOMPARE(big.write(card), card.size());
        big.close();
        m_win->selectAction(Ctrl::R_SVCFToMVCF);
        m_win->checks[Ctrl::C_Photo] = false;
        m_win->checks[Ctrl::C_Logos] = false;
        m_win->edits[Ctrl::E_InputFiles] = big.fileName();
        m_win->edits[Ctrl::E_RepDest] = path(QStringLiteral("out"));
        fillOutputs();
        m_main->B_goClick();
        QVERIFY(m_main->isRunning());
        QCOMPARE(m_win->runsEnded, 0);
        m_main->requestStop();
        finishRun(*m_main);
        QCOMPARE(m_win->runsEnded, 1);
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::Stopped);
        QCOMPARE(m_win->log.size(), 2);
        QCOMPARE(m_win->log.first(), QStringLiteral("old log"));
        QCOMPARE(m_win->log.last(), QStringLiteral("--> Run stopped: the window is closing"));
        QCOMPARE(m_win->memo, QStringList{QStringLiteral("old memo")});
        QVERIFY(QDir(path(QStringLiteral("out"))).isEmpty());
        QVERIFY(!m_main->isRunning());
    }

    // A press of Run during a run does nothing.
    void runGuard() {
        m_win->selectAction(Ctrl::R_SVCFToMVCF);
        m_win->checks[Ctrl::C_Photo] = false;
        m_win->checks[Ctrl::C_Logos] = false;
        m_win->edits[Ctrl::E_InputFiles] = path(QStringLiteral("in.vcf"));
        m_win->edits[Ctrl::E_RepDest] = path(QStringLiteral("out"));
        m_main->B_goClick();
        QVERIFY(m_main->isRunning());
        // A second press that would fail a check and clear nothing if it ran.
        m_win->edits[Ctrl::E_InputFiles] = path(QStringLiteral("nothere"));
        m_main->B_goClick();
        finishRun(*m_main);
        QVERIFY(m_win->boxes.isEmpty());
        QCOMPARE(m_main->NomFichierEntree, path(QStringLiteral("in.vcf")));
        QCOMPARE(m_win->memo.last(), Mess(Language::English, Msg::ConversionDone));
        QVERIFY(!m_main->isRunning());
        QCOMPARE(m_win->runsEnded, 1);
        QCOMPARE(m_main->lastReport().outcome, RunReport::Outcome::Done);
    }
};

QTEST_GUILESS_MAIN(TestDriver)
#include "tst_driver.moc"
