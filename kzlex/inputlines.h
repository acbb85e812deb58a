#pragma once
// The lines of a conversion input in order, with the input passes that the options ask for
// applied to each in turn: a run holds the input's bytes and one line, not a string per line.
#include "kzlex/linelist.h"
#include "kzlex/passes.h"

class InputLines {
public:
    // The passes, in the order they apply.
    struct Passes {
        bool myPhone = false; // MyPhoneExplorer's dialect
        bool google = false;  // Google's label groups
        bool xsync = false;   // X-SYNC parameters
    };

    // Over a file's text, from its first line. Google's label groups are first collected from
    // the whole text.
    // `progress` is called every few thousand lines of that first reading.
    InputLines(InputText& text, Passes passes, const Progress& progress = {});
    // Over a list in memory: its lines are taken out of it as they are handed on.
    InputLines(LineList& list, Passes passes, const Progress& progress = {});

    // The next line as the passes leave it; false after the last.
    bool next(QString& line);

private:
    bool nextRaw(QString& line);
    bool atEndRaw() const;
    void collectLabels(const Progress& progress);

    InputText* m_text = nullptr;
    LineList* m_list = nullptr;
    qsizetype m_at = 0; // next line of the list
    Passes m_passes;
    MyPhoneInFilter m_myPhone;
    GoogleLabels m_labels;
};
