#include "console/text_cells.h"

namespace vantorel::console {

namespace {

// The code points that fixed-pitch fonts draw two columns wide: the East Asian wide and
// full-width blocks (Hangul, CJK, kana, full-width forms) and the emoji blocks.
bool IsWide(char32_t code) {
    struct Range {
        char32_t first;
        char32_t last;
    };
    static constexpr Range kWide[] = {
        {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
        {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},
        {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
        {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF}, {0x1F900, 0x1F9FF}, {0x1FA70, 0x1FAFF},
        {0x20000, 0x3FFFD},
    };
    for (const Range& range : kWide) {
        if (code >= range.first && code <= range.last) {
            return true;
        }
    }
    return false;
}

}  // namespace

int ClusterWidth(QStringView cluster, int column) {
    if (cluster.size() == 1 && cluster.front() == u'\t') {
        return kTabStop - column % kTabStop;
    }
    if (cluster.empty() || cluster.front().unicode() < 0x80) {
        return 1;
    }
    char32_t code = cluster.front().unicode();
    if (cluster.front().isHighSurrogate() && cluster.size() > 1 && cluster[1].isLowSurrogate()) {
        code = QChar::surrogateToUcs4(cluster[0], cluster[1]);
    }
    // A variation selector 16 asks for the emoji presentation, which is wide.
    const bool bEmojiPresentation = cluster.contains(QChar(0xFE0F));
    return IsWide(code) || bEmojiPresentation ? 2 : 1;
}

}  // namespace vantorel::console
