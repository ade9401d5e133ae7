#pragma once

#include <QLabel>

#include "console/colorref.h"

namespace vantorel::console {

// A static text whose text and background colours can be set: the slot labels.
class CColorStaticST : public QLabel {
public:
    explicit CColorStaticST(QWidget* parent = nullptr);

    // kSystemColour (-1) restores the system's button-text colour.
    void SetTextColor(COLORREF colour);
    // kSystemColour (-1) restores the system's button-face colour.
    void SetBkColor(COLORREF colour);
    COLORREF GetTextColor() const { return m_crTextColor; }
    COLORREF GetBkColor() const { return m_crBkColor; }
    // A transparent label paints no background of its own; takes effect at the next paint.
    void SetTransparent(bool bTransparent) { m_bTransparent = bTransparent; }

    void SetWindowText(const QString& text) { setText(text); }
    QString GetWindowText() const { return text(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    COLORREF m_crTextColor;
    COLORREF m_crBkColor;
    bool m_bTransparent = false;
};

}  // namespace vantorel::console
