// The station's keyboard: Escape keeps the results, Enter and Alt+letter press buttons, and
// Tab walks the controls an operator works with.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "tests/console/console_fixture.h"

namespace vantorel::console::test {
namespace {

using KeyboardTest = ConsoleTest;

TEST_F(KeyboardTest, EscapeNeverClosesTheStationWhateverItShows) {
    dlg->show();
    dlg->activateWindow();
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_TRUE(dlg->isVisible()) << "idle";

    // Results on screen: one slot done, one failed.
    StartBatch({0, 1});
    Send(518, 0);
    Send(209, 1);
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_TRUE(dlg->isVisible()) << "with results on screen";
    EXPECT_TRUE(prompts.confirmations.empty());
    EXPECT_EQ(dlg->m_aSlotStatus[0].nState, SLOT_DONE);

    // The close button keeps its rule: with nothing downloading it closes without a word.
    EXPECT_TRUE(dlg->close());
    EXPECT_TRUE(prompts.confirmations.empty());
}

TEST_F(KeyboardTest, EnterPressesTheFocusedButtonAndAltLettersPressTheMainOnes) {
    dlg->show();
    dlg->activateWindow();
    int detects = 0;
    QObject::connect(dlg->Controls().As<QAbstractButton>(ctl::kDetect), &QAbstractButton::clicked,
                     [&] { ++detects; });
    // Detect is enabled once an image is chosen; here it is enabled by hand.
    dlg->Controls().Enable(ctl::kDetect, true);
    QWidget* detect = dlg->GetDlgItem(ctl::kDetect);
    detect->setFocus();
    QTest::keyClick(dlg->focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return detects == 1; }));

    dlg->Controls().Enable(ctl::kDetect, true);
    QTest::keyClick(dlg.get(), Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return detects == 2; }));
    EXPECT_EQ(detect->toolTip(),
              QKeySequence(Qt::ALT | Qt::Key_D).toString(QKeySequence::NativeText));

    // A disabled button is not pressed by its keys.
    dlg->Controls().Enable(ctl::kDetect, false);
    QTest::keyClick(dlg.get(), Qt::Key_D, Qt::AltModifier);
    QTest::qWait(50);
    EXPECT_EQ(detects, 2);
}

TEST_F(KeyboardTest, TabSkipsThePathBoxesAndTheSeeLogButtons) {
    dlg->show();
    // The chain Tab walks: every shown, enabled widget of the window that takes Tab focus.
    std::vector<QWidget*> visited;
    QWidget* start = dlg->GetDlgItem(ctl::kEbootButton);
    for (QWidget* widget = start->nextInFocusChain(); widget != start;
         widget = widget->nextInFocusChain()) {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->isVisible() &&
            widget->isEnabled() && widget->window() == dlg.get()) {
            visited.push_back(widget);
        }
    }
    EXPECT_NE(std::find(visited.begin(), visited.end(), dlg->GetDlgItem(ctl::kPdaButton)),
              visited.end());
    ASSERT_FALSE(visited.empty());
    for (const int id : {ctl::kEbootPath, ctl::kPdaPath, ctl::kImgPath}) {
        EXPECT_EQ(std::count(visited.begin(), visited.end(), dlg->GetDlgItem(id)), 0) << id;
    }
    for (const int id : kSlotSeeLogIds) {
        EXPECT_EQ(std::count(visited.begin(), visited.end(), dlg->GetDlgItem(id)), 0) << id;
    }
    // The path boxes still take a click, to select and copy a path.
    EXPECT_EQ(dlg->GetDlgItem(ctl::kPdaPath)->focusPolicy(), Qt::ClickFocus);
}

}  // namespace
}  // namespace vantorel::console::test
