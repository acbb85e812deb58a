#pragma once
// What a run shows and asks: the processed-files list, the log, the counter, message boxes, the
// save question, and letting pending events run. The Qt window, the command line and the
// tests' fake each implement it.
#include "kzlex/shownline.h"

#include <QString>
#include <optional>

enum class MsgKind { Warning, Information, Error };
enum class MsgResult { Ok, Yes, No, Cancel };

class WindowInterface {
public:
    virtual ~WindowInterface() = default;

    // A message box with an OK button.
    virtual void messageBox(const QString& text, MsgKind kind) = 0;
    // The save dialog: the full path chosen, or nothing when dismissed. It neither asks about
    // overwriting nor adds an extension. `filter` is "desc|mask|desc|mask...".
    // `defaultSuffix` (without its dot, may be empty) is what a name typed without one gets.
    virtual std::optional<QString> saveDialog(const QString& initialDir, const QString& initialName,
                                              const QString& filter, const QString& defaultSuffix) = 0;
    // The question whether to replace the existing file `path` (its text: `question`): Yes, No
    // (choose another name) or Cancel; closing the box counts as Cancel.
    virtual MsgResult askOverwrite(const QString& path, const QString& question) = 0;

    // The three outputs.
    virtual void clearCompteur() = 0;
    virtual void clearMemo() = 0;
    virtual void clearLog() = 0;
    virtual void appendMemo(const QString& line) = 0;
    virtual void appendLog(const QString& line) = 0;
    virtual void setCompteur(const QString& text) = 0;
    // An unknown-tag notice of the log, or its echo of the input line: a front end may hide them
    // to show the errors only.
    virtual void appendLogNotice(const QString& line) { appendLog(line); }

    // Whether the front end shows the share of the input done; the run then counts the input's
    // lines first.
    virtual bool showsProgress() const { return false; }
    // `done` of `total` (input lines; files for the merge): at the start, every few hundredths of
    // the input, and at the end of a run that reached it.
    virtual void setProgress(qint64 /*done*/, qint64 /*total*/) {}

    // Lets pending window events run; the conversions call it once per line, so it must be cheap.
    virtual void processEvents() = 0;
};

// The window as a run reaches it: every list and log line leaves as ShownLine makes it (one
// line, no control character), whatever it echoes; the rest goes through as it is.
class ShownLinesWindow : public WindowInterface {
public:
    explicit ShownLinesWindow(WindowInterface& window) : m_window(window) {}

    void messageBox(const QString& text, MsgKind kind) override { m_window.messageBox(text, kind); }
    std::optional<QString> saveDialog(const QString& initialDir, const QString& initialName, const QString& filter,
                                      const QString& defaultSuffix) override {
        return m_window.saveDialog(initialDir, initialName, filter, defaultSuffix);
    }
    MsgResult askOverwrite(const QString& path, const QString& question) override {
        return m_window.askOverwrite(path, question);
    }
    void clearCompteur() override { m_window.clearCompteur(); }
    void clearMemo() override { m_window.clearMemo(); }
    void clearLog() override { m_window.clearLog(); }
    void appendMemo(const QString& line) override { m_window.appendMemo(ShownLine(line)); }
    void appendLog(const QString& line) override { m_window.appendLog(ShownLine(line)); }
    void appendLogNotice(const QString& line) override { m_window.appendLogNotice(ShownLine(line)); }
    void setCompteur(const QString& text) override { m_window.setCompteur(text); }
    bool showsProgress() const override { return m_window.showsProgress(); }
    void setProgress(qint64 done, qint64 total) override { m_window.setProgress(done, total); }
    void processEvents() override { m_window.processEvents(); }

private:
    WindowInterface& m_window;
};
