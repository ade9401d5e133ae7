#include "console/log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>

namespace vantorel::console {

namespace {
// The same space around the text as a plain text edit's document margin.
constexpr int kMargin = 4;
}  // namespace

CLogView::CLogView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    Relayout();
}

void CLogView::AppendText(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    // The view follows the end only while the operator is there: scrolled up to read back, it
    // stays where it is while lines arrive.
    QScrollBar* scroll = verticalScrollBar();
    const bool followedEnd = scroll->value() == scroll->maximum();
    m_lines.Append(text);
    UpdateScrollRange();
    if (followedEnd) {
        scroll->setValue(scroll->maximum());
    }
    viewport()->update();
    emit TextAppended();
}

void CLogView::Clear() {
    m_lines.Clear();
    m_anchor = m_cursor = 0;
    m_selecting = false;
    UpdateScrollRange();
    viewport()->update();
}

QString CLogView::SelectedText() const {
    const qsizetype from = std::min(m_anchor, m_cursor);
    return m_lines.Text().mid(from, std::max(m_anchor, m_cursor) - from);
}

void CLogView::SelectAll() {
    Select(0, m_lines.Text().size());
    OfferSelection();
}

void CLogView::CopySelection() const {
    if (m_anchor != m_cursor) {
        QApplication::clipboard()->setText(SelectedText());
    }
}

void CLogView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int height = viewport()->height();
    const qsizetype rows = m_lines.RowCount();
    int y = kMargin;
    for (qsizetype index = verticalScrollBar()->value(); index < rows && y < height; ++index) {
        PaintRow(painter, index, y);
        y += m_rowHeight;
    }
}

// Cells of plain ASCII, alike in selection, go out as one run: the font gives them the grid's
// advance. Any other cluster is drawn at its own cell, so a glyph from a fallback font of
// another width cannot shift the columns after it; a tab is drawn as its space.
void CLogView::PaintRow(QPainter& painter, qsizetype row, int y) const {
    struct Run {
        qsizetype from = 0;
        qsizetype to = 0;
        int column = 0;
        int width = 0;
        bool bSelected = false;
        bool bPlain = false;  // ASCII cells only: more may join
        bool bDrawn = true;
    };
    const QPalette& colours = palette();
    const QString& text = m_lines.Text();
    const auto draw = [&](const Run& run) {
        if (run.width == 0) {
            return;
        }
        const qreal x = kMargin + run.column * m_charWidth;
        if (run.bSelected) {
            painter.fillRect(QRectF(x, y, run.width * m_charWidth, m_rowHeight),
                             colours.brush(QPalette::Highlight));
        }
        if (run.bDrawn) {
            painter.setPen(
                colours.color(run.bSelected ? QPalette::HighlightedText : QPalette::Text));
            painter.drawText(QPointF(x, y + m_ascent), text.mid(run.from, run.to - run.from));
        }
    };
    const qsizetype selectedFrom = std::min(m_anchor, m_cursor);
    const qsizetype selectedTo = std::max(m_anchor, m_cursor);
    Run run;
    for (const LogLines::Cell& cell : m_lines.CellsOf(row)) {
        const bool bSelected = cell.offset >= selectedFrom && cell.offset < selectedTo;
        const QChar first = text[cell.offset];
        const bool bPlain = cell.length == 1 && first.unicode() < 0x80 && first != u'\t';
        if (bPlain && run.bPlain && run.bSelected == bSelected) {
            run.to += cell.length;
            run.width += cell.width;
            continue;
        }
        draw(run);
        run = {cell.offset,   cell.offset + cell.length, cell.column, cell.width, bSelected, bPlain,
               first != u'\t'};
    }
    draw(run);
}

void CLogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    Relayout();
}

void CLogView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        Relayout();
    }
}

void CLogView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const qsizetype at = OffsetAt(event->position().toPoint());
    Select(event->modifiers() & Qt::ShiftModifier ? m_anchor : at, at);
    m_selecting = true;
}

void CLogView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_selecting) {
        return;
    }
    const QPoint point = event->position().toPoint();
    // Dragging past the top or bottom edge scrolls, so a selection can span more than a page.
    if (point.y() < 0) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (point.y() > viewport()->height()) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    Select(m_anchor, OffsetAt(point));
}

