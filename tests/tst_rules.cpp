// Enabling rules of the four actions, the language list and the pickers.
#include "fakewindow.h"
#include "ui/presenter/kzform.h"
#include <QTemporaryDir>
#include <QTest>

using Ctrls = QList<Ctrl>;
Q_DECLARE_METATYPE(Ctrl)
Q_DECLARE_METATYPE(Language)

class TestRules : public QObject {
    Q_OBJECT

private:
    static const Ctrls& ruled() {
        static const Ctrls all{Ctrl::E_InputFiles, Ctrl::B_InputFile, Ctrl::E_RepDest,    Ctrl::b_repdest,
                               Ctrl::E_RepEntree,  Ctrl::B_RepEntree, Ctrl::C_TagX,       Ctrl::C_TagLabel,
                               Ctrl::C_TagSync,    Ctrl::C_MyPhoneIn, Ctrl::C_MyphoneOut, Ctrl::C_Photo,
                               Ctrl::C_Logos,      Ctrl::E_RepPhotos, Ctrl::b_repphotos,  Ctrl::E_RepLogos,
                               Ctrl::B_RepLogos};
        return all;
    }

private slots:
    void enablingRules_data() {
        QTest::addColumn<Ctrls>("selected");
        QTest::addColumn<bool>("photo");
        QTest::addColumn<bool>("logos");
        QTest::addColumn<Ctrls>("disabled");
        QTest::addColumn<bool>("myPhoneIn"); // check state after R_Button (both start checked)
        QTest::addColumn<bool>("myPhoneOut");

        const Ctrls singleOff{Ctrl::E_RepEntree, Ctrl::B_RepEntree, Ctrl::C_MyphoneOut};
        const Ctrls mergeOff{Ctrl::E_InputFiles, Ctrl::B_InputFile, Ctrl::E_RepDest, Ctrl::b_repdest,
                             Ctrl::C_MyPhoneIn};
        const Ctrls bookOff{Ctrl::E_RepDest,    Ctrl::b_repdest,  Ctrl::E_RepEntree, Ctrl::B_RepEntree,
                            Ctrl::C_TagX,       Ctrl::C_TagLabel, Ctrl::C_TagSync,   Ctrl::C_MyPhoneIn,
                            Ctrl::C_MyphoneOut, Ctrl::C_Photo,    Ctrl::C_Logos};
        const Ctrls photoRow{Ctrl::E_RepPhotos, Ctrl::b_repphotos};
        const Ctrls logoRow{Ctrl::E_RepLogos, Ctrl::B_RepLogos};

        QTest::newRow("contacts") << Ctrls{Ctrl::R_SVCFToContacts} << true << true << singleOff << true << false;
        QTest::newRow("split") << Ctrls{Ctrl::R_SVCFToMVCF} << true << true << singleOff << true << false;
        QTest::newRow("merge") << Ctrls{Ctrl::R_MVCFToSVCF} << true << true << mergeOff << false << true;
        QTest::newRow("phone book keeps check states")
            << Ctrls{Ctrl::R_MyPhonePhoto} << true << true << bookOff << true << true;
        QTest::newRow("contacts, photos unchecked")
            << Ctrls{Ctrl::R_SVCFToContacts} << false << true << (singleOff + photoRow) << true << false;
        QTest::newRow("split, logos unchecked")
            << Ctrls{Ctrl::R_SVCFToMVCF} << true << false << (singleOff + logoRow) << true << false;
        QTest::newRow("merge, both unchecked")
            << Ctrls{Ctrl::R_MVCFToSVCF} << false << false << (mergeOff + photoRow + logoRow) << false << true;
        QTest::newRow("phone book enables both rows even unchecked")
            << Ctrls{Ctrl::R_MyPhonePhoto} << false << false << bookOff << true << true;
        // The contacts-or-split test comes first, the phone book second, merge last.
        QTest::newRow("split and phone book both selected: split wins")
            << Ctrls{Ctrl::R_SVCFToMVCF, Ctrl::R_MyPhonePhoto} << true << true << singleOff << true << false;
        QTest::newRow("phone book and merge both selected: phone book wins")
            << Ctrls{Ctrl::R_MyPhonePhoto, Ctrl::R_MVCFToSVCF} << true << true << bookOff << true << true;
        QTest::newRow("none selected: merge column") << Ctrls{} << true << true << mergeOff << false << true;
    }

