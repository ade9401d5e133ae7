#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "console/colorref.h"

namespace vantorel::console {

// A progress bar that draws a centred text over itself: its own text when it has one, else
// the percentage. The text shows in inverted colours where the bar covers it. The bar is
// redrawn only when the filled width in pixels or the text changes, and then at most once a
// frame: eight workers' progress never costs the window more than eight paints a frame.
class CTextProgressCtrl : public QWidget {
public:
    explicit CTextProgressCtrl(QWidget* parent = nullptr);

    void SetRange(int min, int max);
    // Returns the previous position.
    int SetPos(int pos);
    int GetPos() const { return m_nPos; }
    int SetStep(int step);
    int StepIt() { return SetPos(m_nPos + m_nStepSize); }
    int OffsetPos(int offset) { return SetPos(m_nPos + offset); }
    void SetShowText(bool bShow);

    void SetWindowText(const QString& text);
    QString GetWindowText() const { return m_strText; }
    // What the bar shows now: its text, or the percentage when the text is empty.
    QString ShownText() const;

    void SetBarColor(COLORREF colour);
    void SetBgColor(COLORREF colour);
    void SetTextColor(COLORREF colour);
    void SetTextBkColor(COLORREF colour);
    COLORREF GetBarColor() const { return m_crBarClr; }
    COLORREF GetBgColor() const { return m_crBgClr; }
    COLORREF GetTextColor() const { return m_crTextClr; }
    COLORREF GetTextBkColor() const { return m_crTextBkClr; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    COLORREF ReadableHighlight() const;
    // A paint now, or when this frame is over if the bar was painted in it already.
    void RequestPaint();

    QTimer m_frameTimer;
    QElapsedTimer m_sinceLastPaint;
    int m_nPos = 0;
    int m_nStepSize = 1;
    int m_nMax = 100;
    int m_nMin = 0;
    QString m_strText;
    bool m_bShowText = true;
    int m_nBarWidth = -1;  // filled width at the last redraw
    COLORREF m_crBarClr;
    COLORREF m_crBgClr;
    COLORREF m_crTextClr;
    COLORREF m_crTextBkClr;
};

}  // namespace vantorel::console
