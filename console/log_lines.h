#pragma once

#include <QString>
#include <QStringView>
#include <vector>

namespace vantorel::console {

// The text of a log view, line by line, and how its lines wrap into rows of a fixed number
// of columns (console/text_cells.h: a grapheme cluster is never split, a tab runs to the next
// stop, wide characters take two columns). Appending costs what the new text costs, however
// long the log already is; finding a row costs a binary search.
class LogLines {
public:
    struct Row {
        qsizetype start = 0;   // offset of the row's first character in Text()
        qsizetype length = 0;  // characters shown in the row, without the line break
    };
    // One grapheme cluster of a row, at its column counted from the row's start.
    struct Cell {
        qsizetype offset = 0;  // in Text()
        qsizetype length = 0;  // UTF-16 units
        int column = 0;
        int width = 1;
    };

    // '\n' ends a line; text after the last one starts the next line, which the next
    // append continues.
    void Append(QStringView text);
    void Clear();
    // Re-wraps every line; at least one column.
    void SetColumns(int columns);
    int Columns() const { return m_columns; }

    const QString& Text() const { return m_text; }
    // Like a text document's block count: an empty text, or one that ends with a line
    // break, has an empty last line.
    qsizetype LineCount() const { return static_cast<qsizetype>(m_lineStarts.size()); }
    qsizetype RowCount() const { return static_cast<qsizetype>(m_rowStarts.size()); }
    // `row` below RowCount().
    Row RowAt(qsizetype row) const;
    // The cells of row `row`, left to right.
    std::vector<Cell> CellsOf(qsizetype row) const;
    // The row that shows the character at `offset` (the end of the text: the last row).
    qsizetype RowOf(qsizetype offset) const;
    // The line holding `offset`, from its first character to its line break.
    Row LineAround(qsizetype offset) const;

private:
    qsizetype LineOf(qsizetype offset) const;
    qsizetype LineEnd(qsizetype line) const;
    // Wraps the text from `from` (the start of a row) to the end, row starts after it dropped.
    void WrapFrom(qsizetype from);
    // Adds the starts of the rows after the first that [from, end) of one line wraps into.
    void WrapRows(qsizetype from, qsizetype end);

    QString m_text;
    std::vector<qsizetype> m_lineStarts{0};
    std::vector<qsizetype> m_rowStarts{0};  // every row's first character, in text order
    int m_columns = 80;
};

}  // namespace vantorel::console
