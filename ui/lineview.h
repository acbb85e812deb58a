#pragma once
// A read-only list of text lines for the window's processed-files list and log. Adding a line
// costs no layout: only the lines in view are drawn, so a run of a million lines stays fast.
// Lines may be marked as notices (the log's unknown-tag lines) and hidden, so that the errors
// among them can be found.
#include "kzmain/lineblock.h"

#include <QAbstractScrollArea>
#include <QStringList>

#include <utility>
#include <vector>

class LineView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // The first view made registers the views' accessibility (a list with one item per line shown).
    explicit LineView(QWidget* parent = nullptr);

    // Adds lines at the end, as notices or not; the view follows them when it was showing the
    // last line.
    void appendLines(const QStringList& lines, bool notices = false);
    // The same with each line's own kind (`notices` holds one flag per line; lines without one
    // are not notices). A large block is kept as it comes, without a copy of its lines.
    void appendLines(LineBlock lines, const std::vector<bool>& notices = {});
    void clear();
    // Every line, notices included, shown or not.
    qsizetype lineCount() const { return m_count; }
    QString lineAt(qsizetype i) const { return line(i).toString(); }
    QStringList lines() const;
    QString toPlainText() const { return lines().join(u'\n'); }

    // Hides or shows the notices. The view then shows the other lines, in order; scrolling,
    // selection and copy work on the lines shown. The selected lines and the line at the top
    // stay in view where they are still shown.
    void setNoticesHidden(bool hidden);
    bool noticesHidden() const { return m_noticesHidden; }

    // The lines shown, counted and read by their row.
    qsizetype shownCount() const { return m_noticesHidden ? m_shown.size() : m_count; }
    QString shownLine(qsizetype row) const { return lineAt(lineOfRow(row)); }
    // The rows from the selection's first to its last; -1, -1 when nothing is selected.
    std::pair<qsizetype, qsizetype> selectedRows() const;
    // The rectangle of a row in the viewport's coordinates (outside it when scrolled away).
    QRect rowRect(qsizetype row) const;

    // Whole lines are selected, with the mouse, Shift and the keyboard's select-all.
    QString selectedText() const;
    void selectAll();
    void copy() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QStringView line(qsizetype i) const;
    QStringView shownView(qsizetype row) const { return line(lineOfRow(row)); }
    // Keeps `block` after the lines there are: copied into the last block while both are small,
    // so that lines added a few at a time do not each make a block.
    void addBlock(LineBlock block);
    qsizetype lineOfRow(qsizetype row) const { return m_noticesHidden ? m_shown.at(row) : row; }
    // The first row showing the line `line` or a line after it.
    qsizetype rowOfLine(qsizetype line) const;
    int lineHeight() const;
    int visibleLines() const;
    qsizetype rowAt(const QPoint& pos) const;
    void measure(qsizetype fromRow);
    void updateScrollBars();
    void childrenChanged();

    std::vector<LineBlock> m_blocks; // the lines, block after block
    std::vector<qsizetype> m_blockFirst; // per block: the number of its first line
    qsizetype m_count = 0;
    std::vector<bool> m_notice; // per line: appended as a notice
    QList<qsizetype> m_shown;   // with notices hidden: the lines shown, in order
    bool m_noticesHidden = false;
    int m_contentWidth = 0;      // widest row measured, in pixels
    qsizetype m_widestChars = 0; // characters of the longest row seen
    qsizetype m_anchor = -1;     // selection: the rows from m_anchor to m_current
    qsizetype m_current = -1;
};
