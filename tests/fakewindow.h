#pragma once
// A window for tests: controls are plain values, message boxes and the save dialog answer
// from queues set in advance, and everything shown is recorded. It is also a run's sink, for
// tests that run a Run on their own thread.
#include "kzmain/runoptions.h"
#include "ui/presenter/controls.h"
#include "ui/presenter/kzform.h"
#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

class FakeWindow : public FormWindow {
public:
    struct Box {
        QString text;
        MsgKind kind;
        bool question; // the overwrite question (Yes/No/Cancel), not an OK box
    };
    struct SaveRequest {
        QString initialDir, initialName, filter, defaultSuffix;
    };

    FakeWindow() { selectAction(Ctrl::R_SVCFToMVCF); }

    // Controls
    QHash<Ctrl, QString> edits;
    QHash<Ctrl, bool> checks{{Ctrl::C_Photo, true},     {Ctrl::C_Logos, true},       {Ctrl::C_TagX, true},
                             {Ctrl::C_TagSync, true},   {Ctrl::C_TagLabel, true},    {Ctrl::C_MyPhoneIn, false},
                             {Ctrl::C_MyphoneOut, false}};
    QHash<Ctrl, bool> enabled;
    QHash<Ctrl, QString> captions;
    int combo = 0;

    // Answers given in advance; an empty queue answers Ok/Cancel for boxes and "dismissed" for the dialog.
    QQueue<MsgResult> boxAnswers;
    QQueue<std::optional<QString>> saveAnswers;

    // Answers of the pickers, given in advance; an empty queue means "cancelled".
    QQueue<std::optional<QString>> openAnswers;
    QQueue<std::optional<QString>> folderAnswers;
    struct PickRequest {
        QString initialDir, initialName, filter; // open dialog; the folder picker uses initialDir and filter (its title)
    };
    QList<PickRequest> pickRequests;

    // What was shown
    QList<Box> boxes;
    QList<SaveRequest> saveRequests;
    QStringList memo, log;
    QString counter;
    // Calls of FormWindow::runEnded.
    int runsEnded = 0;
    // Progress is asked for when `showProgress` is set; each report is kept.
    bool showProgress = false;
    QList<std::pair<qint64, qint64>> progress;
    bool showsProgress() const override { return showProgress; }
    void setProgress(qint64 done, qint64 total) override {
        progress.append({done, total});
        output();
    }
    // Called on every output (cleared, appended, counter, progress), after it is recorded.
    std::function<void()> onOutput;
    // Called when the save dialog opens, before it answers.
    std::function<void()> onSaveDialog;

    void selectAction(Ctrl radio) {
        for (Ctrl r : {Ctrl::R_SVCFToContacts, Ctrl::R_SVCFToMVCF, Ctrl::R_MVCFToSVCF, Ctrl::R_MyPhonePhoto})
            checks[r] = (r == radio);
    }

    QString editText(Ctrl edit) const override { return edits.value(edit); }
    void setEditText(Ctrl edit, const QString& text) override { edits[edit] = text; }
    bool isChecked(Ctrl box) const override { return checks.value(box, false); }
    void setChecked(Ctrl box, bool on) override {
        if (on && (box == Ctrl::R_SVCFToContacts || box == Ctrl::R_SVCFToMVCF || box == Ctrl::R_MVCFToSVCF ||
                   box == Ctrl::R_MyPhonePhoto))
            selectAction(box);
        else
            checks[box] = on;
    }
    void setEnabled(Ctrl control, bool on) override { enabled[control] = on; }
    bool isEnabled(Ctrl control) const override { return enabled.value(control, true); }
    int comboIndex() const override { return combo; }
    void setComboIndex(int index) override { combo = index; }
    // The caption as shown, without the "&" of its Alt letter.
    void setCaption(Ctrl control, const QString& text) override { captions[control] = QString(text).remove(u'&'); }

    void messageBox(const QString& text, MsgKind kind) override {
        boxes.append({text, kind, false});
        if (!boxAnswers.isEmpty())
            boxAnswers.dequeue();
    }
    MsgResult askOverwrite(const QString&, const QString& question) override {
        boxes.append({question, MsgKind::Warning, true});
        return boxAnswers.isEmpty() ? MsgResult::Cancel : boxAnswers.dequeue();
    }
    std::optional<QString> saveDialog(const QString& initialDir, const QString& initialName,
                                      const QString& filter, const QString& defaultSuffix) override {
        saveRequests.append({initialDir, initialName, filter, defaultSuffix});
        if (onSaveDialog)
            onSaveDialog();
        if (!saveAnswers.isEmpty())
            return saveAnswers.dequeue();
        return std::nullopt;
    }

    std::optional<QString> openDialog(const QString& initialDir, const QString& initialName,
                                      const QString& filter) override {
        pickRequests.append({initialDir, initialName, filter});
        return openAnswers.isEmpty() ? std::nullopt : openAnswers.dequeue();
    }
    bool browseForFolder(QString& folder, const QString& title) override {
        pickRequests.append({folder, QString(), title});
        const std::optional<QString> answer = folderAnswers.isEmpty() ? std::nullopt : folderAnswers.dequeue();
        if (answer)
            folder = *answer;
        return answer.has_value();
    }

    void clearCompteur() override { counter.clear(), output(); }
    void clearMemo() override { memo.clear(), output(); }
    void clearLog() override { log.clear(), output(); }
    void appendMemo(const QString& line) override { memo.append(line), output(); }
    void appendLog(const QString& line) override { log.append(line), output(); }
    void setCompteur(const QString& text) override { counter = text, output(); }
    void runEnded() override { ++runsEnded; }

private:
    void output() {
        if (onOutput)
            onOutput();
    }
};

// Lets the event loop run until the main object's run has ended, all it showed shown.
inline void finishRun(TF_Principal& p) {
    while (p.isRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// Presses Run and waits for the run to end.
inline void pressRun(TF_Principal& p) {
    p.B_goClick();
    finishRun(p);
}

// The options of a run as the fake window's controls stand at first: photos and logos included,
// X- lines, X-SYNC parameters and Google's labels dropped, French messages.
inline RunOptions testOptions() {
    RunOptions o;
    o.photos = true;
    o.logos = true;
    return o;
}
