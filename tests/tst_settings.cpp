// The settings file: start state, reading rules, writing and the round trip.
#include "fakewindow.h"
#include "ui/presenter/kzform.h"
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(Ctrl)

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QString actionOf(const FakeWindow& w) {
    QStringList on;
    const struct {
        Ctrl c;
        const char* name;
    } radios[] = {{Ctrl::R_SVCFToContacts, "contacts"},
                  {Ctrl::R_SVCFToMVCF, "split"},
                  {Ctrl::R_MVCFToSVCF, "merge"},
                  {Ctrl::R_MyPhonePhoto, "phonebook"}};
    for (const auto& r : radios)
        if (w.isChecked(r.c))
            on << QLatin1String(r.name);
    return on.join(QLatin1Char('+'));
}

// Everything the start state is made of, as "key=value" entries.
QHash<QString, QString> stateOf(const TF_Principal& p, const FakeWindow& w) {
    auto b = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    return {
        {"Langue", LanguageCode(p.Langue)},
        {"combo", QString::number(w.combo)},
        {"action", actionOf(w)},
        {"photo", b(w.isChecked(Ctrl::C_Photo))},
        {"logos", b(w.isChecked(Ctrl::C_Logos))},
        {"tagx", b(w.isChecked(Ctrl::C_TagX))},
        {"tagsync", b(w.isChecked(Ctrl::C_TagSync))},
        {"taglabel", b(w.isChecked(Ctrl::C_TagLabel))},
        {"in", b(w.isChecked(Ctrl::C_MyPhoneIn))},
        {"out", b(w.isChecked(Ctrl::C_MyphoneOut))},
        {"outEnabled", b(w.isEnabled(Ctrl::C_MyphoneOut))},
        {"FichierEntree", p.NomFichierEntree},
        {"FichierSortie", p.NomFichierSortie},
        {"RepSortie", p.NomRepSortie},
        {"RepEntree", p.NomRepEntree},
        {"RepPhotos", p.NomRepPhotos},
        {"RepLogos", p.NomRepLogos},
        {"E_InputFiles", w.editText(Ctrl::E_InputFiles)},
        {"E_RepDest", w.editText(Ctrl::E_RepDest)},
        {"E_RepEntree", w.editText(Ctrl::E_RepEntree)},
        {"E_RepPhotos", w.editText(Ctrl::E_RepPhotos)},
        {"E_RepLogos", w.editText(Ctrl::E_RepLogos)},
        {"B_go", w.captions.value(Ctrl::B_go)},
        {"log", w.log.join(QLatin1Char('|'))},
    };
}

// No settings file, and the language line.
void addStartLanguageRows() {
    QTest::newRow("no file: French, split, output box = documents folder")
        << QByteArray()
        << QStringList{"Langue=FR",   "combo=0",        "action=split",   "photo=1",      "logos=1",
                       "tagx=1",      "tagsync=1",      "taglabel=1",     "in=0",         "out=0",
                       "RepSortie=@", "E_RepDest=@",    "E_InputFiles=",  "E_RepEntree=", "E_RepPhotos=",
                       "E_RepLogos=", "FichierSortie=", "B_go=Convertir", "log="};
    QTest::newRow("lang = en, lower case with blanks")
        << QByteArray("  lang = en  \r\n") << QStringList{"Langue=EN", "combo=1", "B_go=Run"};
    QTest::newRow("English is not switched back by a later FR")
        << QByteArray("Lang=EN\r\nLang=FR\r\n") << QStringList{"Langue=EN", "combo=1"};
    QTest::newRow("an unknown language keeps French") << QByteArray("Lang=DE\r\n") << QStringList{"Langue=FR"};
}

// How a line's key is recognised.
void addStartKeyRows() {
    QTest::newRow("REPSORTIE2 is not REPSORTIE")
        << QByteArray("REPSORTIE2=/x\r\n") << QStringList{"RepSortie=@", "E_RepDest=@"};
    QTest::newRow("LANG then TagX=False: the key tests resume after LANG")
        << QByteArray("LANG TagX=False\r\n") << QStringList{"tagx=0", "Langue=FR"};
    QTest::newRow("a key followed by a colon is ignored")
        << QByteArray("InclurePhoto: False\r\n") << QStringList{"photo=1"};
}

// The action, and the MyPhoneExplorer boxes it allows.
void addStartActionRows() {
    QTest::newRow("two ACTION lines: the last known one wins")
        << QByteArray("Action=MyPhonePhoto\r\nAction=SVcfToContact\r\n") << QStringList{"action=contacts"};
    QTest::newRow("an unknown action changes nothing")
        << QByteArray("Action=MVcfToSVcf\r\nAction=Whatever\r\n") << QStringList{"action=merge"};
    QTest::newRow("MyPhoneOut with the contacts action: unchecked and disabled")
        << QByteArray("MyPhoneOut=True\r\nAction=SVcfToContact\r\n")
        << QStringList{"out=0", "outEnabled=0", "action=contacts"};
    QTest::newRow("MyPhoneIn with merge is unchecked")
        << QByteArray("MyPhoneIn=True\r\nMyPhoneOut=True\r\nAction=MVcfToSVcf\r\n")
        << QStringList{"in=0", "out=1", "outEnabled=1"};
}