    void enablingRules() {
        QFETCH(Ctrls, selected);
        QFETCH(bool, photo);
        QFETCH(bool, logos);
        QFETCH(Ctrls, disabled);
        QFETCH(bool, myPhoneIn);
        QFETCH(bool, myPhoneOut);

        FakeWindow w;
        for (Ctrl r : {Ctrl::R_SVCFToContacts, Ctrl::R_SVCFToMVCF, Ctrl::R_MVCFToSVCF, Ctrl::R_MyPhonePhoto})
            w.checks[r] = selected.contains(r);
        w.checks[Ctrl::C_Photo] = photo;
        w.checks[Ctrl::C_Logos] = logos;
        w.checks[Ctrl::C_MyPhoneIn] = true;
        w.checks[Ctrl::C_MyphoneOut] = true;
        // Start from the opposite of every expectation, so each state is really set.
        for (Ctrl c : ruled())
            w.enabled[c] = disabled.contains(c);

        TF_Principal p(w);
        p.R_Button();

        for (Ctrl c : ruled())
            QVERIFY2(w.isEnabled(c) == !disabled.contains(c), qPrintable(QString::number(int(c))));
        QCOMPARE(w.isChecked(Ctrl::C_MyPhoneIn), myPhoneIn);
        QCOMPARE(w.isChecked(Ctrl::C_MyphoneOut), myPhoneOut);
        QCOMPARE(w.isChecked(Ctrl::C_Photo), photo);
        QCOMPARE(w.isChecked(Ctrl::C_Logos), logos);
        QCOMPARE(w.isChecked(Ctrl::C_TagX), true);
    }

    void photoBoxTogglesItsRowOnly() {
        FakeWindow w;
        TF_Principal p(w);
        w.edits[Ctrl::E_RepPhotos] = QStringLiteral("/photos");
        p.NomRepPhotos = QStringLiteral("/photos");
        w.checks[Ctrl::C_Photo] = false;
        p.C_PhotoClick();
        QVERIFY(!w.isEnabled(Ctrl::E_RepPhotos));
        QVERIFY(!w.isEnabled(Ctrl::b_repphotos));
        QVERIFY(w.isEnabled(Ctrl::E_RepLogos));
        w.checks[Ctrl::C_Photo] = true;
        p.C_PhotoClick();
        QVERIFY(w.isEnabled(Ctrl::E_RepPhotos));
        QVERIFY(w.isEnabled(Ctrl::b_repphotos));
        QCOMPARE(w.editText(Ctrl::E_RepPhotos), QStringLiteral("/photos"));
        QCOMPARE(p.NomRepPhotos, QStringLiteral("/photos"));

        w.checks[Ctrl::C_Logos] = false;
        p.C_LogosClick();
        QVERIFY(!w.isEnabled(Ctrl::E_RepLogos));
        QVERIFY(!w.isEnabled(Ctrl::B_RepLogos));
        QVERIFY(w.isEnabled(Ctrl::E_RepPhotos));
    }

    // The language list switches the captions and the language both ways.
    void languageList() {
        FakeWindow w;
        TF_Principal p(w);
        w.combo = 1;
        p.ComboLangueClick();
        QCOMPARE(p.Langue, Language::English);
        QCOMPARE(w.captions.value(Ctrl::B_go), QStringLiteral("Run"));
        w.combo = 0;
        p.ComboLangueClick();
        QCOMPARE(p.Langue, Language::French);
        QCOMPARE(w.captions.value(Ctrl::B_go), QStringLiteral("Convertir"));
    }

    void folderPickers_data() {
        QTest::addColumn<Ctrl>("button");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<Language>("lang");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("fieldsAfter"); // sortie, entree, photos, logos
        QTest::addColumn<QStringList>("editsAfter");  // E_RepDest, E_RepEntree, E_RepPhotos, E_RepLogos

        const QString pick = QStringLiteral("/picked");
        QTest::newRow("output folder") << Ctrl::b_repdest << true << Language::French
                                       << QStringLiteral("Répertoire de sortie") << QStringList{pick, "", "", ""}
                                       << QStringList{pick, "", "", ""};
        QTest::newRow("input folder, English")
            << Ctrl::B_RepEntree << true << Language::English << QStringLiteral("Input directory")
            << QStringList{"/out", pick, "", ""} << QStringList{"", pick, "", ""};
        QTest::newRow("photos fill the empty logos field, not its box")
            << Ctrl::b_repphotos << true << Language::French << QStringLiteral("Répertoire Photos")
            << QStringList{"/out", "", pick, pick} << QStringList{"", "", pick, ""};
        QTest::newRow("logos fill the empty photos field")
            << Ctrl::B_RepLogos << true << Language::English << QStringLiteral("Logos directory")
            << QStringList{"/out", "", pick, pick} << QStringList{"", "", "", pick};
        QTest::newRow("cancelled output folder changes nothing")
            << Ctrl::b_repdest << false << Language::English << QStringLiteral("Output directory")
            << QStringList{"/out", "", "", ""} << QStringList{"", "", "", ""};
        QTest::newRow("cancelled photos pick, both fields empty")
            << Ctrl::b_repphotos << false << Language::English << QStringLiteral("Photos directory")
            << QStringList{"/out", "", "", ""} << QStringList{"", "", "", ""};
    }

