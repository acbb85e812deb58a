// A first start, as a new user meets it: no settings file, a home of its own. The user fills in
// the source file only, keeps the default options and presses Run.
#include "ui/lineview.h"
#include "ui/principal.h"
#include "ui/style.h"
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestFirstStart : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_documents;
    QString m_settings;

    static QStringList entries(const QString& dir) {
        return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        // Nothing of the machine's: the per-user folders all lie in the test's own home.
        qunsetenv("APPDATA");
        const QString home = m_dir.filePath(QStringLiteral("home"));
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
        m_documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        m_settings =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Corvanta");
        if (!m_documents.startsWith(home + u'/') || !m_settings.startsWith(home + u'/'))
            QSKIP("the platform's per-user folders do not follow HOME here");
        QVERIFY(QDir().mkpath(m_documents));
        QVERIFY(ApplyVisualStyle(*qApp));
    }

    void defaultRunWritesIntoTheDocumentsFolder() {
        const QString source = m_dir.filePath(QStringLiteral("home/Downloads/contacts.vcf"));
        QVERIFY(QDir().mkpath(QFileInfo(source).path()));
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Dupont;Jean;;;\r\nORG:Acme\r\nEND:VCARD\r\n"
                "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Martin;Paul;;;\r\nEND:VCARD\r\n");
        f.close();

        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The start state: split, pictures asked for but no folder for them, the documents folder.
        QVERIFY(w.isChecked(Ctrl::R_SVCFToMVCF));
        QVERIFY(w.isChecked(Ctrl::C_Photo) && w.isChecked(Ctrl::C_Logos));
        QCOMPARE(w.editText(Ctrl::E_RepPhotos), QString());
        QCOMPARE(w.editText(Ctrl::E_RepLogos), QString());
        QCOMPARE(w.editText(Ctrl::E_RepDest), m_documents);
        QVERIFY(entries(m_settings).isEmpty());

        // Any message box would mean the first Run failed a check.
        QStringList boxes;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->text();
                box->accept();
            }
        });
        watch.start(10);
        w.setEditText(Ctrl::E_InputFiles, source);
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_go")), Qt::LeftButton);
        // The work goes on on its own thread; the window shows it until it has ended.
        QVERIFY(QTest::qWaitFor([&] { return !w.principal().isRunning(); }, 60000));
        watch.stop();

        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(u'\n')));
        QCOMPARE(entries(m_documents), (QStringList{"00001 Dupont Jean.VCF", "00002 Martin Paul.VCF"}));
        QVERIFY(entries(m_settings).isEmpty());
        QCOMPARE(w.principal().lastReport().outcome, RunReport::Outcome::Done);
        QCOMPARE(w.summary(), QStringLiteral("2 contacts, 2 fichiers écrits, aucune erreur"));
        QCOMPARE(w.compteur(), QStringLiteral("2 contacts"));
        QCOMPARE(w.findChild<LineView*>(QStringLiteral("M_Log"))->lines(),
                 (QStringList{QStringLiteral("--> Pas de répertoire photo choisi : aucune photo ajoutée"),
                              QStringLiteral("--> Pas de répertoire logo choisi : aucun logo ajouté"),
                              QStringLiteral("--> Conversion terminée")}));

        // Closing writes the settings, and only then; the next start keeps the documents folder.
        w.close();
        QCOMPARE(entries(m_settings), QStringList{QStringLiteral("Config.txt")});
        F_Principal next;
        QVERIFY(next.FormCreate());
        QCOMPARE(next.editText(Ctrl::E_RepDest), m_documents);
        QCOMPARE(next.editText(Ctrl::E_InputFiles), source);
    }
};

QTEST_MAIN(TestFirstStart)
#include "tst_window_firststart.moc"
