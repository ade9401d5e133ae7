// The Ports box says which mode it is in, offers the mode once a map is there, asks before
// it throws a map away, and never moves the Detect row.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLayout>
#include <filesystem>
#include <fstream>

#include "engine/slot_port_map.h"
#include "link/platform/emulated/emulated_bus.h"
#include "tests/console/console_fixture.h"

namespace vantorel::console::test {
namespace {

using PortsBoxTest = ConsoleTest;

QString BoxText(CVantorelDlg& dlg) {
    return dlg.Controls().Text(ctl::kPortMapText);
}

TEST_F(PortsBoxTest, ALoadedMapOffersTheModeAndTheBoxSaysWhichModeItIsIn) {
    EXPECT_TRUE(BoxText(*dlg).startsWith("Off: slots are taken in arrival order."))
        << BoxText(*dlg).toStdString();
    const std::string file = ::testing::TempDir() + "/ports-box-test.ports";
    std::ofstream(file) << "1=1-1\n2=1-2\n";

    prompts.bConfirm = false;
    prompts.fileAnswers.push_back(QString::fromStdString(file));
    dlg->Controls().As<QAbstractButton>(ctl::kLoadPorts)->click();
    ASSERT_EQ(prompts.confirmations.size(), 1u);
    EXPECT_TRUE(prompts.confirmations[0].contains("Slots follow ports"))
        << prompts.confirmations[0].toStdString();
    EXPECT_EQ(dlg->m_options.m_bSlotsFollowPorts, 0) << "the operator said no";
    EXPECT_TRUE(BoxText(*dlg).startsWith("Off:"));

    prompts.bConfirm = true;
    prompts.fileAnswers.push_back(QString::fromStdString(file));
    dlg->Controls().As<QAbstractButton>(ctl::kLoadPorts)->click();
    EXPECT_EQ(prompts.confirmations.size(), 2u);
    EXPECT_EQ(dlg->m_options.m_bSlotsFollowPorts, 1);
    EXPECT_TRUE(dlg->Controls().As<QAbstractButton>(ctl::kSlotsFollowPorts)->isChecked());
    EXPECT_FALSE(BoxText(*dlg).contains("Off:")) << BoxText(*dlg).toStdString();
    std::filesystem::remove(file);
}

TEST_F(PortsBoxTest, StoppingLearningOffersTheModeAndClearingAsksFirst) {
    dlg->OnBnClickedLearnPorts();
    dlg->OnDeviceChange(link::DeviceEventKind::Arrival,
                        link::emulated::EmulatedBus::DevicePathOf("1-3"));
    EXPECT_EQ(dlg->m_portMap.BoundCount(), 1);
    dlg->OnBnClickedLearnPorts();  // stop
    ASSERT_EQ(prompts.confirmations.size(), 1u);
    EXPECT_EQ(dlg->m_options.m_bSlotsFollowPorts, 1);

    prompts.bConfirm = false;
    dlg->Controls().As<QAbstractButton>(ctl::kClearPorts)->click();
    EXPECT_EQ(prompts.confirmations.size(), 2u);
    EXPECT_TRUE(prompts.confirmations[1].startsWith("Clear the port map?"));
    EXPECT_EQ(dlg->m_portMap.BoundCount(), 1) << "cancelled: the map stays";
    prompts.bConfirm = true;
    dlg->Controls().As<QAbstractButton>(ctl::kClearPorts)->click();
    EXPECT_TRUE(dlg->m_portMap.IsEmpty());
    // An empty map is cleared without a question.
    dlg->Controls().As<QAbstractButton>(ctl::kClearPorts)->click();
    EXPECT_EQ(prompts.confirmations.size(), 3u);
}

TEST_F(PortsBoxTest, ListingAMapDoesNotMoveTheDetectRow) {
    dlg->show();
    QApplication::processEvents();
    dlg->layout()->activate();
    QWidget* detect = dlg->GetDlgItem(ctl::kDetect);
    const int before = detect->mapTo(dlg.get(), QPoint(0, 0)).y();
    engine::SlotPortMap map;
    std::string error;
    ASSERT_TRUE(
        engine::ParsePortMap("1=1-1,2=1-2,3=1-3,4=1-4,5=1-5,6=1-6,7=1-7,8=1-8", map, error));
    dlg->SetPortMap(map);
    dlg->SetSlotsFollowPorts(false);
    QApplication::processEvents();
    dlg->layout()->activate();
    EXPECT_EQ(detect->mapTo(dlg.get(), QPoint(0, 0)).y(), before)
        << dlg->GetDlgItem(ctl::kPortMapText)->height() << " "
        << dlg->Controls().Text(ctl::kPortMapText).toStdString();
}

}  // namespace
}  // namespace vantorel::console::test
