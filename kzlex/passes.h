#pragma once
// The dialect passes. The input ones work a line at a time (InputLines runs them in order);
// the MyPhoneExplorer output pass rewrites a whole list, in time linear in its size.
#include "kzlex/linelist.h"

#include <QSet>

#include <memory>

void PostTraitementMyPhone(LineList& T);
// Removes the first ";X-SYNC..." parameter of the line.
void ElimineXSyncLigne(QString& line);


// Google's label groups ("item1." of "item1.X-ABLabel:Work"). Their prefixes are collected from
// every label line of the input first, in the order first met; the pass then empties each label
// line and takes the first listed prefix that begins a line off it.
class PrefixTrie;
class GoogleLabels {
public:
    GoogleLabels();
    ~GoogleLabels();

    // Notes the prefix of a label line; true when the line is one. The line is text, or the
    // Windows-1252 bytes that decode to it.
    bool collect(QStringView line);
    bool collect(QByteArrayView line);
    // True for a label line.
    static bool isLabel(QStringView line);
    // Once every line was collected: makes the look-up that strip() uses.
    void finish();
    // Takes the first listed prefix that begins the line off it (after finish()).
    void strip(QString& line) const;
    // Whether the pass leaves the line, given as its Windows-1252 bytes, as it stands: it is no
    // label line and no prefix can begin it (after finish()). False when unsure.
    bool leavesAsItStands(QByteArrayView line) const;

private:
    template <typename View> bool collectLine(View line);
    QStringList m_ordered;
    QSet<QString> m_known;
    std::unique_ptr<PrefixTrie> m_trie;
};

// The MyPhoneExplorer input pass a line at a time, the lines given in order.
class MyPhoneInFilter {
public:
    // Rewrites the line; false when the pass drops it. `more`: another line follows it.
    bool take(QString& line, bool more);

private:
    bool m_photo = false;     // within the base64 block of a photo
    bool m_blankNext = false; // the next line continues this one
};
