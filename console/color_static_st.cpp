#include "console/color_static_st.h"

#include <QPainter>

namespace vantorel::console {

CColorStaticST::CColorStaticST(QWidget* parent)
    : QLabel(parent),
      m_crTextColor(FromQColor(palette().color(QPalette::ButtonText))),
      m_crBkColor(FromQColor(palette().color(QPalette::Button))) {}

void CColorStaticST::SetTextColor(COLORREF colour) {
    m_crTextColor =
        colour == kSystemColour ? FromQColor(palette().color(QPalette::ButtonText)) : colour;
    update();
}

void CColorStaticST::SetBkColor(COLORREF colour) {
    m_crBkColor = colour == kSystemColour ? FromQColor(palette().color(QPalette::Button)) : colour;
    update();
}

void CColorStaticST::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (!m_bTransparent) {
        painter.fillRect(rect(), ToQColor(m_crBkColor));
    }
    painter.setPen(ToQColor(m_crTextColor));
    painter.drawText(contentsRect(), static_cast<int>(alignment()), text());
}

}  // namespace vantorel::console
