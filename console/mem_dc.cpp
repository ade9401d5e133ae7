#include "console/mem_dc.h"

#include <QPaintDevice>

namespace vantorel::console {

namespace {
bool IsScreenSurface(const QPainter& target) {
    const QPaintDevice* device = target.device();
    if (device == nullptr) {
        return false;
    }
    const int type = device->devType();
    return type != QInternal::Printer && type != QInternal::Picture;
}
}  // namespace

CMemDC::CMemDC(QPainter& target, const QRect& clipBox)
    : m_pDC(target), m_rect(clipBox), m_bMemDC(IsScreenSurface(target) && !clipBox.isEmpty()) {
    if (!m_bMemDC) {
        return;
    }
    const qreal ratio = target.device()->devicePixelRatioF();
    m_bitmap = QImage(m_rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    m_bitmap.setDevicePixelRatio(ratio);
    m_bitmap.fill(Qt::transparent);
    m_memPainter.emplace(&m_bitmap);
    m_memPainter->setFont(target.font());
    m_memPainter->translate(-m_rect.topLeft());
}

CMemDC::~CMemDC() {
    if (!m_bMemDC) {
        return;
    }
    m_memPainter.reset();
    m_pDC.drawImage(m_rect.topLeft(), m_bitmap);
}

}  // namespace vantorel::console
