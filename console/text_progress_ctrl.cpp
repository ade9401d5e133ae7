#include "console/text_progress_ctrl.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "console/caption_contrast.h"
#include "console/mem_dc.h"
#include "console/progress_rule.h"

namespace vantorel::console {

// The selection colour, darkened where a style's is too light for text on the base colour:
// it is the bar and the text on the empty part, and the base is the text on the bar.
COLORREF CTextProgressCtrl::ReadableHighlight() const {
    return DarkenedForContrast(FromQColor(palette().color(QPalette::Highlight)),
                               FromQColor(palette().color(QPalette::Base)), kReadableContrast);
}

CTextProgressCtrl::CTextProgressCtrl(QWidget* parent)
    : QWidget(parent),
      m_crBarClr(ReadableHighlight()),
      m_crBgClr(FromQColor(palette().color(QPalette::Base))),
      m_crTextClr(ReadableHighlight()),
      m_crTextBkClr(FromQColor(palette().color(QPalette::Base))) {
    // Every pixel is painted in paintEvent; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_frameTimer.setSingleShot(true);
    connect(&m_frameTimer, &QTimer::timeout, this, [this] { update(); });
}

void CTextProgressCtrl::RequestPaint() {
    constexpr qint64 kFrameMs = 16;
    if (m_frameTimer.isActive()) {
        return;  // this frame's paint is already due
    }
    const qint64 since = m_sinceLastPaint.isValid() ? m_sinceLastPaint.elapsed() : kFrameMs;
    if (since >= kFrameMs) {
        update();
    } else {
        m_frameTimer.start(static_cast<int>(kFrameMs - since));
    }
}

void CTextProgressCtrl::SetRange(int min, int max) {
    m_nMin = min;
    m_nMax = max;
}

int CTextProgressCtrl::SetPos(int pos) {
    const int previous = m_nPos;
    m_nPos = pos;
    const int width = FilledWidth(m_nPos, m_nMin, m_nMax, rect().width());
    if (width != m_nBarWidth) {
        m_nBarWidth = width;
        // Drawn with the window's next frame, not here: the caller is the status handler
        // with a worker waiting on it, and the bar's text usually changes right after.
        RequestPaint();
    }
    return previous;
}

int CTextProgressCtrl::SetStep(int step) {
    const int previous = m_nStepSize;
    m_nStepSize = step;
    return previous;
}

void CTextProgressCtrl::SetShowText(bool bShow) {
    if (bShow != m_bShowText) {
        update();
    }
    m_bShowText = bShow;
}

void CTextProgressCtrl::SetWindowText(const QString& text) {
    if (text != m_strText) {
        m_strText = text;
        RequestPaint();
    }
}

QString CTextProgressCtrl::ShownText() const {
    if (!m_strText.isEmpty()) {
        return m_strText;
    }
    return QString::fromStdString(PercentText(m_nPos, m_nMin, m_nMax));
}

void CTextProgressCtrl::SetBarColor(COLORREF colour) {
    m_crBarClr = colour;
    update();
}

void CTextProgressCtrl::SetBgColor(COLORREF colour) {
    m_crBgClr = colour;
    update();
}

void CTextProgressCtrl::SetTextColor(COLORREF colour) {
    m_crTextClr = colour;
    update();
}

void CTextProgressCtrl::SetTextBkColor(COLORREF colour) {
    m_crTextBkClr = colour;
    update();
}

QSize CTextProgressCtrl::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QStringLiteral("Downloading PDA to ram... 100%(10/10)")),
            metrics.height() + 8};
}

void CTextProgressCtrl::paintEvent(QPaintEvent* event) {
    m_sinceLastPaint.start();
    if (m_nMin >= m_nMax) {
        return;
    }
    const QRect client = rect();
    const int filled =
        std::clamp(FilledWidth(m_nPos, m_nMin, m_nMax, client.width()), 0, client.width());
    const QRect filledPart(client.left(), client.top(), filled, client.height());
    const QRect emptyPart(client.left() + filled, client.top(), client.width() - filled,
                          client.height());

    QPainter target(this);
    CMemDC memDC(target, event->rect());
    QPainter& dc = memDC.Painter();
    dc.fillRect(filledPart, ToQColor(m_crBarClr));
    dc.fillRect(emptyPart, ToQColor(m_crBgClr));
    if (!m_bShowText) {
        return;
    }
    const QString text = ShownText();
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    dc.setClipRect(filledPart);
    dc.setPen(ToQColor(m_crTextBkClr));
    dc.drawText(client, flags, text);
    dc.setClipRect(emptyPart);
    dc.setPen(ToQColor(m_crTextClr));
    dc.drawText(client, flags, text);
}

void CTextProgressCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_nBarWidth = -1;
}

}  // namespace vantorel::console
