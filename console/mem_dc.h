#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>
#include <optional>

namespace vantorel::console {

// An off-screen drawing surface for one paint: drawing goes to a private image the size of
// the clip box (at the target's pixel ratio, in the target's coordinates) and is copied to
// the target in one piece when the surface goes away. The progress bar's two-pass text
// clipping thus never touches the clip state of the window's shared backing-store painter.
// A target that is not a screen surface (a printer or a recorded picture) is drawn on
// directly.
class CMemDC {
public:
    CMemDC(QPainter& target, const QRect& clipBox);
    ~CMemDC();

    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    QPainter& Painter() { return m_bMemDC ? *m_memPainter : m_pDC; }
    bool IsOffScreen() const { return m_bMemDC; }

private:
    QPainter& m_pDC;
    QRect m_rect;
    QImage m_bitmap;
    std::optional<QPainter> m_memPainter;
    bool m_bMemDC;
};

}  // namespace vantorel::console
