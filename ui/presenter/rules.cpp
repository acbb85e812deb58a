// The window's rules that need no desktop toolkit: which controls each action enables, the
// captions of the chosen language, and the pickers' effect on the path fields.
#include "ui/presenter/kzform.h"
#include <QFileInfo>

namespace {

// The captions that follow the language. "LOG", "Supprimer les tags X-SYNC", the action frame,
// the phone-book radio button, the tab names, the window caption and the site link never change.
const std::pair<Ctrl, Msg> kCaptions[] = {
    {Ctrl::L_Fichierstraites, Msg::FilesProcessedLabel},
    {Ctrl::L_Langue, Msg::LanguageLabel},
    {Ctrl::C_Photo, Msg::IncludePhotos},
    {Ctrl::C_Logos, Msg::IncludeLogos},
    {Ctrl::C_TagX, Msg::DropTagX},
    {Ctrl::C_MyPhoneIn, Msg::InputMyPhone},
    {Ctrl::C_MyphoneOut, Msg::OutputMyPhone},
    {Ctrl::C_TagLabel, Msg::GoogleLabels},
    {Ctrl::B_InputFile, Msg::SourceFileButton},
    {Ctrl::b_repdest, Msg::OutputFolderButton},
    {Ctrl::B_RepEntree, Msg::InputFolderButton},
    {Ctrl::b_repphotos, Msg::PhotosFolderButton},
    {Ctrl::B_RepLogos, Msg::LogosFolderButton},
    {Ctrl::R_SVCFToContacts, Msg::ContactsAction},
    {Ctrl::R_SVCFToMVCF, Msg::SplitAction},
    {Ctrl::R_MVCFToSVCF, Msg::MergeAction},
    {Ctrl::B_go, Msg::RunButton},
    {Ctrl::B_Cancel, Msg::CloseButton},
    {Ctrl::L_Compteur, Msg::CounterLabel},
};

const QString kInputFilter = QStringLiteral("VCF, DAT (*.VCF, *.DAT)|*.VCF; *.DAT| ALL | *.*");

} // namespace

void TF_Principal::R_Button() {
    FormControls& w = m_win;
    // The order of the tests matters: contacts or split first, then the phone book, else merge.
    if (w.isChecked(Ctrl::R_SVCFToContacts) || w.isChecked(Ctrl::R_SVCFToMVCF)) {
        for (Ctrl c : {Ctrl::E_InputFiles, Ctrl::B_InputFile, Ctrl::E_RepDest, Ctrl::b_repdest})
            w.setEnabled(c, true);
        w.setEnabled(Ctrl::E_RepEntree, false);
        w.setEnabled(Ctrl::B_RepEntree, false);
        for (Ctrl c :
             {Ctrl::C_TagX, Ctrl::C_TagLabel, Ctrl::C_TagSync, Ctrl::C_MyPhoneIn, Ctrl::C_Photo, Ctrl::C_Logos})
            w.setEnabled(c, true);
        w.setEnabled(Ctrl::C_MyphoneOut, false);
        w.setChecked(Ctrl::C_MyphoneOut, false);
        C_LogosClick();
        C_PhotoClick();
    } else if (w.isChecked(Ctrl::R_MyPhonePhoto)) {
        w.setEnabled(Ctrl::E_InputFiles, true);
        w.setEnabled(Ctrl::B_InputFile, true);
        for (Ctrl c : {Ctrl::E_RepDest, Ctrl::b_repdest, Ctrl::E_RepEntree, Ctrl::B_RepEntree})
            w.setEnabled(c, false);
        // The option boxes keep their check states; the phone book always takes pictures.
        for (Ctrl c : {Ctrl::C_TagX, Ctrl::C_TagLabel, Ctrl::C_TagSync, Ctrl::C_MyPhoneIn, Ctrl::C_MyphoneOut,
                       Ctrl::C_Photo, Ctrl::C_Logos})
            w.setEnabled(c, false);
        for (Ctrl c : {Ctrl::E_RepPhotos, Ctrl::b_repphotos, Ctrl::E_RepLogos, Ctrl::B_RepLogos})
            w.setEnabled(c, true);
    } else {
        for (Ctrl c : {Ctrl::E_InputFiles, Ctrl::B_InputFile, Ctrl::E_RepDest, Ctrl::b_repdest})
            w.setEnabled(c, false);
        w.setEnabled(Ctrl::E_RepEntree, true);
        w.setEnabled(Ctrl::B_RepEntree, true);
        for (Ctrl c :
             {Ctrl::C_TagX, Ctrl::C_TagLabel, Ctrl::C_TagSync, Ctrl::C_MyphoneOut, Ctrl::C_Photo, Ctrl::C_Logos})
            w.setEnabled(c, true);
        w.setEnabled(Ctrl::C_MyPhoneIn, false);
        w.setChecked(Ctrl::C_MyPhoneIn, false);
        C_LogosClick();
        C_PhotoClick();
    }
}

