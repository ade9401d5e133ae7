#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include "console/color_static_st.h"
#include "console/mem_dc.h"
#include "console/progress_rule.h"
#include "console/text_progress_ctrl.h"

namespace vantorel::console {
namespace {

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return false;
    }
};

class ProgressBarTest : public ::testing::Test {
protected:
    // Lets the bar's frame come: it paints at most once every 16 ms.
    static void NextFrames() {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 40) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    void SetUp() override {
        bar.resize(200, 24);
        bar.show();
        QApplication::processEvents();
    }
    CTextProgressCtrl bar;
};

TEST_F(ProgressBarTest, ShowsThePercentageUntilItHasATextOfItsOwn) {
    bar.SetRange(0, 100);
    bar.SetPos(37);
    EXPECT_EQ(bar.ShownText(), "37%");

    bar.SetWindowText("Waiting for device..");
    EXPECT_EQ(bar.GetWindowText(), "Waiting for device..");
    bar.SetPos(80);
    EXPECT_EQ(bar.ShownText(), "Waiting for device..") << "the text wins whatever the position";

    bar.SetWindowText("");
    bar.SetRange(50, 150);
    EXPECT_EQ(bar.ShownText(), "30%") << "the percentage counts from the range's start";
}

TEST_F(ProgressBarTest, RepaintsOnlyWhenTheFilledWidthChanges) {
    PaintCounter paints(bar);
    bar.SetPos(37);
    NextFrames();
    EXPECT_EQ(paints.count, 1) << "a new width is drawn with the next frame";
    bar.SetPos(37);
    NextFrames();
    EXPECT_EQ(paints.count, 1) << "the same position again draws nothing";
    EXPECT_EQ(bar.SetPos(38), 37) << "SetPos returns the previous position";
    NextFrames();
    EXPECT_EQ(paints.count, 2) << "38% of 200 px is another width";

    bar.resize(300, 24);
    NextFrames();
    paints.count = 0;
    bar.SetPos(38);
    NextFrames();
    EXPECT_EQ(paints.count, 1) << "after a resize the next SetPos repaints even unchanged";
}

// A status notification moves the bar and changes its text together: one paint shows both,
// and none happens inside the handler that a worker waits on.
TEST_F(ProgressBarTest, ANewWidthAndTextArePaintedOnceAfterTheHandler) {
    PaintCounter paints(bar);
    bar.SetPos(40);
    bar.SetWindowText("Downloading PDA to ram... 40%(1/2)");
    EXPECT_EQ(paints.count, 0) << "nothing is painted while the handler runs";
    NextFrames();
    EXPECT_EQ(paints.count, 1);
}

// Progress faster than the screen shows it costs a paint a frame, not a paint a step, and
// the last step is the one left on screen.
TEST_F(ProgressBarTest, AStormOfStepsIsPaintedAtMostOnceAFrame) {
    PaintCounter paints(bar);
    QElapsedTimer elapsed;
    elapsed.start();
    for (int pos = 0; pos <= 100; ++pos) {
        bar.SetPos(pos);
        QApplication::processEvents();
    }
    NextFrames();
    const qint64 frames = elapsed.elapsed() / 16 + 2;
    EXPECT_LE(paints.count, frames);
    EXPECT_GE(paints.count, 1);
    EXPECT_EQ(bar.ShownText(), "100%");
}