    void folderPickers() {
        QFETCH(Ctrl, button);
        QFETCH(bool, chosen);
        QFETCH(Language, lang);
        QFETCH(QString, title);
        QFETCH(QStringList, fieldsAfter);
        QFETCH(QStringList, editsAfter);

        FakeWindow w;
        TF_Principal p(w);
        p.Langue = lang;
        p.NomRepSortie = QStringLiteral("/out");
        if (chosen)
            w.folderAnswers.enqueue(QStringLiteral("/picked"));
        switch (button) {
        case Ctrl::b_repdest:
            p.b_repdestClick();
            break;
        case Ctrl::B_RepEntree:
            p.B_RepEntreeClick();
            break;
        case Ctrl::b_repphotos:
            p.b_repphotosClick();
            break;
        default:
            p.B_RepLogosClick();
            break;
        }
        QCOMPARE(w.pickRequests.size(), 1);
        QCOMPARE(w.pickRequests[0].filter, title);
        QCOMPARE((QStringList{p.NomRepSortie, p.NomRepEntree, p.NomRepPhotos, p.NomRepLogos}), fieldsAfter);
        QCOMPARE((QStringList{w.editText(Ctrl::E_RepDest), w.editText(Ctrl::E_RepEntree), w.editText(Ctrl::E_RepPhotos),
                              w.editText(Ctrl::E_RepLogos)}),
                 editsAfter);
    }

    void cancelledLogosPickCopiesTheLogosFieldToPhotos() {
        // The copy runs whether or not a folder was chosen.
        FakeWindow w;
        TF_Principal p(w);
        p.NomRepLogos = QStringLiteral("/logos");
        p.B_RepLogosClick();
        QCOMPARE(p.NomRepPhotos, QStringLiteral("/logos"));
        QCOMPARE(w.editText(Ctrl::E_RepPhotos), QString());
        // A filled field is left alone.
        p.NomRepPhotos = QStringLiteral("/photos");
        w.folderAnswers.enqueue(QStringLiteral("/other"));
        p.B_RepLogosClick();
        QCOMPARE(p.NomRepPhotos, QStringLiteral("/photos"));
        QCOMPARE(p.NomRepLogos, QStringLiteral("/other"));
        QCOMPARE(w.pickRequests[1].initialDir, QStringLiteral("/logos")); // the current folder goes in
    }

    void inputFilePicker() {
        FakeWindow w;
        TF_Principal p(w);
        p.NomFichierEntree = QStringLiteral("/data/in/contacts.vcf");
        w.openAnswers.enqueue(QStringLiteral("/elsewhere/missing.vcf"));
        p.B_InputFileClick();
        QCOMPARE(w.pickRequests.size(), 1);
        QCOMPARE(w.pickRequests[0].initialDir, QStringLiteral("/data/in"));
        QCOMPARE(w.pickRequests[0].initialName, QStringLiteral("contacts.vcf"));
        QCOMPARE(w.pickRequests[0].filter, QStringLiteral("VCF, DAT (*.VCF, *.DAT)|*.VCF; *.DAT| ALL | *.*"));
        // A name that does not exist is taken; the Run reports it.
        QCOMPARE(p.NomFichierEntree, QStringLiteral("/elsewhere/missing.vcf"));
        QCOMPARE(w.editText(Ctrl::E_InputFiles), QStringLiteral("/elsewhere/missing.vcf"));

        // Cancelled: nothing changes. The field, as typed, is what the picker proposes; a bare
        // name proposes no folder.
        p.NomFichierEntree.clear();
        w.edits[Ctrl::E_InputFiles] = QStringLiteral("typed");
        p.B_InputFileClick();
        QCOMPARE(w.pickRequests[1].initialDir, QString());
        QCOMPARE(w.pickRequests[1].initialName, QStringLiteral("typed"));
        QCOMPARE(p.NomFichierEntree, QString());
        QCOMPARE(w.editText(Ctrl::E_InputFiles), QStringLiteral("typed"));
        w.edits[Ctrl::E_InputFiles] = QStringLiteral("/typed/in/cards.vcf");
        p.NomFichierEntree = QStringLiteral("/data/in/contacts.vcf");
        p.B_InputFileClick();
        QCOMPARE(w.pickRequests[2].initialDir, QStringLiteral("/typed/in"));
        QCOMPARE(w.pickRequests[2].initialName, QStringLiteral("cards.vcf"));
    }

    void folderPickersStartAtTheFolderInTheirField() {
        // A folder typed or dropped into the field is where the picker opens, when it exists.
        QTemporaryDir typed;
        QVERIFY(typed.isValid());
        FakeWindow w;
        TF_Principal p(w);
        p.NomRepSortie = QStringLiteral("/last/run");
        w.edits[Ctrl::E_RepDest] = typed.path();
        p.b_repdestClick();
        QCOMPARE(w.pickRequests[0].initialDir, typed.path());
        QCOMPARE(p.NomRepSortie, QStringLiteral("/last/run")); // cancelled: nothing changes
        w.edits[Ctrl::E_RepDest] = typed.filePath(QStringLiteral("gone"));
        p.b_repdestClick();
        QCOMPARE(w.pickRequests[1].initialDir, QStringLiteral("/last/run"));
    }
};

QTEST_GUILESS_MAIN(TestRules)
#include "tst_rules.moc"
