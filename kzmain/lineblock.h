#pragma once
// Lines kept end to end in one string, with where each one ends. A run's lines reach the window
// in such blocks: a block costs two allocations however many lines it holds, and keeps no line's
// spare room (a line often shares a conversion's buffer sized for a picture).
#include <QString>
#include <QStringView>

#include <vector>

class LineBlock {
public:
    void append(QStringView line) {
        m_text.append(line);
        m_ends.push_back(m_text.size());
    }
    qsizetype size() const { return qsizetype(m_ends.size()); }
    bool isEmpty() const { return m_ends.empty(); }
    // The line `i`, valid while the block is neither changed nor destroyed.
    QStringView at(qsizetype i) const {
        const qsizetype begin = i > 0 ? m_ends[size_t(i - 1)] : 0;
        return QStringView(m_text).sliced(begin, m_ends[size_t(i)] - begin);
    }
    // Gives back the room grown past the lines, once no more are to come.
    void squeeze() {
        m_text.squeeze();
        m_ends.shrink_to_fit();
    }

private:
    QString m_text;
    std::vector<qsizetype> m_ends;
};