void CLogView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_selecting) {
        m_selecting = false;
        OfferSelection();
    }
}

void CLogView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // A word, as in the slot logs' text edit: a device path or a checksum is one pick.
    const qsizetype offset = OffsetAt(event->position().toPoint());
    const LogLines::Row line = m_lines.LineAround(offset);
    const QString text = m_lines.Text().mid(line.start, line.length);
    const qsizetype at = std::min(offset - line.start, text.size());
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    words.setPosition(at);
    qsizetype start = words.isAtBoundary() && at < text.size() ? at : words.toPreviousBoundary();
    words.setPosition(at);
    qsizetype end = words.toNextBoundary();
    if (start < 0 || end < 0 || start >= end) {
        start = at;
        end = at;
    }
    Select(line.start + start, line.start + end);
    OfferSelection();
}

void CLogView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
    } else if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
    } else if (event->matches(QKeySequence::MoveToStartOfDocument)) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    } else if (event->matches(QKeySequence::MoveToEndOfDocument)) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void CLogView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("&Copy"), this, &CLogView::CopySelection);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(m_anchor != m_cursor);
    menu.addSeparator();
    QAction* all = menu.addAction(tr("Select All"), this, &CLogView::SelectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(!m_lines.Text().isEmpty());
    menu.exec(event->globalPos());
}

void CLogView::Relayout() {
    const QFontMetricsF metrics(font());
    m_charWidth = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('0')));
    m_rowHeight = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
    m_ascent = static_cast<int>(std::ceil(metrics.ascent()));

    QScrollBar* scroll = verticalScrollBar();
    const bool followedEnd = scroll->value() == scroll->maximum();
    // There is always a row: an empty log has its one empty line.
    const qsizetype firstShown =
        m_lines.RowAt(std::min<qsizetype>(scroll->value(), m_lines.RowCount() - 1)).start;
    const int columns =
        static_cast<int>(std::floor((viewport()->width() - 2 * kMargin) / m_charWidth));
    if (columns != m_lines.Columns()) {
        m_lines.SetColumns(columns);
    }
    UpdateScrollRange();
    scroll->setValue(followedEnd ? scroll->maximum() : static_cast<int>(m_lines.RowOf(firstShown)));
    viewport()->update();
}

void CLogView::UpdateScrollRange() {
    const int visible = VisibleRows();
    QScrollBar* scroll = verticalScrollBar();
    scroll->setPageStep(visible);
    scroll->setRange(0, static_cast<int>(std::max<qsizetype>(0, m_lines.RowCount() - visible)));
}

int CLogView::VisibleRows() const {
    return std::max(1, (viewport()->height() - 2 * kMargin) / m_rowHeight);
}

qsizetype CLogView::OffsetAt(QPoint point) const {
    const qsizetype rows = m_lines.RowCount();
    const qsizetype index = std::clamp<qsizetype>(
        verticalScrollBar()->value() + (point.y() - kMargin) / m_rowHeight, 0, rows - 1);
    // The boundary nearest the point: a click on a cell's right half lands after it, and a
    // cluster is never entered.
    const qreal column = (point.x() - kMargin) / m_charWidth;
    for (const LogLines::Cell& cell : m_lines.CellsOf(index)) {
        if (column < cell.column + cell.width / 2.0) {
            return cell.offset;
        }
    }
    const LogLines::Row row = m_lines.RowAt(index);
    return row.start + row.length;
}

void CLogView::Select(qsizetype anchor, qsizetype cursor) {
    if (anchor != m_anchor || cursor != m_cursor) {
        m_anchor = anchor;
        m_cursor = cursor;
        viewport()->update();
    }
}

// Where the window system has a selection clipboard (X11), the selection goes there too,
// as it does from any other text widget.
void CLogView::OfferSelection() const {
    QClipboard* clipboard = QApplication::clipboard();
    if (m_anchor != m_cursor && clipboard->supportsSelection()) {
        clipboard->setText(SelectedText(), QClipboard::Selection);
    }
}

}  // namespace vantorel::console
