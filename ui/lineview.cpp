#include "ui/lineview.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHash>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int kMargin = 3; // pixels between the frame and the text
// Blocks of fewer lines than this in all are put together as they are added.
constexpr qsizetype kSmallBlock = 4096;

// One line shown, for screen readers. It reads the view when asked, so it stays right while
// lines are added; a row past the lines shown (after clear()) is no longer valid.
class LineViewItem : public QAccessibleInterface {
public:
    LineViewItem(LineView* view, qsizetype row) : m_view(view), m_row(row) {}
    qsizetype row() const { return m_row; }

    bool isValid() const override { return m_view && m_row < m_view->shownCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? m_view->shownLine(m_row) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return QRect();
        const QRect r = m_view->rowRect(m_row);
        return QRect(m_view->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State st;
        if (!isValid()) {
            st.invalid = true;
            return st;
        }
        st.readOnly = true;
        st.selectable = true;
        const auto [first, last] = m_view->selectedRows();
        st.selected = first >= 0 && m_row >= first && m_row <= last;
        if (!m_view->viewport()->rect().intersects(m_view->rowRect(m_row)))
            st.invisible = st.offscreen = true;
        return st;
    }

private:
    QPointer<LineView> m_view;
    qsizetype m_row;
};

// The view for screen readers: a list whose items are the lines shown.
class LineViewAccessible : public QAccessibleWidget {
public:
    explicit LineViewAccessible(LineView* view) : QAccessibleWidget(view, QAccessible::List) {}
    ~LineViewAccessible() override {
        for (QAccessible::Id id : std::as_const(m_items))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return int(qMin<qsizetype>(view()->shownCount(), INT_MAX)); }
    // Items are made when first asked for (a log may hold a million lines) and kept in Qt's
    // cache under an id, as the interfaces of Qt's own item views are.
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (const auto it = m_items.constFind(index); it != m_items.cend())
            return QAccessible::accessibleInterface(*it);
        auto* item = new LineViewItem(view(), index);
        m_items.insert(index, QAccessible::registerAccessibleInterface(item));
        return item;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* item = dynamic_cast<const LineViewItem*>(child);
        return item && item->isValid() && m_items.contains(int(item->row())) ? int(item->row()) : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint pos = view()->viewport()->mapFromGlobal(QPoint(x, y));
        if (!view()->viewport()->rect().contains(pos))
            return nullptr;
        const qsizetype top = view()->verticalScrollBar()->value();
        return child(int(top + qMax(0, pos.y() - kMargin) / qMax(1, view()->fontMetrics().lineSpacing())));
    }
    QAccessible::State state() const override {
        QAccessible::State st = QAccessibleWidget::state();
        st.readOnly = true;
        st.extSelectable = true;
        return st;
    }

private:
    LineView* view() const { return static_cast<LineView*>(widget()); }
    mutable QHash<int, QAccessible::Id> m_items;
};

QAccessibleInterface* lineViewFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("LineView") && object && object->isWidgetType())
        return new LineViewAccessible(static_cast<LineView*>(object));
    return nullptr;
}

} // namespace

LineView::LineView(QWidget* parent) : QAbstractScrollArea(parent) {
    static const bool registered = [] {
        QAccessible::installFactory(lineViewFactory);
        return true;
    }();
    Q_UNUSED(registered);
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

qsizetype LineView::rowAt(const QPoint& pos) const {
    const qsizetype count = shownCount();
    if (count == 0)
        return -1;
    const qsizetype row = verticalScrollBar()->value() + qMax(0, pos.y() - kMargin) / lineHeight();
    return qBound<qsizetype>(0, row, count - 1);
}

QStringView LineView::line(qsizetype i) const {
    const auto after = std::upper_bound(m_blockFirst.cbegin(), m_blockFirst.cend(), i);
    const auto block = size_t(after - m_blockFirst.cbegin()) - 1;
    return m_blocks[block].at(i - m_blockFirst[block]);
}

QStringList LineView::lines() const {
    QStringList all;
    all.reserve(m_count);
    for (const LineBlock& block : m_blocks)
        for (qsizetype i = 0; i < block.size(); ++i)
            all.append(block.at(i).toString());
    return all;
}

qsizetype LineView::rowOfLine(qsizetype line) const {
    if (!m_noticesHidden)
        return qMin(line, m_count);
    return std::lower_bound(m_shown.cbegin(), m_shown.cend(), line) - m_shown.cbegin();
}

std::pair<qsizetype, qsizetype> LineView::selectedRows() const {
    const qsizetype count = shownCount();
    if (m_anchor < 0 || m_current < 0 || count == 0)
        return {-1, -1};
    return {qMin(qMin(m_anchor, m_current), count - 1), qMin(qMax(m_anchor, m_current), count - 1)};
}

QRect LineView::rowRect(qsizetype row) const {
    const qsizetype y = kMargin + (row - verticalScrollBar()->value()) * lineHeight();
    return QRect(0, int(qBound(qsizetype(-(INT_MAX / 2)), y, qsizetype(INT_MAX / 2))), viewport()->width(),
                 lineHeight());
}

// Measuring every line would cost as much as the text layout this view avoids: a line added
// is measured only when it is the longest yet; the lines drawn are measured as they are drawn.
void LineView::measure(qsizetype fromRow) {
    const QFontMetrics fm = fontMetrics();
    const qsizetype count = shownCount();
    for (qsizetype row = fromRow; row < count; ++row) {
        const QStringView line = shownView(row);
        if (line.size() <= m_widestChars)
            continue;
        m_widestChars = line.size();
        m_contentWidth = qMax(m_contentWidth, fm.horizontalAdvance(line.toString()));
    }
}

void LineView::updateScrollBars() {
    const int page = visibleLines();
    QScrollBar* v = verticalScrollBar();
    v->setPageStep(page);
    v->setRange(0, int(qMin<qsizetype>(INT_MAX, qMax<qsizetype>(0, shownCount() - page))));
    QScrollBar* h = horizontalScrollBar();
    const int width = viewport()->width() - 2 * kMargin;
    h->setPageStep(qMax(1, width));
    h->setSingleStep(qMax(1, fontMetrics().averageCharWidth() * 2));
    h->setRange(0, qMax(0, m_contentWidth - width));
}

// Screen readers are told that the items changed; nothing is done when none listens.
void LineView::childrenChanged() {
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&event);
}

