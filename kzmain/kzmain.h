#pragma once
// The main object: path fields, options, the lexer record, the driver, the settings file and
// the four conversions. It reaches the window only through WindowInterface.
#include "kzlex/kzlex.h"
#include "kzmain/window.h"
#include <QDateTime>
#include <QString>
#include <optional>

class TF_Principal {
public:
    explicit TF_Principal(WindowInterface& window);

    // Path fields (taken exactly as typed).
    QString NomFichierEntree;
    QString NomFichierSortie;
    QString NomRepSortie;
    QString NomRepEntree;
    QString NomRepPhotos;
    QString NomRepLogos;
    QString NomRepCour; // the settings folder, ending in "/"
    QString Langue = QStringLiteral("FR");
    // The lexer record every conversion reuses line by line.
    LECTYPE LEX;

    // The Run. A failed check shows its message box and returns. Errors raised during the
    // work are caught and written as one error line into the log, except an error while
    // reading the input file of the contacts, split or phone-book action: that error (a KzError,
    // or std::bad_alloc for a file too big for memory) leaves B_goClick with the outputs untouched
    // and nothing written, and the front end reports it (the window's general error report; the
    // command line prints its error line and exits 1). Any other exception leaving a conversion
    // is logged as a generic error line.
    void B_goClick();

    // How the last Run ended, for front ends that need a status (the command line).
    enum class RunOutcome {
        Done,         // the run reached its end
        CheckFailed,  // a check failed: its message box was shown, nothing was done
        Failed,       // an error line was logged by the driver or the output write failed
        SaveDeclined, // the save step ended with Cancel or a dismissed dialog
        Stopped       // the window asked the run to stop
    };
    RunOutcome lastOutcome() const { return m_outcome; }

    // Creation date written into .contact documents: UTC now, or the fixed time set by the
    // front end (the command line sets it from SOURCE_DATE_EPOCH for reproducible output).
    std::optional<QDateTime> creationTimeOverride;
    QDateTime DateCreation() const {
        return creationTimeOverride ? creationTimeOverride->toUTC() : QDateTime::currentDateTimeUtc();
    }
    // True while a Run is under way; requestStop() ends it cleanly at its next line.
    bool isRunning() const { return m_running; }
    void requestStop() { m_stopRequested = true; }

    // The four conversions (each in a file of its own). The contacts action and the split read
    // a list in memory or a file's text; the input passes that the options ask for apply.
    void TraitementSVCFToContact(LineList& TSLin);
    void TraitementSVCFToContact(InputText& texte);
    void TraitementSVCFToMVCF(LineList& TSLin);
    void TraitementSVCFToMVCF(InputText& texte);
    void TraitementMVCFToSVCF(LineList& TSLin, LineList& TSLOut);
    // The same for a file's text; the kept lines of the card go to `encodees` when given (as
    // the list would write them), its pictures and end line to TSLOut.
    void TraitementMVCFToSVCF(InputText& texte, LineList& TSLOut, QByteArray* encodees);
    void TraitementMyPhonePhoto(LineList& TSLin, LineList& TSLout, const QString& NomRepImageCache);

    // Base64 picture lines; the continuation prefix follows the selected action.
    void EcrirePhoto(const QString& Prefixe, const QByteArray& Sin, LineList& T);

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

    WindowInterface& window() { return m_win; }

    // Lets pending events run (once per line of a conversion); throws RunStopped when the
    // window asked the run to stop.
    void LaisserEvenements();
    // LaisserEvenements as a callback for long work on a whole file.
    Progress progress() {
        return [this] { LaisserEvenements(); };
    }
    // Appends an error line to the log.
    void LogError(const KzError& e);

private:
    WindowInterface& m_win;
    bool m_running = false;
    bool m_stopRequested = false;
    RunOutcome m_outcome = RunOutcome::Done;

    void TraitementSVCFToMVCF(InputLines& TSLin);
    void TraitementMVCFToSVCF(InputLines& TSLin, LineList& TSLOut, QByteArray* encodees);
    // The input passes the options ask for; Google's labels only where `google`, the
    // MyPhoneExplorer input dialect only where `myPhone`.
    InputLines::Passes inputPasses(bool google, bool myPhone = true);

    // The Run's steps (driver.cpp).
    template <typename Work> bool guarded(Work&& work);
    bool check(bool ok, quint16 No, MsgKind kind = MsgKind::Warning);
    void ClearOutputs();
    bool ReadInput(const std::function<void()>& read);
    void RunSingleFile();
    void RunMerge();
    void RunPhoneBook();
    // `encoded`, when given, is the list's text already encoded: it is written instead.
    void SaveOutput(LineList& TSLOut, const QString& initialDir, const QString& initialName, const QString& filter,
                    bool merge, const QByteArray* encoded = nullptr);
};