// How a value is read, for paths and for check boxes.
void addStartValueRows() {
    QTest::newRow("a path keeps what follows its first =, trimmed")
        << QByteArray("RepPhotos =   /a b=c/d  \t\r\n") << QStringList{"RepPhotos=/a b=c/d", "E_RepPhotos=/a b=c/d"};
    QTest::newRow("= last on the line gives an empty path")
        << QByteArray("RepSortie=\r\n") << QStringList{"RepSortie=", "E_RepDest="};
    QTest::newRow("INCLUREPHOTO=true; checks")
        << QByteArray("InclurePhoto=False\r\nINCLUREPHOTO=true;\r\n") << QStringList{"photo=1"};
    QTest::newRow("yes, 1 and nothing uncheck")
        << QByteArray("InclurePhoto=yes\r\nInclureLogo=1\r\nTagX=\r\n") << QStringList{"photo=0", "logos=0", "tagx=0"};
    QTest::newRow("every path key, any case, lines in any order")
        << QByteArray("replogos=/l\nREPPHOTOS=/p\r\nRepEntree=/e\rFichierSortie=/s.vcf\r\n"
                      "repsortie=/o\r\nfichierentree=/in.vcf\r\n")
        << QStringList{"FichierEntree=/in.vcf", "E_InputFiles=/in.vcf", "FichierSortie=/s.vcf",
                       "RepSortie=/o",          "E_RepDest=/o",         "RepEntree=/e",
                       "E_RepEntree=/e",        "RepPhotos=/p",         "RepLogos=/l"};
}

// The file's encoding, with or without a byte order mark.
void addStartEncodingRows() {
    QTest::newRow("Windows-1252 file without mark") << QByteArray("RepEntree=C:\\Donn\xE9"
                                                                  "es\r\n")
                                                    << QStringList{"RepEntree=C:\\Donn\u00E9es"};
    QTest::newRow("UTF-8 file with mark") << QByteArray("\xEF\xBB\xBFRepEntree=/\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\r\n")
                                          << QStringList{"RepEntree=/\u0424\u043E\u0442\u043E"};
    QTest::newRow("invalid UTF-8 after a mark: one error line, defaults stand")
        << QByteArray("\xEF\xBB\xBFLang=EN\r\nRepEntree=/\xC3(\r\n")
        << QStringList{"Langue=FR", "RepEntree=", "log=-> EncodingError Err *"};
}