TEST_F(ProgressBarTest, DrawsTheTextInInvertedColoursOverTheFilledPart) {
    bar.SetBarColor(RGB(0, 0, 200));
    bar.SetBgColor(RGB(255, 255, 255));
    bar.SetTextColor(RGB(0, 0, 200));
    bar.SetTextBkColor(RGB(255, 255, 255));
    bar.SetWindowText("XXXXXXXXXXXXXXXXXXXXXXXXXXXXXX");
    bar.SetPos(50);
    const QImage image = bar.grab().toImage();
    const int middle = image.height() / 2;
    const int split = image.width() / 2;

    // Away from the text the two parts show their own colours.
    EXPECT_EQ(image.pixelColor(2, 1), QColor(0, 0, 200));
    EXPECT_EQ(image.pixelColor(image.width() - 3, 1), QColor(255, 255, 255));
    // Within the text's row, the filled half holds text pixels in the background colour and
    // the empty half text pixels in the bar colour.
    bool bLightOnFilled = false;
    bool bDarkOnEmpty = false;
    for (int x = 0; x < image.width(); ++x) {
        const QColor pixel = image.pixelColor(x, middle);
        if (x < split - 2 && pixel.lightness() > 200) {
            bLightOnFilled = true;
        }
        if (x > split + 2 && pixel.lightness() < 120) {
            bDarkOnEmpty = true;
        }
    }
    EXPECT_TRUE(bLightOnFilled);
    EXPECT_TRUE(bDarkOnEmpty);
}

TEST_F(ProgressBarTest, AnEmptyRangeDrawsNothingAndNeverDivides) {
    bar.SetRange(10, 10);
    bar.SetPos(10);
    EXPECT_EQ(FilledWidth(10, 10, 10, 200), 0);
    EXPECT_EQ(bar.ShownText(), "0%");
    bar.repaint();  // must not fault
}

TEST(ProgressRuleTest, FilledWidthIsTruncated) {
    EXPECT_EQ(FilledWidth(37, 0, 100, 200), 74);
    EXPECT_EQ(FilledWidth(1, 0, 3, 100), 33);
    EXPECT_EQ(PercentText(2, 0, 3), "66%");
}

TEST(ColorStaticTest, MinusOneRestoresTheSystemColours) {
    CColorStaticST label;
    const COLORREF face = FromQColor(label.palette().color(QPalette::Button));
    const COLORREF text = FromQColor(label.palette().color(QPalette::ButtonText));
    EXPECT_EQ(label.GetBkColor(), face);
    label.SetBkColor(RGB(255, 255, 0));
    label.SetTextColor(RGB(1, 2, 3));
    EXPECT_EQ(label.GetBkColor(), RGB(255, 255, 0));
    EXPECT_EQ(label.GetTextColor(), RGB(1, 2, 3));
    label.SetBkColor(static_cast<COLORREF>(-1));
    label.SetTextColor(static_cast<COLORREF>(-1));
    EXPECT_EQ(label.GetBkColor(), face);
    EXPECT_EQ(label.GetTextColor(), text);
}

TEST(ColorStaticTest, PaintsItsBackgroundUnlessTransparent) {
    QWidget parent;
    parent.setAutoFillBackground(true);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(10, 20, 30));
    parent.setPalette(palette);
    CColorStaticST label(&parent);
    label.resize(60, 20);
    label.SetBkColor(RGB(255, 0, 0));
    EXPECT_EQ(parent.grab().toImage().pixelColor(1, 1), QColor(255, 0, 0));
    label.SetTransparent(true);
    EXPECT_EQ(parent.grab().toImage().pixelColor(1, 1), QColor(10, 20, 30));
}

TEST(MemDcTest, CopiesTheClipBoxToTheTargetInOnePiece) {
    QImage target(40, 40, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::black);
    {
        QPainter painter(&target);
        CMemDC memDC(painter, QRect(10, 10, 20, 20));
        EXPECT_TRUE(memDC.IsOffScreen());
        memDC.Painter().fillRect(QRect(0, 0, 40, 40), Qt::green);  // target coordinates
        EXPECT_EQ(target.pixelColor(15, 15), QColor(Qt::black)) << "nothing shows before the copy";
    }
    EXPECT_EQ(target.pixelColor(15, 15), QColor(Qt::green));
    EXPECT_EQ(target.pixelColor(5, 5), QColor(Qt::black)) << "only the clip box is drawn";
}

}  // namespace
}  // namespace vantorel::console
