#include "console/log_lines.h"

#include <algorithm>

#include "console/text_cells.h"

namespace vantorel::console {

void LogLines::Append(QStringView text) {
    const qsizetype base = m_text.size();
    m_text.append(text);
    for (qsizetype at = text.indexOf(u'\n'); at >= 0; at = text.indexOf(u'\n', at + 1)) {
        m_lineStarts.push_back(base + at + 1);
    }
    // Only the last row may have grown: the rows before it were cut where a cluster began,
    // and text added later cannot move such a boundary.
    WrapFrom(m_rowStarts.back());
}

void LogLines::Clear() {
    m_text.clear();
    m_text.squeeze();
    m_lineStarts = {0};
    m_rowStarts = {0};
}

void LogLines::SetColumns(int columns) {
    m_columns = std::max(1, columns);
    WrapFrom(0);
}

LogLines::Row LogLines::RowAt(qsizetype row) const {
    const qsizetype start = m_rowStarts[row];
    const qsizetype lineEnd = LineEnd(LineOf(start));
    const qsizetype next = row + 1 < RowCount() ? m_rowStarts[row + 1] : m_text.size();
    return {start, std::min(next, lineEnd) - start};
}

std::vector<LogLines::Cell> LogLines::CellsOf(qsizetype row) const {
    const Row shown = RowAt(row);
    const QStringView text = QStringView(m_text).mid(shown.start, shown.length);
    std::vector<Cell> cells;
    int column = 0;
    ForEachCluster(text, [&](qsizetype at, qsizetype length) {
        const int width = std::min(ClusterWidth(text.mid(at, length), column), m_columns);
        cells.push_back({shown.start + at, length, column, width});
        column += width;
    });
    return cells;
}

qsizetype LogLines::RowOf(qsizetype offset) const {
    const auto after = std::upper_bound(m_rowStarts.begin(), m_rowStarts.end(), offset);
    return std::max<qsizetype>(0, static_cast<qsizetype>(after - m_rowStarts.begin()) - 1);
}

LogLines::Row LogLines::LineAround(qsizetype offset) const {
    const qsizetype line = LineOf(offset);
    return {m_lineStarts[line], LineEnd(line) - m_lineStarts[line]};
}

qsizetype LogLines::LineOf(qsizetype offset) const {
    const auto after = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset);
    return std::max<qsizetype>(0, static_cast<qsizetype>(after - m_lineStarts.begin()) - 1);
}

qsizetype LogLines::LineEnd(qsizetype line) const {
    return line + 1 < LineCount() ? m_lineStarts[line + 1] - 1 : m_text.size();
}

void LogLines::WrapFrom(qsizetype from) {
    m_rowStarts.erase(std::upper_bound(m_rowStarts.begin(), m_rowStarts.end(), from),
                      m_rowStarts.end());
    if (m_rowStarts.empty() || m_rowStarts.back() != from) {
        m_rowStarts.push_back(from);
    }
    for (qsizetype line = LineOf(from); line < LineCount(); ++line) {
        const qsizetype start = std::max(from, m_lineStarts[line]);
        if (start != from) {
            m_rowStarts.push_back(start);
        }
        WrapRows(start, LineEnd(line));
    }
}

void LogLines::WrapRows(qsizetype from, qsizetype end) {
    const QStringView text = QStringView(m_text).mid(from, end - from);
    // Plain ASCII without tabs, the usual log line, wraps by count.
    if (!text.contains(u'\t') &&
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        for (qsizetype start = m_columns; start < text.size(); start += m_columns) {
            m_rowStarts.push_back(from + start);
        }
        return;
    }
    int column = 0;
    ForEachCluster(text, [&](qsizetype at, qsizetype length) {
        const QStringView cluster = text.mid(at, length);
        int width = std::min(ClusterWidth(cluster, column), m_columns);
        if (column > 0 && column + width > m_columns) {
            m_rowStarts.push_back(from + at);
            column = 0;
            width = std::min(ClusterWidth(cluster, column), m_columns);
        }
        column += width;
    });
}

}  // namespace vantorel::console
