// The main object's shared plumbing: construction, letting events run, error lines.
#include "kzmain/kzmain.h"

TF_Principal::TF_Principal(WindowInterface& window) : m_win(window) {}

void TF_Principal::LaisserEvenements()
{
    m_win.processEvents();
    if (m_stopRequested)
        throw RunStopped(QStringLiteral("Run stopped: the window is closing"));
}

void TF_Principal::LogError(const KzError& e)
{
    m_win.appendLog(e.errorLine());
}

void TF_Principal::EcrirePhoto(const QString& Prefixe, const QByteArray& Sin, LineList& T)
{
    // Windows Contacts documents take the data lines as they are; vCard folds them with a blank.
    const bool contacts = m_win.isChecked(Ctrl::R_SVCFToContacts);
    EcrirePhotoLignes(Prefixe, Sin, T, contacts ? QString() : QStringLiteral(" "));
}
