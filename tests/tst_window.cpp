// The real window, offscreen: its controls, the language switch, a Run and the run guard.
#include "ui/browse.h"
#include "ui/lineview.h"
#include "ui/principal.h"
#include "ui/style.h"
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace {

// A VCF file of `count` small cards.
QString writeCards(const QString& path, int count) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    for (int i = 1; i <= count; ++i)
        f.write(QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Nom%1;Prenom;;;\r\nFN:Prenom Nom%1\r\n"
                               "TEL;CELL:+33 6 00 00 %1\r\nEND:VCARD\r\n")
                    .arg(i)
                    .toUtf8());
    return path;
}

// `bytes` written to `path`; the path, or "" when it cannot be written.
QString writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? path : QString();
}

// A caption as read: without the "&" that marks its Alt letter.
QString shown(const QAbstractButton* b) {
    return b->text().remove(QLatin1Char('&'));
}

int vcfCount(const QString& dir) {
    return QDir(dir).entryList({QStringLiteral("*.vcf")}, QDir::Files).size();
}

// Answers the next modal dialog of type T once it is open (the run may let events run first).
template <typename T> void answerNextDialog(QObject* owner, std::function<void(T*)> answer) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, owner, [timer, answer] {
        if (auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dlg);
        }
    });
    timer->start(10);
}

} // namespace

class TestWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString outDir(const char* name) {
        const QString d = m_dir.filePath(QLatin1String(name));
        QDir().mkpath(d);
        return d;
    }

    // Lets the event loop run until the window's run has ended (its work is on a worker thread).
    static bool runEnded(F_Principal& w) {
        return QTest::qWaitFor([&] { return !w.principal().isRunning(); }, 120000);
    }

    // Ready for a split run of `input` into `out`, without pictures.
    static void prepareSplit(F_Principal& w, const QString& input, const QString& out) {
        w.setEditText(Ctrl::E_InputFiles, input);
        w.setEditText(Ctrl::E_RepDest, out);
        w.setChecked(Ctrl::C_Photo, false);
        w.setChecked(Ctrl::C_Logos, false);
        w.setChecked(Ctrl::R_SVCFToMVCF, true);
        w.principal().R_Button();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        qputenv("APPDATA", QFile::encodeName(m_dir.path()));
        // A home of the test's own: the window's first output folder is its documents folder.
        qputenv("HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("home"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("home/.config"))));
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (documents.startsWith(m_dir.path() + u'/'))
            QVERIFY(QDir().mkpath(documents));
        QVERIFY(ApplyVisualStyle(*qApp));
        QVERIFY(!qApp->styleSheet().isEmpty());
    }

    void init() { QFile::remove(m_dir.filePath(QStringLiteral("Corvanta/Config.txt"))); }

    void controlsAndGeometry() {
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral("Conversion Corvanta version 1.50"));
        QCOMPARE(w.size(), QSize(619, 650));
        QCOMPARE(w.minimumSize(), QSize(619, 650));
        QCOMPARE(w.maximumSize(), QSize(619, 650));
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(w.font().pixelSize(), 11);

        const char* names[] = {
            "Panel1",       "Panel2",       "PageLog",        "TabSheet1",   "TabSheet2",    "L_Fichierstraites",
            "Memo",         "L_Log",        "M_Log",          "L_Langue",    "ComboLangue",  "C_Photo",
            "C_Logos",      "C_TagX",       "C_TagSync",      "C_MyPhoneIn", "C_MyphoneOut", "C_TagLabel",
            "E_InputFiles", "B_InputFile",  "E_RepDest",      "b_repdest",   "E_RepEntree",  "B_RepEntree",
            "E_RepPhotos",  "b_repphotos",  "E_RepLogos",     "B_RepLogos",  "R_Action",     "R_SVCFToContacts",
            "R_SVCFToMVCF", "R_MVCFToSVCF", "R_MyPhonePhoto", "B_go",        "B_Cancel",     "L_Compteur",
            "M_Compteur",   "L_Siteweb"};
        auto* tabs = w.findChild<QTabWidget*>(QStringLiteral("PageLog"));
        QVERIFY(tabs);
        for (int page : {1, 0}) {
            tabs->setCurrentIndex(page);
            for (const char* n : names) {
                QWidget* c = w.findChild<QWidget*>(QLatin1String(n));
                QVERIFY2(c, n);
                if (c->isVisibleTo(&w)) // nothing sticks out of the window
                    QVERIFY2(w.rect().contains(QRect(c->mapTo(&w, QPoint(0, 0)), c->size())), n);
            }
        }
        QCOMPARE(w.findChild<QWidget*>(QStringLiteral("Panel2"))->height(), 292);
        for (const char* e : {"E_InputFiles", "E_RepDest", "E_RepEntree", "E_RepPhotos", "E_RepLogos"})
            QCOMPARE(w.findChild<QLineEdit*>(QLatin1String(e))->width(), 394);
        for (const char* b :
             {"B_InputFile", "b_repdest", "B_RepEntree", "b_repphotos", "B_RepLogos", "B_go", "B_Cancel"})
            QCOMPARE(w.findChild<QPushButton*>(QLatin1String(b))->width(), 91);
        auto* go = w.findChild<QPushButton*>(QStringLiteral("B_go"));
        QCOMPARE(go->height(), 85);
        QVERIFY(go->font().bold());
        QCOMPARE(w.findChild<QTabWidget*>(QStringLiteral("PageLog"))->currentIndex(), 0);
        QCOMPARE(w.findChild<QTabWidget*>(QStringLiteral("PageLog"))->tabText(1), QStringLiteral("Options"));
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("L_Siteweb"))->text().contains(QLatin1String(kSiteWeb)));
        // Start state: split, the output folder box on the documents folder.
        QVERIFY(w.isChecked(Ctrl::R_SVCFToMVCF));
        QVERIFY(!w.isEnabled(Ctrl::E_RepEntree));
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(w.editText(Ctrl::E_RepDest), QFileInfo(documents).isDir() ? documents : QDir::homePath());
        QCOMPARE(shown(w.findChild<QCheckBox*>(QStringLiteral("C_TagSync"))),
                 QStringLiteral("Supprimer les tags X-SYNC"));
    }

    void captionsFollowTheLanguageList() {
        F_Principal w;
        QVERIFY(w.FormCreate());
        auto* combo = w.findChild<QComboBox*>(QStringLiteral("ComboLangue"));
        auto* go = w.findChild<QPushButton*>(QStringLiteral("B_go"));
        auto* photo = w.findChild<QCheckBox*>(QStringLiteral("C_Photo"));
        QCOMPARE(shown(go), QStringLiteral("Convertir"));
        QCOMPARE(shown(photo), QStringLiteral("Inclure photos"));
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        QCOMPARE(w.principal().Langue, Language::English);
        QCOMPARE(shown(go), QStringLiteral("Run"));
        QCOMPARE(shown(photo), QStringLiteral("Include photos"));
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("L_Fichierstraites"))->text(), QStringLiteral("FILES PROCESSED"));
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("L_Log"))->text(), QStringLiteral("LOG"));
        QCOMPARE(shown(w.findChild<QRadioButton*>(QStringLiteral("R_MyPhonePhoto"))),
                 QStringLiteral("Ajout photos/logos à fichier Phonebook.dat"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Conversion Corvanta version 1.50"));
        combo->setCurrentIndex(0);
        emit combo->activated(0);
        QCOMPARE(shown(go), QStringLiteral("Convertir"));

        // Closing stores the language; the next window starts in it.
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        w.close();
        F_Principal w2;
        QVERIFY(w2.FormCreate());
        QCOMPARE(w2.comboIndex(), 1);
        QCOMPARE(shown(w2.findChild<QPushButton*>(QStringLiteral("B_go"))), QStringLiteral("Run"));
    }

    void runFillsTheThreeOutputs() {
        const QString input = writeCards(m_dir.filePath(QStringLiteral("three.vcf")), 3);
        const QString out = outDir("split-out");
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        prepareSplit(w, input, out);
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_go")), Qt::LeftButton);
        QVERIFY(runEnded(w));

        const QString memo = w.findChild<LineView*>(QStringLiteral("Memo"))->toPlainText();
        const QString log = w.findChild<LineView*>(QStringLiteral("M_Log"))->toPlainText();
        QVERIFY2(memo.contains(QStringLiteral("Nom2")), qPrintable(memo));
        QVERIFY2(memo.endsWith(Mess(Language::French, Msg::ConversionDone)), qPrintable(memo));
        QVERIFY2(log.contains(Mess(Language::French, Msg::ConversionDone)), qPrintable(log));
        QCOMPARE(w.compteur(), QStringLiteral("3 contacts"));
        QCOMPARE(vcfCount(out), 3);
        QVERIFY(w.isEnabled(Ctrl::B_go));
    }

    // The lists of the Log page: they follow new lines only when showing the last one, and
    // whole lines are selected and copied.
    void lineViewFollowsAndCopies() {
        LineView view;
        view.resize(200, 120);
        view.show();
        QStringList lines;
        for (int i = 1; i <= 100; ++i)
            lines.append(QStringLiteral("line %1").arg(i));
        view.appendLines(lines);
        QScrollBar* v = view.verticalScrollBar();
        QVERIFY(v->maximum() > 0);
        QCOMPARE(v->value(), v->maximum());
        view.appendLines({QStringLiteral("line 101")});
        QCOMPARE(v->value(), v->maximum());
        v->setValue(10);
        view.appendLines({QStringLiteral("line 102")});
        QCOMPARE(v->value(), 10);
        QCOMPARE(view.lines().size(), 102);
        QCOMPARE(view.toPlainText().section(u'\n', -1), QStringLiteral("line 102"));

        // A click on one line, Shift+click on another: the lines between them.
        const int h = view.fontMetrics().lineSpacing();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(10, 3 + h / 2));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 3 + 2 * h + h / 2));
        QCOMPARE(view.selectedText(), QStringLiteral("line 11\nline 12\nline 13"));
        QTest::keySequence(&view, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("line 11\nline 12\nline 13"));
        QTest::keySequence(&view, QKeySequence::SelectAll);
        QCOMPARE(view.selectedText(), view.toPlainText());

        // A long line can be scrolled to; clearing empties the view.
        view.appendLines({QString(300, u'W')});
        QVERIFY(view.horizontalScrollBar()->maximum() > 0);
        view.clear();
        QVERIFY(view.lines().isEmpty());
        QVERIFY(view.selectedText().isEmpty());
        QCOMPARE(v->maximum(), 0);
    }

    void runGuardDisablesWhatARunReads() {
        const QString input = writeCards(m_dir.filePath(QStringLiteral("many.vcf")), 3000);
        const QString out = outDir("guard-out");
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        prepareSplit(w, input, out);
        const QList<Ctrl> guarded{Ctrl::B_go,           Ctrl::R_SVCFToContacts, Ctrl::R_SVCFToMVCF, Ctrl::R_MVCFToSVCF,
                                  Ctrl::R_MyPhonePhoto, Ctrl::C_Photo,          Ctrl::C_Logos,      Ctrl::C_TagX,
                                  Ctrl::C_TagSync,      Ctrl::C_MyPhoneIn,      Ctrl::C_MyphoneOut, Ctrl::C_TagLabel,
                                  Ctrl::ComboLangue,    Ctrl::B_InputFile,      Ctrl::b_repdest,    Ctrl::B_RepEntree,
                                  Ctrl::b_repphotos,    Ctrl::B_RepLogos};
        QHash<Ctrl, bool> before;
        for (Ctrl c : guarded)
            before[c] = w.isEnabled(c);
        QVERIFY(!before[Ctrl::b_repphotos]); // photos unchecked: the row is off before and after
        QVERIFY(before[Ctrl::C_Photo]);

        // The path fields can be read but not changed.
        const QList<Ctrl> paths{Ctrl::E_InputFiles, Ctrl::E_RepDest, Ctrl::E_RepEntree, Ctrl::E_RepPhotos,
                                Ctrl::E_RepLogos};
        auto readOnly = [&] {
            QStringList on;
            for (Ctrl c : paths)
                if (static_cast<QLineEdit*>(w.control(c))->isReadOnly())
                    on << QString::number(int(c));
            return on;
        };
        QVERIFY(readOnly().isEmpty());
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_go")), Qt::LeftButton);
        // Run has returned; the work goes on on its thread.
        QVERIFY(w.principal().isRunning());
        QStringList enabledDuringRun;
        for (Ctrl c : guarded)
            if (w.isEnabled(c))
                enabledDuringRun << QString::number(int(c));
        QVERIFY2(enabledDuringRun.isEmpty(), qPrintable(enabledDuringRun.join(',')));
        QCOMPARE(readOnly().size(), paths.size());
        QVERIFY(w.isEnabled(Ctrl::B_Cancel));
        auto* field = static_cast<QLineEdit*>(w.control(Ctrl::E_RepDest));
        QTest::keyClicks(field, QStringLiteral("xyz"));
        QCOMPARE(field->text(), out);
        QVERIFY(runEnded(w));
        QVERIFY(readOnly().isEmpty());
        for (Ctrl c : guarded)
            QCOMPARE(w.isEnabled(c), before[c]);
        QCOMPARE(vcfCount(out), 3000);
    }

    void closingDuringARunStopsItAndSaves() {
        const QString input = writeCards(m_dir.filePath(QStringLiteral("long.vcf")), 2000);
        const QString out = outDir("close-out");
        const QString config = m_dir.filePath(QStringLiteral("Corvanta/Config.txt"));
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        prepareSplit(w, input, out);
        // The close arrives as an event while the run is under way: the run stops, then the
        // window closes.
        QTimer::singleShot(0, &w, &QWidget::close);
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_go")), Qt::LeftButton);
        QVERIFY(w.principal().isRunning());
        QVERIFY(w.isVisible());
        QVERIFY(runEnded(w));
        QVERIFY(!w.isVisible());
        QCOMPARE(w.principal().lastReport().outcome, RunReport::Outcome::Stopped);
        QVERIFY(!w.principal().isRunning());
        QVERIFY(vcfCount(out) < 2000);
        const QString log = w.findChild<LineView*>(QStringLiteral("M_Log"))->toPlainText();
        QVERIFY2(log.endsWith(QStringLiteral("--> Traitement arrêté : la fenêtre se ferme")), qPrintable(log));
        // Settings written once the run had returned, with the paths the run read.
        QFile f(config);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("FichierEntree=" + QFile::encodeName(input) + "\r\n"));
    }

    void uncaughtErrorGoesToTheErrorReport() {
        // Marked UTF-8 but not UTF-8: the Run cannot read it.
        const QString input = writeBytes(m_dir.filePath(QStringLiteral("bad-utf8.vcf")),
                                         "\xEF\xBB\xBF"
                                         "BEGIN:VCARD\r\nN:\xC3(;\r\nEND:VCARD\r\n");
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        prepareSplit(w, input, outDir("bad-out"));
        w.appendLog(QStringLiteral("earlier line"));

        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool runningAtBox = true;
        // The error is read on the run's thread and reported once the run has ended.
        answerNextDialog<QMessageBox>(this, [&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            runningAtBox = w.principal().isRunning();
            box->accept();
        });
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_go")), Qt::LeftButton);
        QVERIFY(runEnded(w));
        QVERIFY(!runningAtBox);
        QCOMPARE(title, QStringLiteral("Corvanta"));
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY2(text.contains(QStringLiteral("bad-utf8.vcf")), qPrintable(text));
        QVERIFY2(text.endsWith(QLatin1Char('.')), qPrintable(text));
        QVERIFY(w.isVisible());
        QVERIFY(w.isEnabled(Ctrl::B_go));
        // The outputs are not cleared: reading comes first.
        QCOMPARE(w.findChild<LineView*>(QStringLiteral("M_Log"))->toPlainText(), QStringLiteral("earlier line"));
    }

    void mergeSavesThroughTheSaveDialog() {
        const QString in = outDir("merge-in");
        writeCards(in + QStringLiteral("/a.vcf"), 1);
        writeCards(in + QStringLiteral("/b.VCF"), 1);
        const QString target = m_dir.filePath(QStringLiteral("merged"));
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        w.setEditText(Ctrl::E_RepEntree, in);
        w.setChecked(Ctrl::C_Photo, false);
        w.setChecked(Ctrl::C_Logos, false);
        w.setChecked(Ctrl::R_MVCFToSVCF, true);
        w.principal().R_Button();

        bool confirms = true;
        QString suffix = QStringLiteral("?");
        QStringList filters;
        answerNextDialog<QFileDialog>(this, [&](QFileDialog* dlg) {
            confirms = !dlg->testOption(QFileDialog::DontConfirmOverwrite);
            suffix = dlg->defaultSuffix();
            filters = dlg->nameFilters();
            dlg->selectFile(target);
            static_cast<QDialog*>(dlg)->accept(); // public in QDialog; QFileDialog::accept runs
        });
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_go")), Qt::LeftButton);
        QVERIFY(runEnded(w));
        QVERIFY(!confirms);
        QCOMPARE(suffix, QStringLiteral("vcf"));
        QCOMPARE(filters, (QStringList{"VCF, DAT (*.VCF *.DAT)", "ALL (*)"}));
        // A name typed without a suffix gets ".vcf".
        QVERIFY(QFileInfo(target + QStringLiteral(".vcf")).isFile());
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(w.principal().NomFichierSortie, target + QStringLiteral(".vcf"));
        QCOMPARE(w.compteur(), QStringLiteral("2 contacts"));
    }

    void folderPickerFromTheWindow() {
        const QString pics = outDir("pics");
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        auto* combo = w.findChild<QComboBox*>(QStringLiteral("ComboLangue"));
        combo->setCurrentIndex(1);
        emit combo->activated(1);

        QString prompt;
        bool dirsOnly = false;
        QPoint pos;
        QSize size;
        answerNextDialog<QFileDialog>(this, [&](QFileDialog* dlg) {
            prompt = dlg->labelText(QFileDialog::LookIn);
            dirsOnly = dlg->fileMode() == QFileDialog::Directory && dlg->testOption(QFileDialog::ShowDirsOnly);
            pos = dlg->pos();
            size = dlg->size();
            // Typed into the name box: the folder's listing, which the dialog makes in the
            // background, plays no part in what is chosen.
            auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(pics);
            static_cast<QDialog*>(dlg)->accept(); // public in QDialog; QFileDialog::accept runs
        });
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("b_repphotos")), Qt::LeftButton);
        QCOMPARE(prompt, QStringLiteral("Photos directory"));
        QVERIFY(dirsOnly);
        const QRect wa = w.screen()->availableGeometry();
        QCOMPARE(pos,
                 QPoint(wa.left() + wa.width() / 2 - size.width() / 2, wa.top() + wa.height() / 2 - size.height() / 2));
        QCOMPARE(QDir(w.editText(Ctrl::E_RepPhotos)), QDir(pics));
        // The logos field was empty: it takes the folder, its box does not.
        QCOMPARE(QDir(w.principal().NomRepLogos), QDir(pics));
        QCOMPARE(w.editText(Ctrl::E_RepLogos), QString());
    }

    // A file or folder dropped on the window fills the field it belongs in; nothing is taken
    // during a run.
    void dropFillsTheFieldItBelongsIn_data() {
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<bool>("merge");
        QTest::addColumn<int>("field"); // -1: refused
        QTest::newRow("vcf file") << "cards.vcf" << false << int(Ctrl::E_InputFiles);
        QTest::newRow("DAT file, merge chosen") << "Phonebook.DAT" << true << int(Ctrl::E_InputFiles);
        QTest::newRow("folder, split") << "drop-folder" << false << int(Ctrl::E_RepDest);
        QTest::newRow("folder, merge") << "drop-folder" << true << int(Ctrl::E_RepEntree);
        QTest::newRow("text file") << "notes.txt" << false << -1;
        QTest::newRow("missing file") << "gone.vcf" << false << -1;
    }
    void dropFillsTheFieldItBelongsIn() {
        QFETCH(QString, dropped);
        QFETCH(bool, merge);
        QFETCH(int, field);
        outDir("drop-folder");
        for (const char* f : {"cards.vcf", "Phonebook.DAT", "notes.txt"})
            writeCards(m_dir.filePath(QLatin1String(f)), 1);
        const QString path = QDir::toNativeSeparators(m_dir.filePath(dropped));
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        w.setChecked(merge ? Ctrl::R_MVCFToSVCF : Ctrl::R_SVCFToMVCF, true);
        w.principal().R_Button();
        const QList<Ctrl> fields{Ctrl::E_InputFiles, Ctrl::E_RepDest, Ctrl::E_RepEntree};
        for (Ctrl c : fields)
            w.setEditText(c, QStringLiteral("before"));

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(m_dir.filePath(dropped))});
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &enter);
        QCOMPARE(enter.isAccepted(), field >= 0);
        QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &drop);
        for (Ctrl c : fields)
            QCOMPARE(w.editText(c), int(c) == field ? path : QStringLiteral("before"));
        if (field < 0)
            return;

        // The same drop during a run is refused, and the field keeps what the run read.
        prepareSplit(w, writeCards(m_dir.filePath(QStringLiteral("drop-run.vcf")), 50), outDir("drop-out"));
        const QString before = w.editText(Ctrl::E_InputFiles);
        w.B_goClick();
        QVERIFY(w.principal().isRunning());
        QDragEnterEvent duringEnter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &duringEnter);
        QVERIFY(!duringEnter.isAccepted());
        QDropEvent duringDrop(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &duringDrop);
        QVERIFY(!duringDrop.isAccepted());
        QCOMPARE(w.editText(Ctrl::E_InputFiles), before);
        QVERIFY(runEnded(w));
    }

    // The progress bar ends at 100 %; Stop ends the run (outcome Stopped) and the window stays.
    void progressAndStop() {
        const QString input = writeCards(m_dir.filePath(QStringLiteral("progress.vcf")), 2000);
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        prepareSplit(w, input, outDir("progress-out"));
        auto* bar = w.findChild<QProgressBar*>(QStringLiteral("P_Avancement"));
        auto* stop = w.findChild<QPushButton*>(QStringLiteral("B_Stop"));
        QVERIFY(bar && stop);
        QVERIFY(!stop->isEnabled());
        QList<int> seen;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) { seen.append(value); });
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_go")), Qt::LeftButton);
        QVERIFY(runEnded(w));
        bar->disconnect(this);
        QCOMPARE(w.principal().lastReport().outcome, RunReport::Outcome::Done);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(bar->text(), QStringLiteral("100 %"));
        QVERIFY(std::is_sorted(seen.cbegin(), seen.cend()));
        QVERIFY(!stop->isEnabled());

        // Stop once the first cards are shown: the window stays live during the run.
        const QString out2 = outDir("stop-out");
        const QString big = writeCards(m_dir.filePath(QStringLiteral("progress-big.vcf")), 50000);
        prepareSplit(w, big, out2);
        const QString before = w.compteur();
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_go")), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor(
            [&] { return (!w.compteur().isEmpty() && w.compteur() != before) || !w.principal().isRunning(); }, 60000));
        QVERIFY(stop->isEnabled());
        QTest::mouseClick(stop, Qt::LeftButton);
        QVERIFY(runEnded(w));
        QCOMPARE(w.principal().lastReport().outcome, RunReport::Outcome::Stopped);
        QVERIFY(w.isVisible());
        QVERIFY(!stop->isEnabled());
        QVERIFY(w.isEnabled(Ctrl::B_go));
        QVERIFY(vcfCount(out2) > 0 && vcfCount(out2) < 50000);
        QVERIFY(bar->value() < bar->maximum());
        QVERIFY2(w.summary().startsWith(QStringLiteral("Arrêté : ")), qPrintable(w.summary()));
    }

    // The end of a run: its summary, and the output folder's button once something was written.
    void summaryAndOutputFolder() {
        const QString input = writeCards(m_dir.filePath(QStringLiteral("summary.vcf")), 3);
        const QString out = outDir("summary-out");
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        auto* open = w.findChild<QPushButton*>(QStringLiteral("B_OuvrirSortie"));
        QVERIFY(!open->isEnabled());
        prepareSplit(w, input, out);
        w.B_goClick();
        QVERIFY(runEnded(w));
        QCOMPARE(w.summary(), QStringLiteral("3 contacts, 3 fichiers écrits, aucune erreur"));
        QVERIFY(open->isEnabled());
        QCOMPARE(QDir(w.principal().lastOutputFolder()), QDir(out));
        // English follows the language list at once.
        auto* combo = w.findChild<QComboBox*>(QStringLiteral("ComboLangue"));
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        QCOMPARE(w.summary(), QStringLiteral("3 contacts, 3 files written, no errors"));
        QCOMPARE(shown(open), QStringLiteral("Open output folder"));
        // A failed check clears both.
        w.setEditText(Ctrl::E_InputFiles, m_dir.filePath(QStringLiteral("absent.vcf")));
        answerNextDialog<QMessageBox>(this, [](QMessageBox* box) { box->accept(); });
        w.B_goClick();
        QCOMPARE(w.summary(), QString());
        QVERIFY(!open->isEnabled());
    }

    // After a failed check, the window shows the page and the field the message was about: the
    // first run's missing photos folder points at the Options page and the photos field.
    void failedCheckPointsAtTheField() {
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.setEditText(Ctrl::E_InputFiles, writeCards(m_dir.filePath(QStringLiteral("check.vcf")), 1));
        w.setEditText(Ctrl::E_RepDest, outDir("check-out"));
        w.setChecked(Ctrl::C_Photo, true);
        w.principal().C_PhotoClick();
        w.setEditText(Ctrl::E_RepPhotos, m_dir.filePath(QStringLiteral("no-photos-here")));
        QString message;
        answerNextDialog<QMessageBox>(this, [&](QMessageBox* box) {
            message = box->text();
            box->accept();
        });
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_go")), Qt::LeftButton);
        QCOMPARE(message, QStringLiteral("Le répertoire photo n'existe pas"));
        QCOMPARE(w.findChild<QTabWidget*>(QStringLiteral("PageLog"))->currentIndex(), 1);
        QCOMPARE(w.focusWidget(), w.control(Ctrl::E_RepPhotos));

        // An output folder that is gone: its field, and the page stays.
        w.findChild<QTabWidget*>(QStringLiteral("PageLog"))->setCurrentIndex(0);
        w.setChecked(Ctrl::C_Photo, false);
        w.principal().C_PhotoClick();
        w.setEditText(Ctrl::E_RepDest, m_dir.filePath(QStringLiteral("no-out-here")));
        answerNextDialog<QMessageBox>(this, [](QMessageBox* box) { box->accept(); });
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_go")), Qt::LeftButton);
        QCOMPARE(w.findChild<QTabWidget*>(QStringLiteral("PageLog"))->currentIndex(), 0);
        QCOMPARE(w.focusWidget(), w.control(Ctrl::E_RepDest));
    }

    // A check that the run makes on its thread (an empty input is found once it is read): its
    // box comes after the run has ended, then the window points at the field.
    void failedCheckOfTheRunShownAfterIt() {
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString empty = writeBytes(m_dir.filePath(QStringLiteral("empty.vcf")), QByteArray());
        prepareSplit(w, empty, outDir("empty-out"));
        QString message;
        bool runningAtBox = true;
        answerNextDialog<QMessageBox>(this, [&](QMessageBox* box) {
            message = box->text();
            runningAtBox = w.principal().isRunning();
            box->accept();
        });
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_go")), Qt::LeftButton);
        QVERIFY(runEnded(w));
        QCOMPARE(message, QStringLiteral("Fichier vide : \"%1\"").arg(empty));
        QVERIFY(!runningAtBox);
        QCOMPARE(w.principal().lastReport().outcome, RunReport::Outcome::CheckFailed);
        QCOMPARE(w.summary(), QString());
        QCOMPARE(w.focusWidget(), w.control(Ctrl::E_InputFiles));
        QVERIFY(w.isEnabled(Ctrl::B_go));
    }

    // Qt's own texts speak the language chosen: the overwrite question's Yes button.
    void qtTextsFollowTheLanguage() {
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        auto yesText = [&] {
            QString yes;
            answerNextDialog<QMessageBox>(this, [&](QMessageBox* box) {
                yes = box->button(QMessageBox::Yes)->text().remove(QLatin1Char('&'));
                box->button(QMessageBox::Cancel)->click();
            });
            w.askOverwrite(m_dir.filePath(QStringLiteral("x.vcf")), QStringLiteral("?"));
            return yes;
        };
        QCOMPARE(w.principal().Langue, Language::French);
        QCOMPARE(yesText(), QStringLiteral("Oui"));
        auto* combo = w.findChild<QComboBox*>(QStringLiteral("ComboLangue"));
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        QCOMPARE(yesText(), QStringLiteral("Yes"));
        combo->setCurrentIndex(0);
        emit combo->activated(0);
        QCOMPARE(yesText(), QStringLiteral("Oui"));
        QCOMPARE(shown(w.findChild<QPushButton*>(QStringLiteral("B_Stop"))), QStringLiteral("Arrêter"));
    }

    // "Errors only" hides the unknown-tag notices; "Save log..." writes every line in UTF-8.
    void errorsOnlyAndSaveLog() {
        const QString input = writeBytes(
            m_dir.filePath(QStringLiteral("notices.vcf")),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Zo\xC3\xA9;Ana;;;\r\nFOO:bar\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Bo;;;\r\nBEGIN:VCARD\r\nN:Kim;;;;\r\nEND:VCARD\r\n");
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        prepareSplit(w, input, outDir("notices-out"));
        w.setChecked(Ctrl::R_SVCFToContacts, true);
        w.principal().R_Button();
        w.setChecked(Ctrl::C_Photo, false);
        w.setChecked(Ctrl::C_Logos, false);
        w.principal().C_PhotoClick();
        w.principal().C_LogosClick();
        w.B_goClick();
        QVERIFY(runEnded(w));
        auto* log = w.findChild<LineView*>(QStringLiteral("M_Log"));
        const QStringList all = log->lines();
        QVERIFY2(all.contains(QStringLiteral("FOO:bar")), qPrintable(all.join(u'\n')));
        QVERIFY(std::any_of(all.cbegin(), all.cend(),
                            [](const QString& l) { return l.startsWith(QLatin1String("-> CardStructureError")); }));
        auto* errorsOnly = w.findChild<QCheckBox*>(QStringLiteral("C_ErreursSeules"));
        errorsOnly->click();
        QStringList shownLines;
        for (qsizetype row = 0; row < log->shownCount(); ++row)
            shownLines << log->shownLine(row);
        const QString shownText = shownLines.join(u'\n');
        QVERIFY2(!shownText.contains(QStringLiteral("FOO:bar")), qPrintable(shownText));
        QVERIFY2(!shownText.contains(Mess(Language::French, Msg::UnknownTag)), qPrintable(shownText));
        QVERIFY2(shownText.contains(QStringLiteral("CardStructureError")), qPrintable(shownText));
        errorsOnly->click();
        QCOMPARE(log->shownCount(), all.size());

        errorsOnly->click(); // saving takes every line, hidden or not
        const QString saved = m_dir.filePath(QStringLiteral("run-log"));
        answerNextDialog<QFileDialog>(this, [&](QFileDialog* dlg) {
            dlg->selectFile(saved);
            static_cast<QDialog*>(dlg)->accept();
        });
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("B_EnregistrerLog")), Qt::LeftButton);
        QFile f(saved + QStringLiteral(".txt"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), all.join(u'\n') + u'\n');
    }

    // Assistive technology: the fields' names, the labels' buddies, the log's lines.
    void accessibility() {
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("L_Langue"))->buddy(), w.control(Ctrl::ComboLangue));
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("L_Log"))->buddy(), w.findChild<QWidget*>(QStringLiteral("M_Log")));
        QCOMPARE(w.control(Ctrl::E_InputFiles)->accessibleName(), QStringLiteral("Fichier source"));
        QCOMPARE(w.control(Ctrl::E_RepPhotos)->accessibleName(), QStringLiteral("Rep. Photos"));
        QCOMPARE(w.findChild<QPushButton*>(QStringLiteral("B_go"))->text(), QStringLiteral("&Convertir"));
        w.appendLog(QStringLiteral("first line"));
        w.appendLog(QStringLiteral("second line"));
        QAccessibleInterface* list =
            QAccessible::queryAccessibleInterface(w.findChild<LineView*>(QStringLiteral("M_Log")));
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->childCount(), 2);
        QCOMPARE(list->child(1)->text(QAccessible::Name), QStringLiteral("second line"));
    }

    // Every button, radio button and check box has an Alt letter, and no two controls that are
    // shown together share one: the lower area with the Log page, and with the Options page, in
    // both languages.
    void altLettersAreUniqueOnEachPage() {
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* tabs = w.findChild<QTabWidget*>(QStringLiteral("PageLog"));
        auto* combo = w.findChild<QComboBox*>(QStringLiteral("ComboLangue"));
        for (int language : {0, 1}) {
            combo->setCurrentIndex(language);
            emit combo->activated(language);
            for (int page : {0, 1}) {
                tabs->setCurrentIndex(page);
                QHash<QChar, QString> taken;
                auto take = [&](const QString& name, const QString& text) {
                    const QKeySequence key = QKeySequence::mnemonic(text);
                    QVERIFY2(!key.isEmpty(), qPrintable(name + QStringLiteral(": no Alt letter in ") + text));
                    const QChar letter = key.toString().back().toUpper();
                    QVERIFY2(!taken.contains(letter),
                             qPrintable(QStringLiteral("Alt+%1: %2 and %3 (page %4, language %5)")
                                            .arg(letter)
                                            .arg(taken.value(letter), name)
                                            .arg(page)
                                            .arg(language)));
                    taken.insert(letter, name);
                };
                for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
                    if (b->isVisibleTo(&w) && !b->objectName().isEmpty())
                        take(b->objectName(), b->text());
                for (QLabel* l : w.findChildren<QLabel*>())
                    if (l->isVisibleTo(&w) && l->buddy() && l->text().contains(u'&'))
                        take(l->objectName(), l->text());
                if (QTest::currentTestFailed())
                    return;
            }
        }
    }

    // "Open output folder" says so when nothing can open the folder.
    void openOutputFolderWithoutAFileManager() {
        const QString out = outDir("open-out");
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        prepareSplit(w, writeCards(m_dir.filePath(QStringLiteral("open.vcf")), 1), out);
        w.B_goClick();
        QVERIFY(runEnded(w));
        auto* open = w.findChild<QPushButton*>(QStringLiteral("B_OuvrirSortie"));
        QVERIFY(open->isEnabled());
        // The offscreen platform opens nothing, like a desktop without a file manager.
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            QSKIP("needs the offscreen platform");
        QString text;
        answerNextDialog<QMessageBox>(this, [&](QMessageBox* box) {
            text = box->text();
            box->accept();
        });
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(text,
                 QStringLiteral("Aucun programme n'a pu ouvrir le dossier \"%1\"").arg(QDir::toNativeSeparators(out)));
    }

    void folderPickerIsCentredOnTheWorkArea() {
        QWidget dlg;
        dlg.resize(401, 301);
        BrowseDialogCallBack(&dlg);
        const QRect wa = dlg.screen()->availableGeometry();
        QCOMPARE(dlg.pos(), QPoint(wa.left() + wa.width() / 2 - 200, wa.top() + wa.height() / 2 - 150));
    }

    void dialogFilters_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("qt");
        QTest::newRow("input file and merge") << QStringLiteral("VCF, DAT (*.VCF, *.DAT)|*.VCF; *.DAT| ALL | *.*")
                                              << QStringList{"VCF, DAT (*.VCF *.DAT)", "ALL (*)"};
        QTest::newRow("phone book") << QStringLiteral("DAT (*.DAT)|*.DAT| ALL (*.*) | *.*")
                                    << QStringList{"DAT (*.DAT)", "ALL (*)"};
    }

    void dialogFilters() {
        QFETCH(QString, filter);
        QFETCH(QStringList, qt);
        QCOMPARE(QtFilters(filter), qt);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
