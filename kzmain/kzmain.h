#pragma once
// The main object: the window's lasting state (path fields, language), its enabling rules and
// captions, the settings file, the pickers, and the Run button, which hands one RunOptions value
// to a Run and keeps its report. It reaches the window through FormWindow.
#include "kzlex/kzlex.h"
#include "kzmain/controls.h"
#include "kzmain/run.h"
#include "kzmain/runoptions.h"

#include <QString>

class TF_Principal {
public:
    explicit TF_Principal(FormWindow& window);

    // Path fields (taken exactly as typed).
    QString NomFichierEntree;
    QString NomFichierSortie;
    QString NomRepSortie;
    QString NomRepEntree;
    QString NomRepPhotos;
    QString NomRepLogos;
    QString NomRepCour; // the settings folder, ending in "/"
    QString Langue = QStringLiteral("FR");
    // The seed of the runs' .contact identifiers (fixed output, for a benchmark); the clock when
    // not set.
    std::optional<quint32> seed;

    // The Run: copies the path fields from their edit boxes, makes the run's options from the
    // controls once (they stay frozen while it runs) and runs it (see Run::exec). A second press
    // while a run is under way does nothing. An error reading the input leaves it for the window
    // to report.
    void B_goClick();
    // The options that Run would be given now.
    RunOptions runOptions() const;
    // How the last Run ended, and the folder it wrote into ("" when it wrote nothing).
    const RunReport& lastReport() const { return m_report; }
    const QString& lastOutputFolder() const { return m_outputFolder; }

    // True while a Run is under way; requestStop() ends it cleanly at its next line (`closing`:
    // because the window is closing, else at the user's request).
    bool isRunning() const { return m_run != nullptr; }
    void requestStop(bool closing = true);

    // Settings file and start state; false when the settings folder cannot be created
    // (message 16 shown; the program then ends with exit code 1).
    bool FormCreate();
    void FormClose();

    // Enabling rules and captions.
    void R_Button();
    void C_PhotoClick();
    void C_LogosClick();
    void ComboLangueClick();
    void TranslateForm();

    // Pickers: the input file and the four folders (output, input, photos, logos). A photos
    // or logos pick also fills the other folder's field when that field is empty.
    void B_InputFileClick();
    void b_repdestClick();
    void B_RepEntreeClick();
    void b_repphotosClick();
    void B_RepLogosClick();

private:
    // One KEY=value line of the settings file, keys and keywords in any letter case.
    void LireLigneConfig(const QString& line);
    // The folder a picker opens at: the one in its field when it exists, else the last one used.
    QString pickerStart(Ctrl field, const QString& last) const;
    // The folder picker of `field`: on a choice, `folder` and the field take it.
    bool pickFolder(Ctrl field, QString& folder, quint16 title);

    FormWindow& m_win;
    Run* m_run = nullptr; // the run under way
    RunReport m_report;
    QString m_outputFolder;
};

// One line that sums up a run: its cards, the files it wrote and its errors, with how it ended
// when it did not reach its end ("" for a failed check).
QString RunSummary(const RunReport& report, const QString& Langue);
