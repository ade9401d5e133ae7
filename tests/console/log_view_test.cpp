#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <cmath>

#include "console/log_lines.h"
#include "console/log_view.h"

namespace vantorel::console::test {
namespace {

TEST(LogLinesTest, LinesWrapIntoRowsAndUnfinishedLinesAreContinued) {
    LogLines lines;
    lines.SetColumns(10);
    EXPECT_EQ(lines.LineCount(), 1);
    EXPECT_EQ(lines.RowCount(), 1) << "an empty log still has its one empty line";

    lines.Append(u"0123456789abcde\n0123456789\nxy");
    EXPECT_EQ(lines.LineCount(), 3);
    EXPECT_EQ(lines.RowCount(), 4) << "15 characters take two rows, exactly 10 take one";
    EXPECT_EQ(lines.RowAt(0).start, 0);
    EXPECT_EQ(lines.RowAt(0).length, 10);
    EXPECT_EQ(lines.RowAt(1).start, 10);
    EXPECT_EQ(lines.RowAt(1).length, 5);
    EXPECT_EQ(lines.RowAt(2).start, 16);
    EXPECT_EQ(lines.RowAt(3).length, 2);

    lines.Append(u"z0123456789\n");
    EXPECT_EQ(lines.LineCount(), 4);
    EXPECT_EQ(lines.RowCount(), 6) << "the continued line now wraps, and an empty line follows";
    EXPECT_EQ(lines.Text().mid(lines.RowAt(4).start, lines.RowAt(4).length), u"789");
    EXPECT_EQ(lines.RowAt(5).length, 0);

    lines.SetColumns(4);
    EXPECT_EQ(lines.RowCount(), 4 + 3 + 4 + 1);
    EXPECT_EQ(lines.RowOf(18), 4 + 0) << "the second line's third character";
    EXPECT_EQ(lines.RowOf(27), 4 + 3) << "the third line's first character";
    EXPECT_EQ(lines.RowOf(lines.Text().size()), lines.RowCount() - 1);
    EXPECT_EQ(lines.LineAround(20).start, 16);
    EXPECT_EQ(lines.LineAround(20).length, 10);

    lines.Clear();
    EXPECT_EQ(lines.Text(), u"");
    EXPECT_EQ(lines.RowCount(), 1);
}

// A view at a fixed size with the console's font; rows are found from the same metrics the
// view uses, with the view's 4-pixel margin.
class LogViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        view.resize(400, 200);
        view.show();
        rowHeight = static_cast<int>(std::ceil(QFontMetricsF(view.font()).lineSpacing()));
    }

    QPoint RowPoint(int row, int x) const { return {x, 4 + row * rowHeight + rowHeight / 2}; }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, at, view.viewport()->mapToGlobal(at), Qt::LeftButton, held,
                          Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &event);
    }

    void Key(int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&view, &event);
    }

    CLogView view;
    int rowHeight = 16;
};

TEST_F(LogViewTest, FollowsTheEndThroughAppendsAndResizes) {
    QString text;
    for (int line = 0; line < 200; ++line) {
        text +=
            QStringLiteral("[PDA:1] line %1 of a log that is long enough to wrap here\n").arg(line);
    }
    view.AppendText(text);
    QScrollBar* scroll = view.verticalScrollBar();
    scroll->setValue(scroll->maximum());
    EXPECT_GT(scroll->maximum(), 200) << "wrapped lines take more than one row each";
    EXPECT_EQ(view.LineCount(), 201);
    EXPECT_EQ(view.Text(), text);

    view.resize(250, 200);
    EXPECT_EQ(scroll->value(), scroll->maximum()) << "a view at its end stays there";

    scroll->setValue(0);
    view.resize(600, 200);
    EXPECT_EQ(scroll->value(), 0) << "a view scrolled back keeps its first line in view";

    view.Clear();
    EXPECT_EQ(view.Text(), "");
    EXPECT_EQ(scroll->maximum(), 0);
}

TEST_F(LogViewTest, MouseSelectionAndTheKeysCopyExactlyTheText) {
    view.AppendText("[Setup:1] PDA Device Found! TimeOut:0\n[Error:2] Not receive OKUD!\ntail");
    QApplication::clipboard()->clear();

    // From the very start of the first row to past the end of the second.
    Mouse(QEvent::MouseButtonPress, RowPoint(0, 0), Qt::LeftButton);
    Mouse(QEvent::MouseMove, RowPoint(1, 390), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, RowPoint(1, 390), Qt::NoButton);
    EXPECT_EQ(view.SelectedText(),
              "[Setup:1] PDA Device Found! TimeOut:0\n[Error:2] Not receive OKUD!");
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), view.SelectedText());

    QMouseEvent twice(QEvent::MouseButtonDblClick, RowPoint(1, 20),
                      view.viewport()->mapToGlobal(RowPoint(1, 20)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &twice);
    EXPECT_EQ(view.SelectedText(), "Error") << "a double click: the word, as in the slot logs";

    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), view.Text());

    view.Clear();
    EXPECT_EQ(view.SelectedText(), "") << "a cleared view has nothing selected";
}

}  // namespace
}  // namespace vantorel::console::test
