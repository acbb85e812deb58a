#pragma once
// A read-only list of text lines for the window's processed-files list and log. Adding a line
// costs no layout: only the lines in view are drawn, so a run of a million lines stays fast.
// Lines may be marked as notices (the log's unknown-tag lines) and hidden, so that the errors
// among them can be found.
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
    // The same with each line's own kind (`notices` holds one flag per line).
    void appendLines(const QStringList& lines, const std::vector<bool>& notices);
    void clear();
    // Every line, notices included, shown or not.
    const QStringList& lines() const { return m_lines; }
    QString toPlainText() const { return m_lines.join(u'\n'); }

    // Hides or shows the notices. The view then shows the other lines, in order; scrolling,
    // selection and copy work on the lines shown. The selected lines and the line at the top
    // stay in view where they are still shown.
    void setNoticesHidden(bool hidden);
    bool noticesHidden() const { return m_noticesHidden; }

    // The lines shown, counted and read by their row.
    qsizetype shownCount() const { return m_noticesHidden ? m_shown.size() : m_lines.size(); }
    const QString& shownLine(qsizetype row) const { return m_lines.at(lineOfRow(row)); }
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
    qsizetype lineOfRow(qsizetype row) const { return m_noticesHidden ? m_shown.at(row) : row; }
    // The first row showing the line `line` or a line after it.
    qsizetype rowOfLine(qsizetype line) const;
    int lineHeight() const;
    int visibleLines() const;
    qsizetype rowAt(const QPoint& pos) const;
    void measure(qsizetype fromRow);
    void updateScrollBars();
    void childrenChanged();

    QStringList m_lines;
    std::vector<bool> m_notice; // per line: appended as a notice
    QList<qsizetype> m_shown;   // with notices hidden: the lines shown, in order
    bool m_noticesHidden = false;
    int m_contentWidth = 0;      // widest row measured, in pixels
    qsizetype m_widestChars = 0; // characters of the longest row seen
    qsizetype m_anchor = -1;     // selection: the rows from m_anchor to m_current
    qsizetype m_current = -1;
};
