// The window's rules that need no desktop toolkit: which controls each action enables, the
// captions of the two languages, and the pickers' effect on the path fields.
#include "ui/presenter/kzform.h"
#include <QFileInfo>

namespace {

struct Caption {
    Ctrl control;
    const char* fr;
    const char* en;
};

// The captions that follow the language. "LOG", "Supprimer les tags X-SYNC", the action frame,
// the phone-book radio button, the tab names, the window caption and the site link never change.
const Caption kCaptions[] = {
    {Ctrl::L_Fichierstraites, "FICHIERS TRAITES", "FILES PROCESSED"},
    {Ctrl::L_Langue, "Langue", "Language"},
    {Ctrl::C_Photo, "Inclure photos", "Include photos"},
    {Ctrl::C_Logos, "Inclure Logos", "Include Logos"},
    {Ctrl::C_TagX, "VCF : supprimer les tags X-...", "VCF: Delete line with tags X-..."},
    {Ctrl::C_MyPhoneIn, "Entree = MyPhoneExplorer", "Input = MyPhoneExplorer"},
    {Ctrl::C_MyphoneOut, "Sortie = MyphoneExplorer", "Output = MyPhoneExplorer"},
    {Ctrl::C_TagLabel, "VCF : Traiter les X-ABLabel", "VCF: Process X-ABLabel"},
    {Ctrl::B_InputFile, "Fichier source", "Source file"},
    {Ctrl::b_repdest, "Rep. Sortie", "Dest. Dir."},
    {Ctrl::B_RepEntree, "Rep. Entrée", "Input Dir."},
    {Ctrl::b_repphotos, "Rep. Photos", "Photos Dir."},
    {Ctrl::B_RepLogos, "Rep. Logos", "Logos Dir."},
    {Ctrl::R_SVCFToContacts, "Convertir fichier VCF unique en .contacts", "Conv. single VCF file into .contacts"},
    {Ctrl::R_SVCFToMVCF, "Convertir fichier VCF unique en multiples VCF", "Conv. single VCF file into multiple VCF"},
    {Ctrl::R_MVCFToSVCF, "Convertir fichier VCF mutiples en unique VCF", "Conv. multiple VCF files into one VCF"},
    {Ctrl::B_go, "Convertir", "Run"},
    {Ctrl::B_Cancel, "Fermer", "Close"},
    {Ctrl::L_Compteur, "Nb traités", "Nr processed"},
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
    Langue = m_win.comboIndex() == 0 ? QStringLiteral("FR") : QStringLiteral("EN");
    TranslateForm();
}

void TF_Principal::TranslateForm() {
    // Exactly "FR" is French; any other code is English, as in the message catalogue.
    const bool fr = Langue == QLatin1String("FR");
    for (const Caption& c : kCaptions)
        m_win.setCaption(c.control, QString::fromUtf8(fr ? c.fr : c.en));
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

bool TF_Principal::pickFolder(Ctrl field, QString& folder, quint16 title) {
    QString chosen = pickerStart(field, folder);
    if (!m_win.browseForFolder(chosen, Mess(Langue, title)))
        return false;
    folder = chosen;
    m_win.setEditText(field, folder);
    return true;
}

void TF_Principal::b_repdestClick() {
    pickFolder(Ctrl::E_RepDest, NomRepSortie, MsgTitreRepSortie);
}

void TF_Principal::B_RepEntreeClick() {
    pickFolder(Ctrl::E_RepEntree, NomRepEntree, MsgTitreRepEntree);
}

void TF_Principal::b_repphotosClick() {
    pickFolder(Ctrl::E_RepPhotos, NomRepPhotos, MsgTitreRepPhotos);
    // Photos and logos often share one folder: offer it for the logos too (the field only,
    // the logos box shows it at the next start unless a Run reads the box first).
    if (NomRepLogos.isEmpty())
        NomRepLogos = NomRepPhotos;
}

void TF_Principal::B_RepLogosClick() {
    pickFolder(Ctrl::E_RepLogos, NomRepLogos, MsgTitreRepLogos);
    if (NomRepPhotos.isEmpty())
        NomRepPhotos = NomRepLogos;
}
