#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStringList>
#include <QTextBoundaryFinder>
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

// The rows of `lines`, as text.
QStringList Rows(const LogLines& lines) {
    QStringList rows;
    for (qsizetype row = 0; row < lines.RowCount(); ++row) {
        rows << lines.Text().mid(lines.RowAt(row).start, lines.RowAt(row).length);
    }
    return rows;
}

TEST(LogLinesTest, RowsBreakBetweenWhatReadsAsOneCharacter) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // U+1F600, a surrogate pair
    const QString accented = QString::fromUtf8("e\xCC\x81");      // e + combining acute
    LogLines lines;
    lines.SetColumns(5);
    lines.Append(QStringLiteral("abcd") + emoji + u'e');
    EXPECT_EQ(Rows(lines), QStringList({"abcd", emoji + u'e'})) << "two cells do not fit in one";

    lines.Clear();
    lines.SetColumns(3);
    lines.Append(accented.repeated(4));
    EXPECT_EQ(Rows(lines), QStringList({accented.repeated(3), accented}))
        << "a mark stays with its letter and takes no column of its own";

    lines.Clear();
    lines.SetColumns(5);
    lines.Append(QString::fromUtf8("\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4"));  // Korean, 3 wide
    EXPECT_EQ(lines.RowCount(), 2) << "wide characters take two columns each";

    // Any width, any mix, appended in pieces: every row starts on a cluster boundary.
    const QString mixed = QStringLiteral("[PDA:1] ") + emoji + accented + QStringLiteral("\tx") +
                          emoji + emoji + QStringLiteral("\n") + accented + emoji;
    for (int columns = 1; columns <= 12; ++columns) {
        LogLines pieces;
        pieces.SetColumns(columns);
        for (const QChar c : mixed) {
            pieces.Append(QStringView(&c, 1));
        }
        for (qsizetype row = 0; row < pieces.RowCount(); ++row) {
            const qsizetype start = pieces.RowAt(row).start;
            QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, pieces.Text());
            clusters.setPosition(start);
            EXPECT_TRUE(clusters.isAtBoundary()) << columns << " columns, row " << row;
        }
        LogLines whole;
        whole.SetColumns(columns);
        whole.Append(mixed);
        EXPECT_EQ(Rows(pieces), Rows(whole)) << "appends in pieces wrap as one append";
    }
}

TEST(LogLinesTest, TabsRunToTheNextStopOfEightColumns) {
    LogLines lines;
    lines.SetColumns(12);
    lines.Append(u"a\tb\n\t\tx");
    EXPECT_EQ(Rows(lines), QStringList({"a\tb", "\t", "\tx"}))
        << "a tab from column 8 would end at 16, past 12";
    const std::vector<LogLines::Cell> cells = lines.CellsOf(0);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[1].column, 1);
    EXPECT_EQ(cells[1].width, 7);
    EXPECT_EQ(cells[2].column, 8) << "b stands at the tab stop";
    lines.SetColumns(4);
    EXPECT_EQ(lines.CellsOf(lines.RowOf(4)).front().width, 4) << "a tab never outgrows a row";
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

// A selection made with the mouse holds whole characters, wherever in a cell the mouse is.
TEST_F(LogViewTest, TheMouseSelectsWholeCharactersAcrossTabsAndEmoji) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    view.AppendText(QStringLiteral("\tA") + emoji + emoji + QStringLiteral("B\n"));
    const qreal cell = QFontMetricsF(view.font()).horizontalAdvance(QLatin1Char('0'));
    const auto at = [&](qreal column) { return static_cast<int>(4 + column * cell); };
    // Cells: the tab 0-7, A 8, the emoji 9-10 and 11-12, B 13.
    Mouse(QEvent::MouseButtonPress, RowPoint(0, at(8.2)), Qt::LeftButton);
    Mouse(QEvent::MouseMove, RowPoint(0, at(10.4)), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, RowPoint(0, at(10.4)), Qt::NoButton);
    EXPECT_EQ(view.SelectedText(), QStringLiteral("A") + emoji)
        << "past the middle of the emoji takes all of it";
    Mouse(QEvent::MouseButtonPress, RowPoint(0, at(0.6)), Qt::LeftButton);
    Mouse(QEvent::MouseMove, RowPoint(0, at(11.9)), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, RowPoint(0, at(11.9)), Qt::NoButton);
    EXPECT_EQ(view.SelectedText(), QStringLiteral("\tA") + emoji)
        << "the tab's first half lands before it; the second emoji's first half before that";
}

}  // namespace
}  // namespace vantorel::console::test
