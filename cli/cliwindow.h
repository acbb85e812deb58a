#pragma once
// The window of the command line: controls are plain values set from the arguments, message
// boxes print their text on standard error, the save dialog answers the output file given on
// the command line, the processed-files list goes to standard output and the log to
// standard error.
#include "kzmain/window.h"
#include <QElapsedTimer>
#include <QHash>
#include <cstdio>

class CliWindow : public WindowInterface {
public:
    CliWindow();
    ~CliWindow() override;

    // The answer of the save dialog (an absolute path), and whether an existing file is replaced.
    QString saveAnswer;
    bool force = false;
    // Set when the overwrite question was declined for want of --force.
    bool overwriteRefused = false;

    // Writes one line on standard error, clearing the counter line first if it is shown.
    void printError(const QString& line);
    // Whether the run logged an error line ("-> ... Err ..." or "-> ... Erreur ...").
    bool errorLogged() const { return m_errorLogged; }
    // Ends the counter line, if one is shown.
    void finishCounter();

    QString editText(Ctrl edit) const override { return m_edits.value(edit); }
    void setEditText(Ctrl edit, const QString& text) override { m_edits[edit] = text; }
    bool isChecked(Ctrl box) const override { return m_checks.value(box, false); }
    void setChecked(Ctrl box, bool checked) override;
    void setEnabled(Ctrl control, bool enabled) override { m_disabled[control] = !enabled; }
    bool isEnabled(Ctrl control) const override { return !m_disabled.value(control, false); }
    int comboIndex() const override { return m_combo; }
    void setComboIndex(int index) override { m_combo = index; }
    void setCaption(Ctrl, const QString&) override {}

    MsgResult messageBox(const QString& text, MsgKind kind, MsgButtons buttons) override;
    std::optional<QString> saveDialog(const QString& initialDir, const QString& initialName,
                                      const QString& filter) override;

    void clearCompteur() override { m_counter.clear(); }
    void clearMemo() override {}
    void clearLog() override {}
    void appendMemo(const QString& line) override;
    void appendLog(const QString& line) override;
    void setCompteur(const QString& text) override;
    QString compteur() const override { return m_counter; }
    void processEvents() override {}

private:
    void drawCounter();
    void hideCounter();

    QHash<Ctrl, QString> m_edits;
    QHash<Ctrl, bool> m_checks;
    QHash<Ctrl, bool> m_disabled;
    int m_combo = 1;
    QString m_counter;
    bool m_tty = false;       // standard error is a terminal: the counter is shown
    bool m_stdoutTty = false; // standard output is on a terminal too
    bool m_separate = false;  // standard output and error are different files: both buffered
    bool m_counterShown = false;
    bool m_saveAsked = false;
    bool m_errorLogged = false;
    QElapsedTimer m_sinceDraw;
};

// Writes text and a line feed as UTF-8.
void writeLine(std::FILE* stream, const QString& line);
