// The main log while lines arrive: at its end it follows them, scrolled up it stays put.
#include <gtest/gtest.h>

#include <QScrollBar>

#include "console/log_view.h"
#include "tests/console/console_fixture.h"

namespace vantorel::console::test {
namespace {

using LogFollowTest = ConsoleTest;

TEST_F(LogFollowTest, ScrolledUpTheMainLogStaysAndBackAtTheEndItFollowsAgain) {
    dlg->show();
    auto* view = qobject_cast<CLogView*>(dlg->GetDlgItem(ctl::kMainLog));
    QScrollBar* scroll = view->verticalScrollBar();
    const auto addLines = [&](int from, int count) {
        for (int line = from; line < from + count; ++line) {
            dlg->AppendMainLog("[PDA:1] line %d\r\n", line);
        }
        MainLogText();  // the frames that show them
    };
    addLines(0, 300);
    ASSERT_GT(scroll->maximum(), 0);
    EXPECT_EQ(scroll->value(), scroll->maximum());

    // The operator reads back; the run goes on.
    scroll->setValue(10);
    addLines(300, 200);
    EXPECT_EQ(scroll->value(), 10) << "the lines being read stay in view";
    EXPECT_LT(scroll->value(), scroll->maximum());

    // Back at the end, the view follows the new lines again.
    scroll->setValue(scroll->maximum());
    const int before = scroll->maximum();
    addLines(500, 200);
    EXPECT_GT(scroll->maximum(), before);
    EXPECT_EQ(scroll->value(), scroll->maximum());
}

}  // namespace
}  // namespace vantorel::console::test
