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
    // The bytes of the next line, when they are read from a file's text and the passes hand that
    // line on unchanged (its decoded form is then what next() would give); nothing otherwise, or
    // after the last line. The line stays next until skip() or next() takes it.
    const QByteArrayView* peekPlain();
    // Passes over the line that peekPlain() gave.
    void skip() { m_pending = false; }
    // Hands `line`, taken by next(), out again as the next line: one line of look-ahead.
    void putBack(QString line) {
        m_back = std::move(line);
        m_hasBack = true;
    }
    // Whether the input was read through a byte-order mark (its CHARSET parameters say nothing).
    bool readThroughMark() const { return m_text ? m_text->readThroughMark() : m_list->readThroughMark(); }

private:
    bool nextRaw(QString& line);
    bool atEndRaw() const;
    void collectLabels(const Progress& progress);

    InputText* m_text = nullptr;
    QByteArrayView m_pendingBytes; // a line of the text read by peekPlain() and not taken yet
    bool m_pending = false;
    bool m_mayHoldXSync = true; // the line nextRaw() gave may hold ";X-SYNC"
    QString m_back; // a line put back
    bool m_hasBack = false;
    LineList* m_list = nullptr;
    qsizetype m_at = 0; // next line of the list
    Passes m_passes;
    MyPhoneInFilter m_myPhone;
    GoogleLabels m_labels;
};
