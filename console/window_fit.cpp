#include "console/window_fit.h"

#include <QWidget>
#include <algorithm>

namespace vantorel::console {

QMargins FrameOf(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    if (!window.isVisible() || frame == client) {
        return kTypicalFrame;
    }
    return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                    frame.right() - client.right(), frame.bottom() - client.bottom());
}

QSize FittedSize(QSize preferred, QSize minimum, const QRect& area, const QMargins& frame) {
    const int width = std::min(preferred.width(), area.width() - frame.left() - frame.right());
    const int height = std::min(preferred.height(), area.height() - frame.top() - frame.bottom());
    return QSize(std::max(width, minimum.width()), std::max(height, minimum.height()));
}

SideBySide PlaceSideBySide(const QRect& area, const QMargins& frame, QSize stationPreferred,
                           QSize stationMinimum, QSize panelPreferred, QSize panelMinimum) {
    const int frameWidth = frame.left() + frame.right();
    const int height = area.height() - frame.top() - frame.bottom();
    int panelWidth = std::max(panelPreferred.width(), panelMinimum.width());
    int stationWidth =
        std::min(stationPreferred.width(), area.width() - 2 * frameWidth - panelWidth);
    if (stationWidth < stationMinimum.width()) {
        // Too narrow a screen for both at their ease: the panel gives way first.
        stationWidth = stationMinimum.width();
        panelWidth = std::max(panelMinimum.width(), area.width() - 2 * frameWidth - stationWidth);
    }
    const int stationHeight =
        std::max(stationMinimum.height(), std::min(stationPreferred.height(), height));
    const int panelHeight =
        std::max(panelMinimum.height(), std::min(panelPreferred.height(), height));

    SideBySide placed;
    placed.station =
        QRect(area.left() + frame.left(), area.top() + frame.top(), stationWidth, stationHeight);
    placed.panel = QRect(placed.station.right() + 1 + frame.right() + frame.left(),
                         area.top() + frame.top(), panelWidth, panelHeight);
    return placed;
}

}  // namespace vantorel::console
