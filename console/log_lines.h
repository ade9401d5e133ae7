#pragma once

#include <QString>
#include <QStringView>
#include <vector>

namespace vantorel::console {

// The text of a log view, line by line, and how its lines wrap into rows of a fixed number
// of columns (the view's font is fixed-pitch). Appending costs what the new text costs,
// however long the log already is; finding a row costs a binary search.
class LogLines {
public:
    struct Row {
        qsizetype start = 0;   // offset of the row's first character in Text()
        qsizetype length = 0;  // characters shown in the row, without the line break
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
    qsizetype RowCount() const;
    // `row` below RowCount().
    Row RowAt(qsizetype row) const;
    // The row that shows the character at `offset` (the end of the text: the last row).
    qsizetype RowOf(qsizetype offset) const;
    // The line holding `offset`, from its first character to its line break.
    Row LineAround(qsizetype offset) const;

private:
    qsizetype LineOf(qsizetype offset) const;
    qsizetype LineEnd(qsizetype line) const;
    qsizetype RowsOf(qsizetype line) const;
    void WrapFrom(qsizetype line);

    QString m_text;
    std::vector<qsizetype> m_lineStarts{0};
    std::vector<qsizetype> m_rowStarts{0};  // the first row of every line
    int m_columns = 80;
};

}  // namespace vantorel::console
