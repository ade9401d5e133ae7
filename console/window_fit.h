#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace vantorel::console {

// Window sizes chosen for the screen they open on, laptop screens included, with room for
// the window manager's title bar and borders.

// What a window manager typically adds around a window; the real frame is known only once
// the window shows.
inline constexpr QMargins kTypicalFrame{4, 32, 4, 4};

// The frame around `window` when it is known, else kTypicalFrame.
QMargins FrameOf(const QWidget& window);

// `preferred`, shrunk to what fits in `area` with `frame` around it, never below `minimum`.
QSize FittedSize(QSize preferred, QSize minimum, const QRect& area, const QMargins& frame);

// The two windows of the bench, side by side in `area`: the station on the left as wide as
// it likes up to what the panel leaves, the panel on the right. Client rectangles; each
// window's frame lies around its own.
struct SideBySide {
    QRect station;
    QRect panel;
};
SideBySide PlaceSideBySide(const QRect& area, const QMargins& frame, QSize stationPreferred,
                           QSize stationMinimum, QSize panelPreferred, QSize panelMinimum);

}  // namespace vantorel::console
