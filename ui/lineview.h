#pragma once
// A read-only list of text lines for the window's processed-files list and log. Adding a line
// costs no layout: only the lines in view are drawn, so a run of a million lines stays fast.
#include <QAbstractScrollArea>
#include <QStringList>

class LineView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LineView(QWidget* parent = nullptr);

    // Adds lines at the end; the view follows them when it was showing the last line.
    void appendLines(const QStringList& lines);
    void clear();
    const QStringList& lines() const { return m_lines; }
    QString toPlainText() const { return m_lines.join(u'\n'); }

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
    int lineHeight() const;
    int visibleLines() const;
    qsizetype lineAt(const QPoint& pos) const;
    void measure(qsizetype from);
    void updateScrollBars();

    QStringList m_lines;
    int m_contentWidth = 0;      // widest line measured, in pixels
    qsizetype m_widestChars = 0; // characters of the longest line seen
    qsizetype m_anchor = -1;     // selection: the lines from m_anchor to m_current
    qsizetype m_current = -1;
};
