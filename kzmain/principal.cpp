// The main object's Run button: the options made from the controls, one Run, its report kept.
#include "kzmain/kzmain.h"

#include <QFileInfo>

TF_Principal::TF_Principal(FormWindow& window) : m_win(window) {}

RunOptions TF_Principal::runOptions() const {
    RunOptions o;
    if (m_win.isChecked(Ctrl::R_MyPhonePhoto))
        o.action = Action::PhoneBook;
    else if (m_win.isChecked(Ctrl::R_MVCFToSVCF))
        o.action = Action::Merge;
    else if (m_win.isChecked(Ctrl::R_SVCFToContacts))
        o.action = Action::Contacts;
    else
        o.action = Action::Split;
    o.NomFichierEntree = NomFichierEntree;
    o.NomRepSortie = NomRepSortie;
    o.NomRepEntree = NomRepEntree;
    o.NomFichierSortie = NomFichierSortie;
    o.NomRepPhotos = NomRepPhotos;
    o.NomRepLogos = NomRepLogos;
    o.photos = m_win.isChecked(Ctrl::C_Photo);
    o.logos = m_win.isChecked(Ctrl::C_Logos);
    o.dropX = m_win.isChecked(Ctrl::C_TagX);
    o.dropSync = m_win.isChecked(Ctrl::C_TagSync);
    o.googleLabels = m_win.isChecked(Ctrl::C_TagLabel);
    o.myPhoneIn = m_win.isChecked(Ctrl::C_MyPhoneIn);
    o.myPhoneOut = m_win.isChecked(Ctrl::C_MyphoneOut);
    o.Langue = Langue;
    o.seed = seed;
    return o;
}

void TF_Principal::B_goClick() {
    // Runs never interleave: a second press while one is under way does nothing.
    if (m_run)
        return;
    NomFichierEntree = m_win.editText(Ctrl::E_InputFiles);
    NomRepSortie = m_win.editText(Ctrl::E_RepDest);
    NomRepPhotos = m_win.editText(Ctrl::E_RepPhotos);
    NomRepLogos = m_win.editText(Ctrl::E_RepLogos);
    NomRepEntree = m_win.editText(Ctrl::E_RepEntree);

    const RunOptions options = runOptions();
    m_outputFolder.clear();
    Run run(options, m_win);
    m_run = &run;
    struct Reset {
        Run*& run;
        ~Reset() { run = nullptr; }
    } reset{m_run};
    try {
        m_report = run.exec();
    } catch (...) {
        m_report = run.report();
        throw;
    }
    // The file chosen in the save step is the merge's next proposal (and goes to the settings).
    if (!m_report.savedFile.isEmpty())
        NomFichierSortie = m_report.savedFile;
    if (m_report.filesWritten > 0)
        m_outputFolder = m_report.savedFile.isEmpty() ? options.NomRepSortie : QFileInfo(m_report.savedFile).path();
}

QString RunSummary(const RunReport& report, const QString& Langue) {
    using O = RunReport::Outcome;
    if (report.outcome == O::CheckFailed)
        return QString();
    const qint64 errors = report.errorLines.size();
    const QString written = Compte(Langue, report.cards, MsgContact, MsgContacts) + QStringLiteral(", ") +
                            Compte(Langue, report.filesWritten, MsgFichierEcrit, MsgFichiersEcrits);
    // A stop is the user's choice, not an error: its line says what was written.
    if (report.outcome == O::Stopped)
        return Mess(Langue, MsgResumeArret).arg(written);
    const QString counts =
        written + QStringLiteral(", ") +
        (errors == 0 ? Mess(Langue, MsgAucuneErreur) : Compte(Langue, errors, MsgErreur, MsgErreurs));
    switch (report.outcome) {
    case O::Error:
        return Mess(Langue, MsgResumeErreur).arg(counts);
    case O::SaveDeclined:
        return Mess(Langue, MsgResumeNonEnregistre).arg(counts);
    default:
        return counts;
    }
}

void TF_Principal::requestStop(bool closing) {
    if (m_run)
        m_run->requestStop(closing);
}