void TF_Principal::C_PhotoClick() {
    const bool on = m_win.isChecked(Ctrl::C_Photo);
    m_win.setEnabled(Ctrl::b_repphotos, on);
    m_win.setEnabled(Ctrl::E_RepPhotos, on);
}

void TF_Principal::C_LogosClick() {
    const bool on = m_win.isChecked(Ctrl::C_Logos);
    m_win.setEnabled(Ctrl::B_RepLogos, on);
    m_win.setEnabled(Ctrl::E_RepLogos, on);
}

void TF_Principal::ComboLangueClick() {
    Langue = m_win.comboIndex() == 0 ? Language::French : Language::English;
    TranslateForm();
}

void TF_Principal::TranslateForm() {
    for (const auto& [control, caption] : kCaptions)
        m_win.setCaption(control, AltCaption(Langue, caption));
}

QString TF_Principal::pickerStart(Ctrl field, const QString& last) const {
    const QString typed = m_win.editText(field);
    return !typed.isEmpty() && QFileInfo(typed).isDir() ? typed : last;
}

void TF_Principal::B_InputFileClick() {
    // The file in the field, as typed or dropped, else the last one chosen.
    const QString typed = m_win.editText(Ctrl::E_InputFiles);
    const QString current = typed.isEmpty() ? NomFichierEntree : typed;
    QString dir, name;
    if (!current.isEmpty()) {
        const QFileInfo info(current);
        name = info.fileName();
        // A bare name has no folder part: let the dialog start where it likes.
        if (current.size() > name.size())
            dir = info.path();
    }
    const std::optional<QString> chosen = m_win.openDialog(dir, name, kInputFilter);
    if (!chosen)
        return;
    NomFichierEntree = *chosen;
    m_win.setEditText(Ctrl::E_InputFiles, NomFichierEntree);
}

bool TF_Principal::pickFolder(Ctrl field, QString& folder, Msg title) {
    QString chosen = pickerStart(field, folder);
    if (!m_win.browseForFolder(chosen, Mess(Langue, title)))
        return false;
    folder = chosen;
    m_win.setEditText(field, folder);
    return true;
}

void TF_Principal::b_repdestClick() {
    pickFolder(Ctrl::E_RepDest, NomRepSortie, Msg::OutputFolderTitle);
}

void TF_Principal::B_RepEntreeClick() {
    pickFolder(Ctrl::E_RepEntree, NomRepEntree, Msg::InputFolderTitle);
}

void TF_Principal::b_repphotosClick() {
    pickFolder(Ctrl::E_RepPhotos, NomRepPhotos, Msg::PhotosFolderTitle);
    // Photos and logos often share one folder: offer it for the logos too (the field only,
    // the logos box shows it at the next start unless a Run reads the box first).
    if (NomRepLogos.isEmpty())
        NomRepLogos = NomRepPhotos;
}

void TF_Principal::B_RepLogosClick() {
    pickFolder(Ctrl::E_RepLogos, NomRepLogos, Msg::LogosFolderTitle);
    if (NomRepPhotos.isEmpty())
        NomRepPhotos = NomRepLogos;
}
