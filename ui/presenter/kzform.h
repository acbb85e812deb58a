#pragma once
// The main object: the window's lasting state (path fields, language), its enabling rules and
// captions, the settings file, the pickers, and the Run button, which makes one RunOptions
// value, asks for the output file once the run's checks passed, runs the work on a worker
// thread and keeps its report. It reaches the window through FormWindow. Qt Core only.
#include "kzlex/kzlex.h"
#include "kzmain/run.h"
#include "kzmain/runoptions.h"
#include "ui/presenter/controls.h"

#include <QString>
#include <exception>
#include <memory>

class RunThread;

class TF_Principal {
public:
    explicit TF_Principal(FormWindow& window);
    // A run still under way is stopped and waited for.
    ~TF_Principal();
    TF_Principal(const TF_Principal&) = delete;
    TF_Principal& operator=(const TF_Principal&) = delete;

    // Path fields (taken exactly as typed).
    QString NomFichierEntree;
    QString NomFichierSortie;
    QString NomRepSortie;
    QString NomRepEntree;
    QString NomRepPhotos;
    QString NomRepLogos;
    QString NomRepCour; // the settings folder, ending in "/"
    Language Langue = Language::French;
    // The seed of the runs' .contact identifiers (fixed output, for a benchmark); the clock when
    // not set.
    std::optional<quint32> seed;
    // How the settings file and the runs read and write files.
    FileAccess files = FileAccess::Quick;

    // The Run: copies the path fields from their edit boxes, makes the run's options from the
    // controls once (they stay frozen while it runs), makes the run's checks and, for the merge
    // and the phone book, asks for the output file (and whether to replace it). Then the work
    // starts on a worker thread and this returns; what the run shows reaches the window in
    // batches. When it has ended, a failed check's message box is shown and the window is told
    // (FormWindow::runEnded), also when it ended before any work. A second press while a run is
    // under way does nothing.
    void B_goClick();
    // The options that Run would be given now.
    RunOptions runOptions() const;
    // How the last Run ended, and the folder it wrote into ("" when it wrote nothing).
    const RunReport& lastReport() const { return m_report; }
    const QString& lastOutputFolder() const { return m_outputFolder; }
    // What escaped the last Run (an error reading its input, for one), thrown again here once,
    // for the window's general error report; nothing when the run ended by itself.
    void rethrowRunError();

    // True while a Run is under way; requestStop() ends it cleanly at its next line (`closing`:
    // because the window is closing, else at the user's request).
    bool isRunning() const { return m_thread != nullptr; }
    void requestStop(bool closing = true);

    // Settings file and start state; false when the settings folder cannot be created
    // (its message shown; the program then ends with exit code 1).
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
    bool pickFolder(Ctrl field, QString& folder, Msg title);
    // The Run's steps on the window's thread (principal.cpp).
    // The checks and the output file's questions; false when the run ends there.
    bool prepareRun(Run& run);
    // The save dialog and the overwrite question (asked before replacing an existing file;
    // No reopens the dialog on the declined path). Nothing when the user cancels.
    std::optional<std::pair<QString, bool>> ChooseOutput(const RunOptions& o);
    void endRun(const RunReport& report, std::exception_ptr error);

    FormWindow& m_win;
    std::unique_ptr<RunThread> m_thread; // the run under way
    std::unique_ptr<RunThread> m_ended;  // the last one, deleted at the next Run
    bool m_stopClosing = false;
    RunReport m_report;
    std::exception_ptr m_error;
    QString m_outputFolder;
};

// One line that sums up a run: its cards, the files it wrote and its errors, with how it ended
// when it did not reach its end ("" for a failed check).
QString RunSummary(const RunReport& report, Language language);
