#pragma once

#include <QAbstractScrollArea>

class QPainter;

#include "console/log_lines.h"

namespace vantorel::console {

// A read-only view of a log that only ever grows (until it is cleared). A text edit keeps
// every line in a document tree whose insertions grow dearer with every line, and a factory
// log reaches 100,000 lines in a shift; here an append costs the same at any length and a
// paint draws the visible rows only. The operator can select with the mouse, select all and
// copy, as in a read-only edit.
//
// The font is assumed fixed-pitch: the text is laid on a grid of cells as wide as the
// font's '0'. Long lines wrap at the view's width between grapheme clusters, never inside
// one (an emoji's surrogate pair, a letter with its combining marks); a tab runs to the next
// multiple of eight cells; East Asian wide characters and emoji take two cells, every other
// cluster one (console/text_cells.h). Clusters that are not ASCII are each drawn at their
// cell, so a glyph that the font lacks and another font draws at another width stays in its
// place instead of shifting the rest of the row; it may overlap its neighbour.
class CLogView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit CLogView(QWidget* parent = nullptr);

    // Appends shown text: '\n' breaks lines, a text without one is continued by the next.
    // A view scrolled to its end stays at the end; one scrolled up stays where it is.
    void AppendText(const QString& text);
    void Clear();
    const QString& Text() const { return m_lines.Text(); }
    qsizetype LineCount() const { return m_lines.LineCount(); }

    QString SelectedText() const;
    void SelectAll();
    void CopySelection() const;

signals:
    void TextAppended();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Wraps the lines to the view's width and font, keeping the first shown character in
    // view (or the end, when the view followed it).
    void Relayout();
    void PaintRow(QPainter& painter, qsizetype row, int y) const;
    void UpdateScrollRange();
    int VisibleRows() const;
    qsizetype OffsetAt(QPoint point) const;
    void Select(qsizetype anchor, qsizetype cursor);
    void OfferSelection() const;

    LogLines m_lines;
    qreal m_charWidth = 8;
    int m_rowHeight = 16;
    int m_ascent = 12;
    qsizetype m_anchor = 0;
    qsizetype m_cursor = 0;
    bool m_selecting = false;
};

}  // namespace vantorel::console
