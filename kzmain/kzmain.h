#pragma once
// The main object: path fields, options, the lexer record, the driver, the settings file and
// the four conversions. It reaches the window only through WindowInterface.
#include "kzlex/kzlex.h"
#include "kzmain/window.h"
#include <QString>

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

    // The Run.
    void B_goClick();
    // True while a Run is under way; requestStop() ends it cleanly at its next line.
    bool isRunning() const { return m_running; }
    void requestStop() { m_stopRequested = true; }

    // The four conversions (each in a file of its own).
    void TraitementSVCFToContact(LineList& TSLin);
    void TraitementSVCFToMVCF(LineList& TSLin);
    void TraitementMVCFToSVCF(LineList& TSLin, LineList& TSLOut);
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

    WindowInterface& window() { return m_win; }

    // Lets pending events run (once per line of a conversion); throws RunStopped when the
    // window asked the run to stop.
    void LaisserEvenements();
    // Appends an error line to the log.
    void LogError(const KzError& e);

private:
    WindowInterface& m_win;
    bool m_running = false;
    bool m_stopRequested = false;
};
