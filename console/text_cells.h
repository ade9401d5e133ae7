#pragma once

#include <QStringView>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace vantorel::console {

// How log text falls into the cells of a grid of fixed-pitch columns. What a reader sees as
// one character (a grapheme cluster: an emoji's surrogate pair, a letter with its combining
// marks) is never cut; a tab runs to the next multiple of kTabStop columns; the wide
// characters of East Asian scripts and emoji take two columns, every other cluster one.
inline constexpr int kTabStop = 8;

// Calls each(offset, length) for every grapheme cluster of `text`, in order. Plain ASCII is
// one cluster a character and skips the boundary finder.
template <typename Each>
void ForEachCluster(QStringView text, Each each) {
    const bool bAscii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (bAscii) {
        for (qsizetype at = 0; at < text.size(); ++at) {
            each(at, qsizetype{1});
        }
        return;
    }
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype start = 0;
    for (qsizetype end = clusters.toNextBoundary(); end > start; end = clusters.toNextBoundary()) {
        each(start, end - start);
        start = end;
    }
}

// The columns the cluster takes when it starts at `column` (a tab: up to the next stop).
int ClusterWidth(QStringView cluster, int column);

}  // namespace vantorel::console
