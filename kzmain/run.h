#pragma once
// One Run: the driver behind the Run button and the four conversions. It takes its options as
// one value, reports what it shows to a RunSink, and returns a report; it asks nothing. Its
// checks come first, as a step of their own that a front end calls before it asks for the
// output file; a stop token ends the work at its next line, from any thread. Everything it
// holds (the identifier generator, the picture folders' listings) lives and dies with it; each
// conversion owns its per-card state and its lexer record.
#include "kzlex/kzlex.h"
#include "kzmain/contactids.h"
#include "kzmain/runoptions.h"
#include "kzmain/runsink.h"

#include <atomic>
#include <functional>
#include <limits>

class Run {
public:
    Run(const RunOptions& options, RunSink& sink);
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // The checks of the fields, in the action's order, up to where the merge's or the phone
    // book's output file is chosen (the merge lists its folder here, so that "no VCF file" comes
    // before that question). Cheap, reads no input and shows nothing: false when one failed, the
    // report then says which (CheckFailed, its message, kind and field). Made once.
    bool checkFields();
    // Whether the action writes one output file chosen by the front end (merge, phone book).
    bool writesOutputFile() const { return O.action == Action::Merge || O.action == Action::PhoneBook; }
    // The front end's answer once the checks passed: the output file and whether it may replace
    // an existing one.
    void setOutput(const QString& file, bool overwrite) {
        O.outputFile = file;
        O.overwrite = overwrite;
    }

    // The whole Run: the checks (when not made yet), the output file's check, reading the input,
    // the conversion and, for the merge and the phone book, writing the output file. A failed
    // check ends it with its report. Errors raised during the work become one error line in the
    // log, except an error while reading the input file of the contacts, split or phone-book
    // action: it leaves exec() (a KzError, or std::bad_alloc for a file too big for memory) with
    // the outputs untouched and nothing written, for the front end to report (the window's
    // general error report; the command line's error line and exit 1).
    RunReport exec();
    // Ends the work cleanly at its next line; safe from any thread. `closing`: the window is
    // closing, else the user pressed Stop.
    void requestStop(bool closing) {
        m_stopClosing.store(closing, std::memory_order_relaxed);
        m_stopRequested.store(true, std::memory_order_release);
    }
    const RunReport& report() const { return m_report; }

    // The four conversions, each in a file of its own; the tests call them directly. The
    // contacts action and the split read a file's text.
    void TraitementSVCFToContact(InputText& texte);
    void TraitementSVCFToMVCF(InputText& texte);
    // The first card of a file's text appended to TSLOut; its kept lines go to `encodees`
    // instead when given (as the list would write them), its pictures and end line to TSLOut.
    void TraitementMVCFToSVCF(InputText& texte, LineList& TSLOut, QByteArray* encodees);
    void TraitementMyPhonePhoto(LineList& TSLin, LineList& TSLout, const QString& NomRepImageCache);

    // For the conversions.
    const RunOptions& options() const { return O; }
    RunSink& sink() { return m_win; }
    RunReport& counts() { return m_report; }
    // The photos and logos folders, each listed at most once per run.
    PictureFolder& photos() { return m_photos; }
    PictureFolder& logos() { return m_logos; }
    // A new element identifier written at `out` (36 characters).
    void nouvelId(char16_t* out) { m_ids.into(out); }
    const ElementIds& identifiers() const { return m_ids; }
    // The creation date written into .contact documents.
    QDateTime DateCreation() const;
    // Looks at the stop token (once per line of a conversion); throws RunStopped when the front
    // end asked the run to stop.
    void VerifierArret() {
        if (m_stopRequested.load(std::memory_order_acquire))
            arret();
    }
    // The same at input line `ligne` (from 1), which the progress shown follows.
    void VerifierArret(qint64 ligne) {
        avancer(ligne);
        VerifierArret();
    }
    // VerifierArret as a callback for long work on a whole file.
    Progress progress() {
        return [this] { VerifierArret(); };
    }
    // Appends an error line to the log; `erreur` writes " Erreur " in place of " Err " (the
    // picture look-ups of the contacts action).
    void LogError(const KzError& e, bool erreur = false);
    // Base64 picture lines after a vCard property head, folded with a blank.
    void EcrirePhoto(const QString& Prefixe, const QByteArray& Sin, LineList& T);
    // Logs the processed-files list's end and the log's: "Conversion done".
    void finConversion();
    // The counter: the cards done so far, and for the phone book the pictures copied.
    void montrerCompteur(qint64 cartes);
    void montrerCompteur(qint64 cartes, qint64 images);

private:
    // The input passes the options ask for; Google's labels only where `google`, the
    // MyPhoneExplorer input dialect only where `myPhone`.
    InputLines::Passes inputPasses(bool google, bool myPhone = true) const;

    // The Run's steps (driver.cpp).
    template <typename Work> bool guarded(Work&& work);
    // A check: when it fails, the report holds its message and the run ends there.
    bool check(bool ok, Msg msg, RunReport::Field field, MsgKind kind = MsgKind::Warning);
    bool check(bool ok, const QString& message, RunReport::Field field, MsgKind kind = MsgKind::Warning);
    bool checkRepSortie();
    bool checkDossiersImages();
    // The checks of each action before its output file is chosen.
    bool checkSingleFile();
    bool checkPhoneBook();
    bool checkMerge();
    // The output file of the merge or the phone book: chosen, and not replacing a file unasked.
    bool checkOutputFile();
    // The input file has lines ("Empty file" with its name otherwise).
    bool checkNonVide(bool nonVide);
    void LogStop(const RunStopped& e);
    // Once the checks and the questions are done: the outputs emptied, the notices logged.
    void debutTravail();
    QString compte(qint64 n, Msg one, Msg many) const;
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
    // `encoded`, when given, is the list's text already encoded: it is written instead.
    void WriteOutput(LineList& TSLOut, const QString& chosen, bool merge, const QByteArray* encoded = nullptr);

    RunOptions O;
    // The sink given, reached through m_win: its list and log lines are shown on one line.
    ShownLinesSink m_shown;
    RunSink& m_win;
    RunReport m_report;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_stopClosing{true};
    // checkFields was made (and passed, when m_checksPassed).
    bool m_checked = false;
    bool m_checksPassed = false;
    // The merge's input files, listed by its checks.
    QStringList m_entries;
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
QString Compte(Language language, qint64 n, Msg one, Msg many);
