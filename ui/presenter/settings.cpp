// The settings file Config.txt: read once when the window is created, written once when it
// closes. Lines are KEY=value, keys and keywords in any letter case.
#include "ui/presenter/kzform.h"
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const Ctrl kActions[] = {Ctrl::R_SVCFToMVCF, Ctrl::R_SVCFToContacts, Ctrl::R_MVCFToSVCF, Ctrl::R_MyPhonePhoto};

// KEY followed by "="; a key followed by anything else leaves the scanner after the key,
// where the next key tests resume.
bool Cle(LECTYPE& LEX, QStringView key) {
    return IDENTPATERN(LEX, key) && SEPARATEUR(LEX, u"=");
}

// The rest of the line after "=", without the characters U+0020 and below at either end.
QString Reste(const LECTYPE& LEX) {
    QStringView v = QStringView(LEX.BUFFER).mid(LEX.INDEX - 1);
    while (!v.isEmpty() && v.front().unicode() <= 0x20)
        v = v.mid(1);
    while (!v.isEmpty() && v.back().unicode() <= 0x20)
        v.chop(1);
    return v.toString();
}

QString VraiFaux(bool on) {
    return on ? QStringLiteral("True") : QStringLiteral("False");
}

// The user's documents folder; the home folder where there is none.
QString DossierDocuments() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

} // namespace

void TF_Principal::LireLigneConfig(const QString& line) {
    LECTYPE LEX;
    LEX.BUFFER = line;
    DEBUTANALYSE(LEX);
    if (Cle(LEX, u"LANG")) {
        if (IDENTPATERN(LEX, u"EN"))
            Langue = Language::English;
    } else if (Cle(LEX, u"ACTION")) {
        if (IDENTPATERN(LEX, u"SVCFTOMVCF"))
            m_win.setChecked(Ctrl::R_SVCFToMVCF, true);
        else if (IDENTPATERN(LEX, u"SVCFTOCONTACT"))
            m_win.setChecked(Ctrl::R_SVCFToContacts, true);
        else if (IDENTPATERN(LEX, u"MVCFTOSVCF"))
            m_win.setChecked(Ctrl::R_MVCFToSVCF, true);
        else if (IDENTPATERN(LEX, u"MYPHONEPHOTO"))
            m_win.setChecked(Ctrl::R_MyPhonePhoto, true);
    } else if (Cle(LEX, u"INCLUREPHOTO")) {
        m_win.setChecked(Ctrl::C_Photo, IDENTPATERN(LEX, u"TRUE"));
    } else if (Cle(LEX, u"INCLURELOGO")) {
        m_win.setChecked(Ctrl::C_Logos, IDENTPATERN(LEX, u"TRUE"));
    } else if (Cle(LEX, u"MYPHONEIN")) {
        m_win.setChecked(Ctrl::C_MyPhoneIn, IDENTPATERN(LEX, u"TRUE"));
    } else if (Cle(LEX, u"MYPHONEOUT")) {
        m_win.setChecked(Ctrl::C_MyphoneOut, IDENTPATERN(LEX, u"TRUE"));
    } else if (Cle(LEX, u"TAGX")) {
        m_win.setChecked(Ctrl::C_TagX, IDENTPATERN(LEX, u"TRUE"));
    } else if (Cle(LEX, u"TAGSYNC")) {
        m_win.setChecked(Ctrl::C_TagSync, IDENTPATERN(LEX, u"TRUE"));
    } else if (Cle(LEX, u"TAGLABEL")) {
        m_win.setChecked(Ctrl::C_TagLabel, IDENTPATERN(LEX, u"TRUE"));
    } else if (Cle(LEX, u"FICHIERENTREE")) {
        NomFichierEntree = Reste(LEX);
    } else if (Cle(LEX, u"FICHIERSORTIE")) {
        NomFichierSortie = Reste(LEX);
    } else if (Cle(LEX, u"REPSORTIE")) {
        NomRepSortie = Reste(LEX);
    } else if (Cle(LEX, u"REPENTREE")) {
        NomRepEntree = Reste(LEX);
    } else if (Cle(LEX, u"REPPHOTOS")) {
        NomRepPhotos = Reste(LEX);
    } else if (Cle(LEX, u"REPLOGOS")) {
        NomRepLogos = Reste(LEX);
    }
}