// The tag boxes, and lines that mean nothing.
void addStartTagAndGarbageRows() {
    QTest::newRow("X-SYNC and X-ABLabel boxes stored")
        << QByteArray("TagSync=False\r\ntaglabel = false\r\n") << QStringList{"tagsync=0", "taglabel=0"};
    QTest::newRow("X-SYNC and X-ABLabel boxes stored checked")
        << QByteArray("TagSync=True\r\nTagLabel=TRUE\r\n") << QStringList{"tagsync=1", "taglabel=1"};
    QTest::newRow("garbage lines are ignored")
        << QByteArray("\r\n=\r\n;;;\r\nTagX\r\n   \r\n") << QStringList{"tagx=1", "action=split", "log="};
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;    // the settings folder, ending in "/"
    QString m_documents; // the user's documents folder, in a home folder of the test's own

    // Whether the documents folder follows HOME here (the test may then remove it).
    bool ownDocuments() const { return m_documents.startsWith(m_dir.path() + u'/'); }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        qputenv("APPDATA", QFile::encodeName(m_dir.path()));
        // A home of the test's own, with its documents folder where the platform puts it.
        qputenv("HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("home"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("home/.config"))));
        m_documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (ownDocuments())
            QVERIFY(QDir().mkpath(m_documents));
        m_folder = m_dir.path() + QStringLiteral("/Corvanta/");
        QDir(m_folder).removeRecursively();
    }

    void startState_data() {
        QTest::addColumn<QByteArray>("file"); // empty: no file at all
        QTest::addColumn<QStringList>("expected");
        addStartLanguageRows();
        addStartKeyRows();
        addStartActionRows();
        addStartValueRows();
        addStartEncodingRows();
        addStartTagAndGarbageRows();
    }

    void startState() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, expected);
        if (!file.isEmpty()) {
            QVERIFY(QDir().mkpath(m_folder));
            writeAll(m_folder + QStringLiteral("Config.txt"), file);
        }
        FakeWindow w;
        // Checked at every start unless the file says otherwise, whatever the window held.
        w.checks[Ctrl::C_TagSync] = false;
        w.checks[Ctrl::C_TagLabel] = false;
        TF_Principal p(w);
        QVERIFY(p.FormCreate());
        QCOMPARE(p.NomRepCour, m_folder);
        QVERIFY(QFileInfo(m_folder).isDir());
        QVERIFY(w.boxes.isEmpty());

        const QHash<QString, QString> state = stateOf(p, w);
        for (const QString& e : expected) {
            const qsizetype eq = e.indexOf(QLatin1Char('='));
            const QString key = e.left(eq);
            QString want = e.mid(eq + 1);
            QVERIFY2(state.contains(key), qPrintable(key));
            want.replace(QLatin1Char('@'), m_documents);
            if (want.endsWith(QLatin1Char('*')))
                QVERIFY2(state[key].startsWith(want.chopped(1)), qPrintable(key + QStringLiteral(": ") + state[key]));
            else
                QCOMPARE(state[key], want);
        }
        // Exactly one action is selected, always.
        QVERIFY(!actionOf(w).contains(QLatin1Char('+')));
        QVERIFY(!actionOf(w).isEmpty());
    }

    void folderDefaultsWithoutAppData_data() {
        QTest::addColumn<bool>("unset");
        QTest::newRow("unset") << true;
        QTest::newRow("empty") << false;
    }

    void folderDefaultsWithoutAppData() {
        QFETCH(bool, unset);
        if (unset)
            qunsetenv("APPDATA");
        else
            qputenv("APPDATA", QByteArray());
        QStandardPaths::setTestModeEnabled(true);
        const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QDir(config + QStringLiteral("/Corvanta")).removeRecursively();
        FakeWindow w;
        TF_Principal p(w);
        const bool created = p.FormCreate();
        QStandardPaths::setTestModeEnabled(false);
        QVERIFY(created);
        QCOMPARE(p.NomRepCour, config + QStringLiteral("/Corvanta/"));
        QVERIFY(QFileInfo(p.NomRepCour).isDir());
        QDir(config + QStringLiteral("/Corvanta")).removeRecursively();
    }

    void folderThatCannotBeCreated() {
        // A file where the folder should go: nothing can be created below it.
        const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
        writeAll(blocker, "x");
        qputenv("APPDATA", QFile::encodeName(blocker));
        FakeWindow w;
        TF_Principal p(w);
        p.Langue = Language::French;
        QVERIFY(!p.FormCreate());
        QCOMPARE(w.boxes.size(), 1);
        QCOMPARE(w.boxes[0].text, Mess(Language::English, Msg::CannotCreateSettings)); // English, whatever the language
        QCOMPARE(w.boxes[0].text, QStringLiteral("Unable to create the configuration file"));
        QCOMPARE(w.boxes[0].kind, MsgKind::Information);
        QCOMPARE(w.boxes[0].question, false);
    }

    void writtenFile() {
        FakeWindow w;
        TF_Principal p(w);
        QVERIFY(p.FormCreate());
        p.NomFichierEntree = QStringLiteral("/in/carnet.vcf");
        p.NomFichierSortie = QStringLiteral("/out/tous.vcf");
        p.NomRepEntree = QStringLiteral("/in");
        p.NomRepPhotos = QStringLiteral("/\u0424\u043E\u0442\u043E"); // outside Windows-1252
        p.NomRepLogos = QStringLiteral("/logos=1");
        p.Langue = Language::English;
        w.selectAction(Ctrl::R_MVCFToSVCF);
        w.checks[Ctrl::C_Logos] = false;
        w.checks[Ctrl::C_MyphoneOut] = true;
        w.checks[Ctrl::C_TagSync] = false;
        // Typed but never read by a Run: not stored.
        w.edits[Ctrl::E_RepEntree] = QStringLiteral("/typed");
        p.FormClose();
        QVERIFY(w.log.isEmpty());

        const QByteArray expected = QByteArray("\xEF\xBB\xBF") +
                                    "FichierEntree=/in/carnet.vcf\r\n"
                                    "FichierSortie=/out/tous.vcf\r\n"
                                    "RepSortie=" +
                                    m_documents.toUtf8() +
                                    "\r\n"
                                    "RepEntree=/in\r\n"
                                    "RepPhotos=/\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\r\n"
                                    "RepLogos=/logos=1\r\n"
                                    "Lang=EN\r\n"
                                    "Action=MVcfToSVcf\r\n"
                                    "InclurePhoto=True\r\n"
                                    "InclureLogo=False\r\n"
                                    "TagX=True\r\n"
                                    "MyPhoneIn=False\r\n"
                                    "MyPhoneOut=True\r\n"
                                    "TagSync=False\r\n"
                                    "TagLabel=True\r\n";
        const QByteArray bytes = readAll(m_folder + QStringLiteral("Config.txt"));
        QCOMPARE(bytes, expected);
        QCOMPARE(bytes.count("\r\n"), 15);

        // The next start gets it all back, the X-SYNC box too.
        FakeWindow w2;
        TF_Principal p2(w2);
        QVERIFY(p2.FormCreate());
        QCOMPARE(p2.NomFichierEntree, p.NomFichierEntree);
        QCOMPARE(p2.NomFichierSortie, p.NomFichierSortie);
        QCOMPARE(p2.NomRepEntree, QStringLiteral("/in"));
        QCOMPARE(w2.editText(Ctrl::E_RepEntree), QStringLiteral("/in"));
        QCOMPARE(p2.NomRepPhotos, p.NomRepPhotos);
        QCOMPARE(w2.editText(Ctrl::E_RepLogos), QStringLiteral("/logos=1"));
        QCOMPARE(p2.Langue, Language::English);
        QCOMPARE(w2.captions.value(Ctrl::B_go), QStringLiteral("Run"));
        QCOMPARE(actionOf(w2), QStringLiteral("merge"));
        QVERIFY(!w2.isChecked(Ctrl::C_Logos));
        QVERIFY(!w2.isEnabled(Ctrl::E_RepLogos));
        QVERIFY(w2.isChecked(Ctrl::C_MyphoneOut));
        QVERIFY(!w2.isChecked(Ctrl::C_TagSync));
        QVERIFY(w2.isChecked(Ctrl::C_TagLabel));
    }

    // Without a documents folder, the output folder is the home folder; a file that names no
    // output folder leaves the documents folder.
    void outputFolderOnAFirstStart() {
        if (!ownDocuments())
            QSKIP("the platform's documents folder does not follow HOME here");
        QVERIFY(QDir(m_documents).removeRecursively());
        FakeWindow w;
        TF_Principal p(w);
        QVERIFY(p.FormCreate());
        QCOMPARE(p.NomRepSortie, QDir::homePath());
        QVERIFY(QDir().mkpath(m_documents));
        writeAll(m_folder + QStringLiteral("Config.txt"), "Lang=EN\r\n");
        FakeWindow w2;
        TF_Principal p2(w2);
        QVERIFY(p2.FormCreate());
        QCOMPARE(p2.NomRepSortie, m_documents);
        QCOMPARE(w2.editText(Ctrl::E_RepDest), m_documents);
    }

    void roundTripOfEveryAction_data() {
        QTest::addColumn<Ctrl>("action");
        QTest::newRow("contacts") << Ctrl::R_SVCFToContacts;
        QTest::newRow("split") << Ctrl::R_SVCFToMVCF;
        QTest::newRow("merge") << Ctrl::R_MVCFToSVCF;
        QTest::newRow("phone book") << Ctrl::R_MyPhonePhoto;
    }

    void roundTripOfEveryAction() {
        QFETCH(Ctrl, action);
        FakeWindow w;
        TF_Principal p(w);
        QVERIFY(p.FormCreate());
        w.selectAction(action);
        p.FormClose();
        FakeWindow w2;
        TF_Principal p2(w2);
        QVERIFY(p2.FormCreate());
        QCOMPARE(actionOf(w2), actionOf(w));
    }

    void photosPickIsStoredForLogos() {
        FakeWindow w;
        TF_Principal p(w);
        QVERIFY(p.FormCreate());
        w.folderAnswers.enqueue(QStringLiteral("/pics"));
        p.b_repphotosClick();
        QCOMPARE(w.editText(Ctrl::E_RepLogos), QString());
        p.FormClose();
        FakeWindow w2;
        TF_Principal p2(w2);
        QVERIFY(p2.FormCreate());
        QCOMPARE(w2.editText(Ctrl::E_RepLogos), QStringLiteral("/pics"));
        QCOMPARE(w2.editText(Ctrl::E_RepPhotos), QStringLiteral("/pics"));
    }

    void failedWriteIsLoggedAndKeepsNothingElse() {
        FakeWindow w;
        TF_Principal p(w);
        QVERIFY(p.FormCreate());
        // A folder in the file's place: the write fails, the folder stays as it was.
        QVERIFY(QDir().mkpath(m_folder + QStringLiteral("Config.txt/inside")));
        p.FormClose();
        QCOMPARE(w.log.size(), 1);
        QVERIFY2(w.log[0].startsWith(QStringLiteral("-> FileWriteError Err ")), qPrintable(w.log[0]));
        QVERIFY(w.boxes.isEmpty());
        QVERIFY(QFileInfo(m_folder + QStringLiteral("Config.txt/inside")).isDir());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
