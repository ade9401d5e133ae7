#include <gtest/gtest.h>

#include <QScrollBar>
#include <thread>

#include "console/log_book.h"
#include "console/log_dialog.h"
#include "console/log_view.h"
#include "tests/console/console_fixture.h"
#include "tests/support/shown_logs.h"

namespace vantorel::console::test {
namespace {

using LogsTest = ConsoleTest;

TEST_F(LogsTest, SlotLogsIgnoreSlotsOutsideTheTable) {
    dlg->AppendSlotLog(8, "[Setup:%d] lost\r\n", 9);
    dlg->AppendSlotLog(-1, "lost\r\n");
    dlg->AppendSlotLog(7, "[Setup:%d] kept\r\n", 8);
    for (int slot = 0; slot < 7; ++slot) {
        EXPECT_EQ(dlg->m_logs.SlotText(slot), "");
    }
    EXPECT_EQ(dlg->m_logs.SlotText(7), "[Setup:8] kept\r\n");
    EXPECT_EQ(MainLog(), "");
}

TEST_F(LogsTest, FormatsPrintfStyleAndContinuesUnfinishedLines) {
    dlg->AppendMainLog("[EBoot:%d] m_dwEraseNvCase = %x %s%c%% ", 1, 0x210, "ok", '!');
    dlg->AppendMainLog("same line\r\n");
    dlg->AppendMainLog("next\r\n");
    EXPECT_EQ(MainLog(), "[EBoot:1] m_dwEraseNvCase = 210 ok!% same line\r\nnext\r\n");
    EXPECT_EQ(MainLogText(), "[EBoot:1] m_dwEraseNvCase = 210 ok!% same line\nnext\n");
}

TEST_F(LogsTest, LongLinesArriveWhole) {
    const std::string path(5000, 'p');
    dlg->AppendMainLog("%s CreateFile failed \r\n", path.c_str());
    dlg->AppendSlotLog(0, "[Setup:1] Device name:%s\r\n", path.c_str());
    EXPECT_EQ(MainLog(), path + " CreateFile failed \r\n");
    EXPECT_EQ(dlg->m_logs.SlotText(0), "[Setup:1] Device name:" + path + "\r\n");
    EXPECT_EQ(MainLogText().size(), static_cast<qsizetype>(path.size() + 20));
}

TEST_F(LogsTest, TheMainLogStaysScrolledToItsEnd) {
    dlg->show();
    auto* view = qobject_cast<CLogView*>(dlg->GetDlgItem(ctl::kMainLog));
    for (int line = 0; line < 300; ++line) {
        dlg->AppendMainLog("[PDA:1] line %d\r\n", line);
    }
    MainLogText();  // the frame that shows them
    EXPECT_GT(view->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
}

// A storm of lines costs the view one insertion and one scroll per frame, not one per line,
// and the lines still arrive whole and in order.
TEST_F(LogsTest, LinesReachTheViewOncePerFrame) {
    dlg->show();
    auto* view = qobject_cast<CLogView*>(dlg->GetDlgItem(ctl::kMainLog));
    int changes = 0;
    QObject::connect(view, &CLogView::TextAppended, [&changes] { ++changes; });
    QString expected;
    for (int line = 0; line < 500; ++line) {
        dlg->AppendMainLog("[PDA:1] line %d\r\n", line);
        expected += QStringLiteral("[PDA:1] line %1\n").arg(line);
    }
    EXPECT_EQ(changes, 0) << "the view waits for the frame";
    EXPECT_EQ(MainLogText(), expected);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
}

// More than a frame's worth of lines is shown over several frames, so that no frame stalls
// the window; the view still gets every line, in order.
TEST_F(LogsTest, AStormOfLinesIsShownOverSeveralFramesInOrder) {
    auto* view = qobject_cast<CLogView*>(dlg->GetDlgItem(ctl::kMainLog));
    int changes = 0;
    QObject::connect(view, &CLogView::TextAppended, [&changes] { ++changes; });
    for (int line = 0; line < 20000; ++line) {
        dlg->AppendMainLog("[PDA:%d] storm line %d\r\n", line % 8 + 1, line);
    }
    EXPECT_EQ(MainLogText(), QString::fromStdString(MainLog()).remove('\r'));
    EXPECT_GT(changes, 1);
}

TEST(LogBookTest, ATakeHandsOverWholeLinesUpToItsSizeAndKeepsTheRest) {
    LogBook book;
    EXPECT_TRUE(book.Append(ShownLog::Main, "first\r\nsecond\r\n"));
    EXPECT_FALSE(book.Append(ShownLog::Main, "third\r\n")) << "lines were already waiting";
    EXPECT_EQ(book.TakePending(ShownLog::Main, 12), "first\r\n");
    EXPECT_TRUE(book.HasPending(ShownLog::Main));
    EXPECT_EQ(book.TakePending(ShownLog::Main, 3), "second\r\n") << "one line at least";
    EXPECT_EQ(book.TakePending(ShownLog::Main, 100), "third\r\n");
    EXPECT_FALSE(book.HasPending(ShownLog::Main));

    book.Append(ShownLog::Main, "no line end yet");
    EXPECT_EQ(book.TakePending(ShownLog::Main, 4), "no line end yet");
    EXPECT_EQ(book.Text(ShownLog::Main), "first\r\nsecond\r\nthird\r\nno line end yet")
        << "the log keeps everything the view was handed";
}

TEST_F(LogsTest, ResetAllEmptiesBothShownLogs) {
    dlg->AppendMainLog("main\r\n");
    dlg->AppendAuxLog("Version:[%s]\r\n", "X1");
    EXPECT_EQ(vantorel::test::ShownLogText(*dlg, ctl::kAuxLog), "Version:[X1]\n");
    dlg->ClearAuxLog();
    dlg->AppendAuxLog("Version:[%s]\r\n", "X2");
    EXPECT_EQ(dlg->m_logs.Text(ShownLog::Aux), "Version:[X2]\r\n");
    EXPECT_EQ(vantorel::test::ShownLogText(*dlg, ctl::kAuxLog), "Version:[X2]\n");
    EXPECT_EQ(MainLog(), "main\r\n") << "the main log is left alone";
    dlg->OnBnClickedResetAll();
    EXPECT_EQ(MainLog(), "");
    EXPECT_EQ(MainLogText(), "");
    EXPECT_EQ(dlg->m_logs.Text(ShownLog::Aux), "");
    EXPECT_EQ(vantorel::test::ShownLogText(*dlg, ctl::kAuxLog), "");
}

TEST_F(LogsTest, SeeLogShowsTheSlotsLogUnderItsZeroBasedNumber) {
    dlg->AppendSlotLog(0, "[Setup:1] PDA Device detected. TimeOut:3\r\n");
    WithModal([&] { dlg->OnBnClickedSeeLog(0); },
              [](QWidget& viewer) {
                  auto* log = dynamic_cast<CLogDialog*>(&viewer);
                  ASSERT_NE(log, nullptr);
                  EXPECT_EQ(log->windowTitle(), "Log Messages");
                  EXPECT_EQ(log->Caption(), "Thread 0 Log:");
                  EXPECT_EQ(log->LogText(), "[Setup:1] PDA Device detected. TimeOut:3\n");
              });

    dlg->ResetSlot(0);
    WithModal([&] { dlg->OnBnClickedSeeLog(0); },
              [](QWidget& viewer) { EXPECT_EQ(dynamic_cast<CLogDialog&>(viewer).LogText(), ""); });
}

TEST_F(LogsTest, WorkerLinesReachTheViewInOrder) {
    std::thread worker([this] {
        for (int line = 0; line < 200; ++line) {
            dlg->AppendMainLog("[PDA:2] %d\r\n", line);
        }
    });
    dlg->AppendMainLog("[Setup] from the dialog\r\n");
    worker.join();
    QApplication::processEvents();

    const std::string log = MainLog();
    EXPECT_EQ(MainLogText(), QString::fromStdString(log).remove('\r'));
    size_t from = 0;
    for (int line = 0; line < 200; ++line) {
        const size_t at = log.find("[PDA:2] " + std::to_string(line) + "\r\n", from);
        ASSERT_NE(at, std::string::npos) << line;
        from = at;
    }
}

}  // namespace
}  // namespace vantorel::console::test
