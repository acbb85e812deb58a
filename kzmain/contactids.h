#pragma once
// The element identifiers of the Windows Contacts documents that a run writes.
#include <QString>
#include <QtGlobal>

// The generator of element identifiers: 36-character upper-case hexadecimal identifiers,
// 8-4-4-4-12, from a 32-bit linear congruential generator. One per run.
class ElementIds {
public:
    explicit ElementIds(quint32 state) : m_state(state) {}
    // Seeded from the high-resolution clock: identifiers differ from one run to the next.
    static quint32 clockSeed();

    // The next identifier.
    QString next();
    // The same, written at `out` (36 characters), without a string made for it.
    void into(char16_t* out);
    quint32 state() const { return m_state; }

private:
    // One draw below n.
    quint32 drawBelow(quint32 n);
    quint32 m_state;
};
