#include "kzlex/inputlines.h"

#include "kzlex/cp1252.h"

#include <utility>

namespace {

// Whether the line holds ";X-SYNC": each semicolon is looked at (photo data holds none).
bool holdsXSync(QByteArrayView line) {
    for (qsizetype at = line.indexOf(';'); at >= 0; at = line.indexOf(';', at + 1))
        if (line.sliced(at + 1).startsWith("X-SYNC"))
            return true;
    return false;
}

} // namespace

InputLines::InputLines(InputText& text, Passes passes, const Progress& progress) : m_text(&text), m_passes(passes) {
    m_text->rewind();
    if (m_passes.google)
        collectLabels(progress);
}

InputLines::InputLines(LineList& list, Passes passes, const Progress& progress) : m_list(&list), m_passes(passes) {
    if (m_passes.google)
        collectLabels(progress);
}

void InputLines::collectLabels(const Progress& progress) {
    qsizetype counted = 0;
    if (m_text && !m_passes.myPhone) {
        // The label lines are found in the bytes: only they are decoded.
        QByteArrayView bytes;
        while (m_text->nextBytes(bytes)) {
            tickProgress(progress, counted);
            m_labels.collect(bytes);
        }
        m_text->rewind();
    } else {
        // The labels are those of the lines as the MyPhoneExplorer pass leaves them.
        MyPhoneInFilter myPhone;
        QString line;
        for (qsizetype i = 0;; ++i) {
            if (m_text) {
                if (!m_text->next(line))
                    break;
            } else if (i < m_list->size()) {
                line = m_list->at(i);
            } else {
                break;
            }
            tickProgress(progress, counted);
            const bool more = m_text ? !m_text->atEnd() : i + 1 < m_list->size();
            if (!m_passes.myPhone || myPhone.take(line, more))
                m_labels.collect(line);
        }
        if (m_text)
            m_text->rewind();
    }
    m_labels.finish();
}

bool InputLines::nextRaw(QString& line) {
    // A line read from bytes is looked at for ";X-SYNC" there, at half the width: decoding
    // keeps every ASCII character where it is and makes none of the other bytes, and the
    // Google pass only takes a prefix off, so a line without it in its bytes never has it.
    m_mayHoldXSync = true;
    if (m_pending) {
        m_pending = false;
        if (m_passes.xsync && !m_passes.myPhone)
            m_mayHoldXSync = holdsXSync(m_pendingBytes);
        Cp1252::decodeInto(m_pendingBytes, line);
        return true;
    }
    if (m_text) {
        QByteArrayView bytes;
        if (!m_text->nextBytes(bytes))
            return false;
        if (m_passes.xsync && !m_passes.myPhone)
            m_mayHoldXSync = holdsXSync(bytes);
        Cp1252::decodeInto(bytes, line);
        return true;
    }
    if (m_at >= m_list->size())
        return false;
    line = std::exchange((*m_list)[m_at++], QString());
    return true;
}

bool InputLines::atEndRaw() const {
    if (m_pending)
        return false;
    return m_text ? m_text->atEnd() : m_at >= m_list->size();
}

const QByteArrayView* InputLines::peekPlain() {
    // The MyPhoneExplorer pass may change any line; the Google one a label line and a line that
    // a label's group may begin; the X-SYNC one a line that holds ";X-SYNC" (in bytes as in
    // characters: it is ASCII).
    if (!m_text || m_passes.myPhone || m_hasBack)
        return nullptr;
    if (!m_pending) {
        if (!m_text->nextBytes(m_pendingBytes))
            return nullptr;
        m_pending = true;
    }
    if (m_passes.google && !m_labels.leavesAsItStands(m_pendingBytes))
        return nullptr;
    if (m_passes.xsync && holdsXSync(m_pendingBytes))
        return nullptr;
    return &m_pendingBytes;
}

bool InputLines::next(QString& line) {
    if (m_hasBack) {
        m_hasBack = false;
        line = std::move(m_back);
        m_back = QString();
        return true;
    }
    while (nextRaw(line)) {
        if (m_passes.myPhone && !m_myPhone.take(line, !atEndRaw()))
            continue; // dropped
        if (m_passes.google) {
            if (GoogleLabels::isLabel(line))
                line = QString();
            else
                m_labels.strip(line);
        }
        if (m_passes.xsync && m_mayHoldXSync)
            ElimineXSyncLigne(line);
        return true;
    }
    return false;
}