bool TF_Principal::FormCreate() {
    NomRepCour = GetAppConfigDir() + QStringLiteral("/Corvanta/");
    // The parent folders too: the per-user configuration folder may not exist yet.
    if (!QFileInfo(NomRepCour).isDir() && !QDir().mkpath(NomRepCour)) {
        // The language is not read yet: the message is in English.
        m_win.messageBox(Mess(Language::English, Msg::CannotCreateSettings), MsgKind::Information);
        return false;
    }

    // Output goes where the user keeps documents, not into the hidden settings folder.
    NomRepSortie = DossierDocuments();
    NomFichierEntree.clear();
    NomRepPhotos.clear();
    NomFichierSortie.clear();
    NomRepEntree.clear();
    NomRepLogos.clear();
    Langue = Language::French;
    for (Ctrl c : {Ctrl::C_Photo, Ctrl::C_Logos, Ctrl::C_TagX, Ctrl::C_TagSync, Ctrl::C_TagLabel})
        m_win.setChecked(c, true);
    m_win.setChecked(Ctrl::C_MyPhoneIn, false);
    m_win.setChecked(Ctrl::C_MyphoneOut, false);

    LineList config;
    for (Ctrl r : kActions)
        m_win.setChecked(r, false);

    const QString fileName = NomRepCour + QStringLiteral("Config.txt");
    try {
        if (QFileInfo(fileName).isFile()) {
            config.LoadFromFile(fileName, LineList::LoadForm::Plain, {}, files);
            for (const QString& line : std::as_const(config))
                LireLigneConfig(line);
        }
    } catch (const KzError& e) {
        m_win.appendLog(ShownLine(e.errorLine(Langue)));
    }
    config.clear();

    bool selected = false;
    for (Ctrl r : kActions)
        selected = selected || m_win.isChecked(r);
    if (!selected)
        m_win.setChecked(Ctrl::R_SVCFToMVCF, true);
    R_Button();

    m_win.setEditText(Ctrl::E_InputFiles, NomFichierEntree);
    m_win.setEditText(Ctrl::E_RepPhotos, NomRepPhotos);
    m_win.setEditText(Ctrl::E_RepLogos, NomRepLogos);
    m_win.setEditText(Ctrl::E_RepDest, NomRepSortie);
    m_win.setEditText(Ctrl::E_RepEntree, NomRepEntree);

    m_win.setComboIndex(Langue == Language::French ? 0 : 1);
    TranslateForm();
    return true;
}

void TF_Principal::FormClose() {
    // The fields, not the edit boxes: text typed since the last Run or pick is not kept.
    LineList config;
    config << QStringLiteral("FichierEntree=") + NomFichierEntree << QStringLiteral("FichierSortie=") + NomFichierSortie
           << QStringLiteral("RepSortie=") + NomRepSortie << QStringLiteral("RepEntree=") + NomRepEntree
           << QStringLiteral("RepPhotos=") + NomRepPhotos << QStringLiteral("RepLogos=") + NomRepLogos
           << QStringLiteral("Lang=") + LanguageCode(Langue);
    if (m_win.isChecked(Ctrl::R_SVCFToMVCF))
        config << QStringLiteral("Action=SVcfToMVcf");
    else if (m_win.isChecked(Ctrl::R_MVCFToSVCF))
        config << QStringLiteral("Action=MVcfToSVcf");
    else if (m_win.isChecked(Ctrl::R_SVCFToContacts))
        config << QStringLiteral("Action=SVcfToContact");
    else if (m_win.isChecked(Ctrl::R_MyPhonePhoto))
        config << QStringLiteral("Action=MyPhonePhoto");
    else
        config << QStringLiteral("Action=SVcfToMVcf"); // no action selected: the default one
    config << QStringLiteral("InclurePhoto=") + VraiFaux(m_win.isChecked(Ctrl::C_Photo))
           << QStringLiteral("InclureLogo=") + VraiFaux(m_win.isChecked(Ctrl::C_Logos))
           << QStringLiteral("TagX=") + VraiFaux(m_win.isChecked(Ctrl::C_TagX))
           << QStringLiteral("MyPhoneIn=") + VraiFaux(m_win.isChecked(Ctrl::C_MyPhoneIn))
           << QStringLiteral("MyPhoneOut=") + VraiFaux(m_win.isChecked(Ctrl::C_MyphoneOut))
           << QStringLiteral("TagSync=") + VraiFaux(m_win.isChecked(Ctrl::C_TagSync))
           << QStringLiteral("TagLabel=") + VraiFaux(m_win.isChecked(Ctrl::C_TagLabel));

    // UTF-8 with its mark, so that folder names outside Windows-1252 survive a restart.
    config.setEncoding(TextEncoding::Utf8);
    try {
        config.SaveToFile(NomRepCour + QStringLiteral("Config.txt"), files);
    } catch (const KzError& e) {
        m_win.appendLog(ShownLine(e.errorLine(Langue)));
    }
}
