// The bench with its windows, offscreen: the station and the panel fit a laptop's screen,
// and closing either while handsets download asks once and ends the program on OK.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "bench/bench_panel.h"
#include "bench/bench_station.h"
#include "bench/handset_setup.h"
#include "bench/sample_directory.h"
#include "console/vantorel_dlg.h"
#include "console/window_fit.h"
#include "tests/bench/no_records.h"
#include "tests/support/temp_dir.h"

namespace vantorel::bench::test {
namespace {

using console::CVantorelDlg;

class BenchWindowTest : public ::testing::Test {
protected:
    BenchWindowTest()
        : bench(LinkChoice::Bulk, {}, {}, 0.01), station(bench, args, scratch.Path().string()) {}

    // Opens the bench, runs `act` once its loop runs, answers every confirmation with
    // `button`, and returns once the program's loop ends (or fails after a bound).
    int RunAndThen(const std::function<void()>& act, QMessageBox::StandardButton button) {
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ++confirmations;
                box->button(button)->click();
            }
        });
        answer.start(20);
        QTimer::singleShot(0, [&] {
            // A handset attached and downloading, as far as closing is concerned.
            CVantorelDlg& dlg = *station.Station();
            dlg.m_nDetectedCount = 1;
            dlg.m_aSlotStatus[0].nState = console::SLOT_DOWNLOADING;
            act();
        });
        QTimer::singleShot(8000, [] { QCoreApplication::exit(kStillRunning); });
        return station.Run({});
    }

    static constexpr int kStillRunning = 99;
    vantorel::test::TempDir scratch;
    BenchArguments args = test::NoRecords();
    EmulatedBench bench;
    BenchStation station;
    int confirmations = 0;
};

TEST_F(BenchWindowTest, OneOkWhileDownloadingEndsStationAndPanel) {
    const int code = RunAndThen([&] { station.Station()->close(); }, QMessageBox::Ok);
    EXPECT_NE(code, kStillRunning) << "the program did not end";
    EXPECT_EQ(confirmations, 1);
    EXPECT_FALSE(station.Station()->isVisible());
    EXPECT_FALSE(station.Panel()->isVisible());
}

TEST_F(BenchWindowTest, ClosingThePanelIsClosingTheStation) {
    const int code = RunAndThen([&] { station.Panel()->close(); }, QMessageBox::Ok);
    EXPECT_NE(code, kStillRunning) << "the program did not end";
    EXPECT_EQ(confirmations, 1);
    EXPECT_FALSE(station.Station()->isVisible());
    EXPECT_FALSE(station.Panel()->isVisible());
}

TEST_F(BenchWindowTest, CancelLeavesBothWindowsRunning) {
    bool bShownAfterCancel = false;
    const int code = RunAndThen(
        [&] {
            station.Panel()->close();
            QTimer::singleShot(300, [&] {
                bShownAfterCancel = station.Station()->isVisible() && station.Panel()->isVisible();
                QCoreApplication::exit(0);
            });
        },
        QMessageBox::Cancel);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(confirmations, 1);
    EXPECT_TRUE(bShownAfterCancel);
}

// Both windows at no less than their minimum sizes, side by side within a laptop's and a
// desktop's screen, frames included.
TEST_F(BenchWindowTest, StationAndPanelFitSideBySideOnCommonScreens) {
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    station.Run({});
    CVantorelDlg& dlg = *station.Station();
    bench::BenchPanel& panel = *station.Panel();
    for (const QRect screen : {QRect(0, 0, 1366, 768), QRect(0, 0, 1920, 1080)}) {
        SCOPED_TRACE(::testing::Message()
                     << screen.width() << ": station at least " << dlg.minimumSizeHint().width()
                     << "x" << dlg.minimumSizeHint().height() << ", panel "
                     << panel.minimumSizeHint().width() << "x" << panel.sizeHint().height());
        const QRect area = screen.adjusted(0, 0, 0, -30);  // a desktop panel takes a strip
        const QMargins frame = console::kTypicalFrame;
        const console::SideBySide placed =
            console::PlaceSideBySide(area, frame, QSize(1180, 760), dlg.minimumSizeHint(),
                                     panel.sizeHint(), panel.minimumSizeHint());
        const QRect stationFrame = placed.station.marginsAdded(frame);
        const QRect panelFrame = placed.panel.marginsAdded(frame);
        EXPECT_TRUE(area.contains(stationFrame))
            << stationFrame.right() << "," << stationFrame.bottom();
        EXPECT_TRUE(area.contains(panelFrame)) << panelFrame.right() << "," << panelFrame.bottom();
        EXPECT_FALSE(stationFrame.intersects(panelFrame));
        EXPECT_GE(placed.station.width(), dlg.minimumSizeHint().width());
        EXPECT_GE(placed.station.height(), dlg.minimumSizeHint().height());
        EXPECT_GE(placed.panel.width(), panel.minimumSizeHint().width());
        EXPECT_GE(placed.panel.height(), panel.sizeHint().height());
    }
}

// A handset on the bench that stays off the bus for a long while when it reboots.
class SlowRebootBenchTest : public ::testing::Test {
protected:
    static std::vector<HandsetSetup> Setups() {
        HandsetSetup slow;
        std::string error;
        EXPECT_TRUE(ParseHandsetSettings("--reboot-delay-ms 600000", slow, error)) << error;
        return {slow};
    }
    SlowRebootBenchTest()
        : bench(LinkChoice::Bulk, {}, Setups(), 0.01),
          station(bench, args, scratch.Path().string()) {}

    vantorel::test::TempDir scratch;
    BenchArguments args = test::NoRecords();
    EmulatedBench bench;
    BenchStation station;
};

// The panel's row shows the slot its handset landed in, and a handset pulled out while it
// reboots reads "unplugged", not "rebooting".
TEST_F(SlowRebootBenchTest, TheRowShowsItsSlotAndAHandsetPulledOutInItsRebootReadsUnplugged) {
    std::string error;
    ASSERT_TRUE(EnsureSampleSet(scratch.Path().string(), error)) << error;
    const std::vector<emulator::ChosenImage> chosen{
        {images::IMG_EBOOT, (scratch / "eboot.eb0").string()},
        {images::IMG_PDA, (scratch / "pda.nb0").string()}};

    int step = 0;
    std::string slotWhileRebooting;
    std::string stateAfterUnplug;
    QTimer drive;
    QObject::connect(&drive, &QTimer::timeout, [&] {
        CVantorelDlg& dlg = *station.Station();
        switch (step) {
            case 0:
                dlg.Controls().As<QAbstractButton>(console::ctl::kDetect)->click();
                station.Plug(0);
                step = 1;
                break;
            case 1:
                if (dlg.m_aSlotStatus[0].nState == console::SLOT_READY) {
                    dlg.Controls().As<QAbstractButton>(console::ctl::kStartDownloading)->click();
                    step = 2;
                }
                break;
            case 2:
                if (station.Handset(0).state == "rebooting") {
                    station.Panel()->Refresh();
                    slotWhileRebooting = station.Handset(0).slot == 0 ? "PDA 1" : "none";
                    station.Unplug(0);
                    stateAfterUnplug = station.Handset(0).state;
                    QCoreApplication::exit(0);
                }
                break;
        }
    });
    drive.start(20);
    QTimer::singleShot(30000, [] { QCoreApplication::exit(1); });
    ASSERT_EQ(station.Run(chosen), 0) << "the handset never rebooted";
    EXPECT_EQ(slotWhileRebooting, "PDA 1");
    EXPECT_EQ(stateAfterUnplug, "unplugged");
}

}  // namespace
}  // namespace vantorel::bench::test
