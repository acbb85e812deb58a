#include "ui/lineview.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

namespace {
constexpr int kMargin = 3; // pixels between the frame and the text
}

LineView::LineView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    updateScrollBars();
}

int LineView::lineHeight() const {
    return qMax(1, fontMetrics().lineSpacing());
}

int LineView::visibleLines() const {
    return qMax(1, (viewport()->height() - 2 * kMargin) / lineHeight());
}

qsizetype LineView::lineAt(const QPoint& pos) const {
    if (m_lines.isEmpty())
        return -1;
    const qsizetype line = verticalScrollBar()->value() + qMax(0, pos.y() - kMargin) / lineHeight();
    return qBound<qsizetype>(0, line, m_lines.size() - 1);
}

// Measuring every line would cost as much as the text layout this view avoids: a line added
// is measured only when it is the longest yet; the lines drawn are measured as they are drawn.
void LineView::measure(qsizetype from) {
    const QFontMetrics fm = fontMetrics();
    for (qsizetype i = from; i < m_lines.size(); ++i) {
        const QString& line = m_lines.at(i);
        if (line.size() <= m_widestChars)
            continue;
        m_widestChars = line.size();
        m_contentWidth = qMax(m_contentWidth, fm.horizontalAdvance(line));
    }
}

void LineView::updateScrollBars() {
    const int page = visibleLines();
    QScrollBar* v = verticalScrollBar();
    v->setPageStep(page);
    v->setRange(0, int(qMin<qsizetype>(INT_MAX, qMax<qsizetype>(0, m_lines.size() - page))));
    QScrollBar* h = horizontalScrollBar();
    const int width = viewport()->width() - 2 * kMargin;
    h->setPageStep(qMax(1, width));
    h->setSingleStep(qMax(1, fontMetrics().averageCharWidth() * 2));
    h->setRange(0, qMax(0, m_contentWidth - width));
}

void LineView::appendLines(const QStringList& lines) {
    if (lines.isEmpty())
        return;
    QScrollBar* v = verticalScrollBar();
    const bool atEnd = v->value() >= v->maximum();
    const qsizetype from = m_lines.size();
    m_lines += lines;
    measure(from);
    updateScrollBars();
    if (atEnd)
        v->setValue(v->maximum());
    viewport()->update();
}

void LineView::clear() {
    m_lines.clear();
    m_contentWidth = 0;
    m_widestChars = 0;
    m_anchor = m_current = -1;
    updateScrollBars();
    viewport()->update();
}

QString LineView::selectedText() const {
    if (m_anchor < 0 || m_current < 0 || m_lines.isEmpty())
        return QString();
    const qsizetype first = qMin(m_anchor, m_current);
    const qsizetype last = qMin(qMax(m_anchor, m_current), m_lines.size() - 1);
    return m_lines.mid(first, last - first + 1).join(u'\n');
}

void LineView::selectAll() {
    if (m_lines.isEmpty())
        return;
    m_anchor = 0;
    m_current = m_lines.size() - 1;
    viewport()->update();
}

void LineView::copy() const {
    const QString text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void LineView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QPalette& pal = palette();
    const int h = lineHeight();
    const int ascent = fontMetrics().ascent();
    const int x = kMargin - horizontalScrollBar()->value();
    const qsizetype top = verticalScrollBar()->value();
    const qsizetype end = qMin(m_lines.size(), top + visibleLines() + 1);
    const qsizetype selFirst = m_anchor < 0 ? -1 : qMin(m_anchor, m_current);
    const qsizetype selLast = m_anchor < 0 ? -1 : qMax(m_anchor, m_current);
    p.setPen(pal.color(QPalette::Text));
    const QFontMetrics fm = fontMetrics();
    int widest = m_contentWidth;
    for (qsizetype i = top; i < end; ++i) {
        const int y = kMargin + int(i - top) * h;
        const bool selected = i >= selFirst && i <= selLast;
        if (selected) {
            p.fillRect(QRect(0, y, viewport()->width(), h), pal.color(QPalette::Highlight));
            p.setPen(pal.color(QPalette::HighlightedText));
        }
        p.drawText(x, y + ascent, m_lines.at(i));
        widest = qMax(widest, fm.horizontalAdvance(m_lines.at(i)));
        if (selected)
            p.setPen(pal.color(QPalette::Text));
    }
    // A line wider than any measured so far widens the scrolling range.
    if (widest > m_contentWidth) {
        m_contentWidth = widest;
        updateScrollBars();
    }
}

void LineView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    QScrollBar* v = verticalScrollBar();
    const bool atEnd = v->value() >= v->maximum();
    updateScrollBars();
    if (atEnd)
        v->setValue(v->maximum());
}

void LineView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const qsizetype line = lineAt(event->position().toPoint());
    if (line < 0)
        return;
    if (!(event->modifiers() & Qt::ShiftModifier) || m_anchor < 0)
        m_anchor = line;
    m_current = line;
    viewport()->update();
}

void LineView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || m_anchor < 0)
        return;
    const QPoint pos = event->position().toPoint();
    QScrollBar* v = verticalScrollBar();
    // Dragging past the top or bottom edge scrolls.
    if (pos.y() < 0)
        v->setValue(v->value() - 1);
    else if (pos.y() > viewport()->height())
        v->setValue(v->value() + 1);
    m_current = lineAt(pos);
    viewport()->update();
}

void LineView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->key() == Qt::Key_Home && (event->modifiers() & Qt::ControlModifier)) {
        verticalScrollBar()->setValue(0);
    } else if (event->key() == Qt::Key_End && (event->modifiers() & Qt::ControlModifier)) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void LineView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), this, &LineView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(!selectedText().isEmpty());
    QAction* allAction = menu.addAction(tr("Select All"), this, &LineView::selectAll);
    allAction->setShortcut(QKeySequence::SelectAll);
    allAction->setEnabled(!m_lines.isEmpty());
    menu.exec(event->globalPos());
}

void LineView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_contentWidth = 0;
        m_widestChars = 0;
        measure(0);
        updateScrollBars();
    }
}
