#pragma once
// The window's controls, as the enabling rules, the captions, the settings file and the pickers
// read and set them, and the window as the Run button reaches it: its outputs, its message boxes
// and its questions. The Qt window and the tests' fake implement them; a run never sees them.
#include "kzmain/runoptions.h"
#include "kzmain/runsink.h"

#include <QString>
#include <optional>

enum class MsgResult { Ok, Yes, No, Cancel };

// The controls, named as in the window.
enum class Ctrl {
    // edit boxes and their picker buttons
    E_InputFiles, B_InputFile,
    E_RepDest, b_repdest,
    E_RepEntree, B_RepEntree,
    E_RepPhotos, b_repphotos,
    E_RepLogos, B_RepLogos,
    // the action
    R_Action, R_SVCFToContacts, R_SVCFToMVCF, R_MVCFToSVCF, R_MyPhonePhoto,
    // option boxes
    C_Photo, C_Logos, C_TagX, C_TagSync, C_MyPhoneIn, C_MyphoneOut, C_TagLabel,
    // the rest
    ComboLangue, L_Langue, L_Fichierstraites, L_Log, B_go, B_Cancel, L_Compteur, M_Compteur, L_Siteweb,
};

class FormControls {
public:
    virtual ~FormControls() = default;

    // Edit boxes (read even when disabled).
    virtual QString editText(Ctrl edit) const = 0;
    virtual void setEditText(Ctrl edit, const QString& text) = 0;
    // Radio buttons and check boxes. Selecting a radio button deselects the others;
    // setChecked(radio, false) deselects it.
    virtual bool isChecked(Ctrl box) const = 0;
    virtual void setChecked(Ctrl box, bool checked) = 0;
    virtual void setEnabled(Ctrl control, bool enabled) = 0;
    virtual bool isEnabled(Ctrl control) const = 0;
    // Language list: 0 = Français, 1 = English. Setting it does not run its change handler.
    virtual int comboIndex() const = 0;
    virtual void setComboIndex(int index) = 0;
    // Caption of a control (labels, check boxes, radio buttons, buttons), with "&" before its Alt
    // letter when it has one.
    virtual void setCaption(Ctrl control, const QString& text) = 0;

    // The input-file picker: the full path chosen (need not exist), or nothing when cancelled.
    // `filter` is "desc|mask|desc|mask...".
    virtual std::optional<QString> openDialog(const QString& /*initialDir*/, const QString& /*initialName*/,
                                              const QString& /*filter*/) {
        return std::nullopt;
    }
    // The folder picker titled `title`: true with `folder` set to the chosen folder, false
    // (and `folder` unchanged) when cancelled. `folder` is shown selected when it exists.
    virtual bool browseForFolder(QString& /*folder*/, const QString& /*title*/) { return false; }
};

// A window with controls: what the main object drives. Its outputs (RunSink) are called on the
// window's thread only, a run's in batches.
class FormWindow : public RunSink, public FormControls {
public:
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
    // A Run pressed with B_goClick has ended (the main object's lastReport says how), after what
    // it showed and its failed check's box.
    virtual void runEnded() {}
};