void LineView::appendLines(const QStringList& lines, bool notices) {
    LineBlock block;
    for (const QString& line : lines)
        block.append(line);
    appendLines(std::move(block), std::vector<bool>(size_t(lines.size()), notices));
}

void LineView::addBlock(LineBlock block) {
    if (!m_blocks.empty() && m_blocks.back().size() + block.size() < kSmallBlock) {
        for (qsizetype i = 0; i < block.size(); ++i)
            m_blocks.back().append(block.at(i));
    } else {
        m_blockFirst.push_back(m_count);
        m_blocks.push_back(std::move(block));
    }
    m_count = m_blockFirst.back() + m_blocks.back().size();
}

void LineView::appendLines(LineBlock lines, const std::vector<bool>& notices) {
    if (lines.isEmpty())
        return;
    QScrollBar* v = verticalScrollBar();
    const bool atEnd = v->value() >= v->maximum();
    const qsizetype from = m_count;
    const qsizetype fromRow = shownCount();
    addBlock(std::move(lines));
    m_notice.insert(m_notice.end(), notices.begin(), notices.end());
    m_notice.resize(size_t(m_count), false);
    if (m_noticesHidden) {
        for (qsizetype i = from; i < m_count; ++i)
            if (!m_notice[size_t(i)])
                m_shown.append(i);
    }
    if (shownCount() == fromRow)
        return; // only hidden notices: nothing to show
    measure(fromRow);
    updateScrollBars();
    if (atEnd)
        v->setValue(v->maximum());
    viewport()->update();
    childrenChanged();
}

void LineView::clear() {
    m_blocks.clear();
    m_blockFirst.clear();
    m_count = 0;
    m_notice.clear();
    m_shown.clear();
    m_contentWidth = 0;
    m_widestChars = 0;
    m_anchor = m_current = -1;
    updateScrollBars();
    viewport()->update();
    childrenChanged();
}

void LineView::setNoticesHidden(bool hidden) {
    if (hidden == m_noticesHidden)
        return;
    // The top line, the selection and following the end are kept across the switch as lines.
    QScrollBar* v = verticalScrollBar();
    const bool atEnd = v->value() >= v->maximum();
    const qsizetype count = shownCount();
    const qsizetype topLine = count > 0 ? lineOfRow(qMin<qsizetype>(v->value(), count - 1)) : 0;
    const auto [first, last] = selectedRows();
    const qsizetype firstLine = first >= 0 ? lineOfRow(first) : -1;
    const qsizetype lastLine = last >= 0 ? lineOfRow(last) : -1;
    const bool backwards = m_anchor > m_current;

    m_noticesHidden = hidden;
    m_shown = QList<qsizetype>();
    if (hidden) {
        m_shown.reserve(qsizetype(std::count(m_notice.cbegin(), m_notice.cend(), false)));
        for (qsizetype i = 0; i < m_count; ++i) {
            if (!m_notice[size_t(i)])
                m_shown.append(i);
        }
    }

    // The selection keeps the lines still shown; a selection of notices only is dropped.
    m_anchor = m_current = -1;
    if (firstLine >= 0) {
        const qsizetype a = rowOfLine(firstLine);
        const qsizetype b = rowOfLine(lastLine + 1) - 1;
        if (a <= b) {
            m_anchor = backwards ? b : a;
            m_current = backwards ? a : b;
        }
    }
    m_contentWidth = 0;
    m_widestChars = 0;
    measure(0);
    updateScrollBars();
    v->setValue(atEnd ? v->maximum() : int(qMin<qsizetype>(INT_MAX, rowOfLine(topLine))));
    viewport()->update();
    childrenChanged();
}

QString LineView::selectedText() const {
    const auto [first, last] = selectedRows();
    if (first < 0)
        return QString();
    QStringList rows;
    rows.reserve(last - first + 1);
    for (qsizetype row = first; row <= last; ++row)
        rows.append(shownLine(row));
    return rows.join(u'\n');
}

void LineView::selectAll() {
    if (shownCount() == 0)
        return;
    m_anchor = 0;
    m_current = shownCount() - 1;
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
    const qsizetype end = qMin(shownCount(), top + visibleLines() + 1);
    const auto [selFirst, selLast] = selectedRows();
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
        const QString line = shownLine(i);
        p.drawText(x, y + ascent, line);
        widest = qMax(widest, fm.horizontalAdvance(line));
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
    const qsizetype row = rowAt(event->position().toPoint());
    if (row < 0)
        return;
    if (!(event->modifiers() & Qt::ShiftModifier) || m_anchor < 0)
        m_anchor = row;
    m_current = row;
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
    m_current = rowAt(pos);
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
    // Qt's own texts, so that Qt's translation of them applies.
    QAction* copyAction =
        menu.addAction(QCoreApplication::translate("QWidgetTextControl", "&Copy"), this, &LineView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(!selectedText().isEmpty());
    QAction* allAction =
        menu.addAction(QCoreApplication::translate("QWidgetTextControl", "Select All"), this, &LineView::selectAll);
    allAction->setShortcut(QKeySequence::SelectAll);
    allAction->setEnabled(shownCount() > 0);
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
