#include "console/log_lines.h"

#include <algorithm>

namespace vantorel::console {

void LogLines::Append(QStringView text) {
    const qsizetype lastLine = LineCount() - 1;
    const qsizetype base = m_text.size();
    m_text.append(text);
    for (qsizetype at = text.indexOf(u'\n'); at >= 0; at = text.indexOf(u'\n', at + 1)) {
        m_lineStarts.push_back(base + at + 1);
    }
    // Only the unfinished line may have grown; the lines before keep their rows.
    WrapFrom(lastLine);
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

qsizetype LogLines::RowCount() const {
    return m_rowStarts.back() + RowsOf(LineCount() - 1);
}

LogLines::Row LogLines::RowAt(qsizetype row) const {
    const auto after = std::upper_bound(m_rowStarts.begin(), m_rowStarts.end(), row);
    const auto line = static_cast<qsizetype>(after - m_rowStarts.begin()) - 1;
    const qsizetype start = m_lineStarts[line] + (row - m_rowStarts[line]) * m_columns;
    return {start, std::clamp<qsizetype>(LineEnd(line) - start, 0, m_columns)};
}

qsizetype LogLines::RowOf(qsizetype offset) const {
    const qsizetype line = LineOf(offset);
    const qsizetype column = std::min(offset, LineEnd(line)) - m_lineStarts[line];
    return m_rowStarts[line] + std::min(column / m_columns, RowsOf(line) - 1);
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

qsizetype LogLines::RowsOf(qsizetype line) const {
    const qsizetype length = LineEnd(line) - m_lineStarts[line];
    return std::max<qsizetype>(1, (length + m_columns - 1) / m_columns);
}

void LogLines::WrapFrom(qsizetype line) {
    m_rowStarts.resize(m_lineStarts.size());
    for (qsizetype next = line + 1; next < LineCount(); ++next) {
        m_rowStarts[next] = m_rowStarts[next - 1] + RowsOf(next - 1);
    }
}

}  // namespace vantorel::console
