#pragma once
// One Run: the driver behind the Run button and the four conversions. It takes its options as
// one value, reaches the window only through WindowInterface, and returns a report. Everything
// it holds (the identifier generator, the picture folders' listings) lives and dies with it;
// each conversion owns its per-card state and its lexer record.
#include "kzlex/kzlex.h"
#include "kzmain/contactids.h"
#include "kzmain/runoptions.h"
#include "kzmain/window.h"

#include <atomic>
#include <functional>
#include <limits>

class Run {
public:
    Run(const RunOptions& options, WindowInterface& window);
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // The whole Run: the checks of the action, reading the input, the conversion and, for the
    // merge and the phone book, the save step. A failed check shows its message box. Errors
    // raised during the work become one error line in the log, except an error while reading
    // the input file of the contacts, split or phone-book action: it leaves exec() (a KzError,
    // or std::bad_alloc for a file too big for memory) with the outputs untouched and nothing
    // written, for the front end to report (the window's general error report; the command
    // line's error line and exit 1).
    RunReport exec();
    // Ends the run cleanly at its next line (from the window, while the run lets events run);
    // `closing`: the window is closing, else the user pressed Stop.
    void requestStop(bool closing) {
        m_stopClosing = closing;
        m_stopRequested = true;
    }
    const RunReport& report() const { return m_report; }

    // The four conversions, each in a file of its own; the tests call them directly. The
    // contacts action and the split read a list in memory or a file's text.
    void TraitementSVCFToContact(LineList& TSLin);
    void TraitementSVCFToContact(InputText& texte);
    void TraitementSVCFToMVCF(LineList& TSLin);
    void TraitementSVCFToMVCF(InputText& texte);
    void TraitementMVCFToSVCF(LineList& TSLin, LineList& TSLOut);
    // The same for a file's text; the kept lines of the card go to `encodees` when given (as
    // the list would write them), its pictures and end line to TSLOut.
    void TraitementMVCFToSVCF(InputText& texte, LineList& TSLOut, QByteArray* encodees);
    void TraitementMyPhonePhoto(LineList& TSLin, LineList& TSLout, const QString& NomRepImageCache);

    // For the conversions.
    const RunOptions& options() const { return O; }
    WindowInterface& window() { return m_win; }
    RunReport& counts() { return m_report; }
    // The photos and logos folders, each listed at most once per run.
    PictureFolder& photos() { return m_photos; }
    PictureFolder& logos() { return m_logos; }
    // A new element identifier written at `out` (36 characters).
    void nouvelId(char16_t* out) { m_ids.into(out); }
    const ElementIds& identifiers() const { return m_ids; }
    // The creation date written into .contact documents.
    QDateTime DateCreation() const;
    // Lets pending events run (once per line of a conversion); throws RunStopped when the
    // window asked the run to stop.
    void LaisserEvenements() {
        m_win.processEvents();
        if (m_stopRequested)
            arret();
    }
    // The same at input line `ligne` (from 1), which the progress shown follows.
    void LaisserEvenements(qint64 ligne) {
        avancer(ligne);
        LaisserEvenements();
    }
    // LaisserEvenements as a callback for long work on a whole file.
    Progress progress() {
        return [this] { LaisserEvenements(); };
    }
    // Appends an error line to the log; `erreur` writes " Erreur " in place of " Err " (the
    // picture look-ups of the contacts action).
    void LogError(const KzError& e, bool erreur = false);
    // Base64 picture lines after a vCard property head, folded with a blank.
    void EcrirePhoto(const QString& Prefixe, const QByteArray& Sin, LineList& T);
    // Logs the processed-files list's end and the log's: message 8.
    void finConversion();
    // The counter: the cards done so far, and for the phone book the pictures copied.
    void montrerCompteur(qint64 cartes);
    void montrerCompteur(qint64 cartes, qint64 images);

private:
    void TraitementSVCFToMVCF(InputLines& TSLin);
    void TraitementMVCFToSVCF(InputLines& TSLin, LineList& TSLOut, QByteArray* encodees);
    // The input passes the options ask for; Google's labels only where `google`, the
    // MyPhoneExplorer input dialect only where `myPhone`.
    InputLines::Passes inputPasses(bool google, bool myPhone = true) const;

    // The Run's steps (driver.cpp).
    template <typename Work> bool guarded(Work&& work);
    // A check: when it fails, its message box is shown and the run ends there.
    bool check(bool ok, quint16 No, RunReport::Field field, MsgKind kind = MsgKind::Warning);
    bool check(bool ok, const QString& message, RunReport::Field field, MsgKind kind = MsgKind::Warning);
    bool checkRepSortie();
    bool checkDossiersImages();
    // The input file has lines ("Empty file" with its name otherwise).
    bool checkNonVide(bool nonVide);
    void LogStop(const RunStopped& e);
    // Once the checks and the questions are done: the outputs emptied, the notices logged.
    void debutTravail();
    QString compte(qint64 n, quint16 one, quint16 many) const;
    // Progress: `total` input lines (or files) from now on; the window told of the share done.
    void debutAvancement(qint64 total);
    // `fait` lines (or files) done: the window is told when a further share is done.
    void avancer(qint64 fait) {
        if (fait >= m_prochainAvancement)
            avancement(fait);
    }
    void avancement(qint64 fait);
    void finAvancement();
    [[noreturn]] void arret();
    void ClearOutputs();
    bool ReadInput(const std::function<void()>& read);
    void RunSingleFile();
    void RunMerge();
    void RunPhoneBook();
    // The save dialog and the overwrite question, before the work: the file chosen, or nothing.
    std::optional<QString> ChooseOutput(const QString& initialDir, const QString& initialName, const QString& filter,
                                        const QString& defaultSuffix);
    // `encoded`, when given, is the list's text already encoded: it is written instead.
    void WriteOutput(LineList& TSLOut, const QString& chosen, bool merge, const QByteArray* encoded = nullptr);

    const RunOptions O;
    // The window given, reached through m_win: its list and log lines are shown on one line.
    ShownLinesWindow m_shown;
    WindowInterface& m_win;
    RunReport m_report;
    std::atomic<bool> m_stopRequested{false};
    bool m_stopClosing = true;
    // The input's lines (or files); the window is told of the share done again at
    // m_prochainAvancement.
    qint64 m_total = 0;
    qint64 m_prochainAvancement = std::numeric_limits<qint64>::max();
    ElementIds m_ids;
    PictureFolder m_photos;
    PictureFolder m_logos;
    // Pictures of that kind were asked for, but no folder was given: the run says so.
    bool m_sansPhotos = false;
    bool m_sansLogos = false;
};

// "%1 thing" or "%1 things" (messages `one` and `many`) by the language's rule.
QString Compte(const QString& Langue, qint64 n, quint16 one, quint16 many);
