#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QMenuBar>

#include "console/about_dlg.h"
#include "link/platform/hotplug_monitor.h"
#include "link/winusb_interface.h"
#include "tests/console/console_fixture.h"

namespace vantorel::console::test {
namespace {

using DialogSetupTest = ConsoleTest;

QAbstractButton* Button(CVantorelDlg& dlg, int id) {
    return qobject_cast<QAbstractButton*>(dlg.GetDlgItem(id));
}

TEST_F(DialogSetupTest, StartsWithEightWaitingSlotsAndOnlyTheImageControlsUsable) {
    EXPECT_EQ(dlg->windowTitle(), "VELDHARROWDownloader v2.4.3");
    EXPECT_EQ(dlg->m_dwToolVersion, 24u);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(LabelText(slot), QStringLiteral("PDA %1").arg(slot + 1));
        EXPECT_EQ(LabelColour(slot), RGB(255, 255, 0));
        EXPECT_EQ(BarText(slot), "Waiting for device..");
        EXPECT_EQ(BarPos(slot), 0);
        EXPECT_EQ(dlg->GetDlgItem(kSlotLabelIds[slot]), dlg->m_lblSlot[slot]);
        EXPECT_EQ(dlg->GetDlgItem(kSlotProgressIds[slot]), dlg->m_prgSlot[slot]);
        EXPECT_FALSE(Enabled(kSlotResetIds[slot]));
        EXPECT_TRUE(Enabled(kSlotSeeLogIds[slot]));
    }
    for (const int id : g_aOperatorCtrlId) {
        ASSERT_NE(dlg->GetDlgItem(id), nullptr) << id;
        const bool bLocked =
            id == ctl::kDetect || id == ctl::kStartDownloading || id == ctl::kResetAll;
        EXPECT_EQ(Enabled(id), !bLocked) << id;
    }
    EXPECT_EQ(Text(ctl::kDetectedCount), "Currently 0 device(s) detected.");
    EXPECT_EQ(sync.Calls(), std::vector<std::string>{"stop serial"});
}

// A hot-plug monitor the system refuses: the operator is told why, and the station closes
// since no handset could ever be detected.
class RefusedHotplug final : public link::HotplugMonitor {
public:
    bool Start(int& errorCode) override {
        errorCode = 13;
        return false;
    }
    int NotificationFd() const override { return -1; }
    std::vector<link::DeviceEvent> TakeEvents() override { return {}; }
};

TEST_F(DialogSetupTest, AHotplugRegistrationThatFailsIsShownAndClosesTheStation) {
    RefusedHotplug refused;
    const Clock clock{0.0};
    dlg.reset();
    prompts.messages.clear();
    dlg = std::make_unique<CVantorelDlg>(
        ConsoleEnvironment{bus, bus, bus, false, clock, sync, prompts, &refused});
    dlg->show();
    dlg->OnInitDialog();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "HUB RegisterDeviceNotification failed: 13\n");
    EXPECT_EQ(prompts.messages[0].caption, "RegisterDeviceNotification");
    EXPECT_EQ(prompts.messages[0].icon, OperatorPrompts::Icon::Error);
    QCoreApplication::processEvents();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(prompts.confirmations.empty()) << "nothing was detected, so nothing to confirm";
}

TEST_F(DialogSetupTest, HiddenOptionsStayHiddenWithTheirDefaults) {
    dlg->show();
    for (const OptionCheckBox& option : OptionCheckBoxes()) {
        EXPECT_EQ(dlg->GetDlgItem(option.id)->isVisible(), option.bShown) << option.caption;
        EXPECT_EQ(Button(*dlg, option.id)->isChecked(), dlg->m_options.*option.member != 0)
            << option.caption;
    }
    for (const int id : {ctl::kSmdButton, ctl::kSmdPath, ctl::kRamSectorMb,
                         ctl::kRamSectorMbCaption, ctl::kAuxLog, ctl::kEbootVersion}) {
        EXPECT_FALSE(dlg->GetDlgItem(id)->isVisible()) << id;
    }
    EXPECT_EQ(dlg->m_options.m_bCleanBoot, 1);
    EXPECT_EQ(dlg->m_options.m_bEncryptionPhone, 1);
    EXPECT_EQ(dlg->m_options.m_bWaitAfterDownload, 1);
    EXPECT_EQ(dlg->m_options.m_bSetUgm, 0);
}

TEST_F(DialogSetupTest, TheLinkVariantFollowsWhatThePlatformOffers) {
    for (const auto& link : dlg->m_pUsb) {
        EXPECT_EQ(dynamic_cast<link::CWinUsbInterface*>(link.get()), nullptr);
    }
    EXPECT_EQ(dlg->m_bWinUsbMode, 0);

    MakeDialog(true);
    EXPECT_EQ(dlg->m_bWinUsbMode, 1);
    for (const auto& link : dlg->m_pUsb) {
        EXPECT_NE(dynamic_cast<link::CWinUsbInterface*>(link.get()), nullptr);
    }
    dlg->OnBnClickedDetect();
    EXPECT_EQ(MainLog().substr(0, 24), "[Setup] Windows Vista \r\n");
}

TEST_F(DialogSetupTest, DetectLogsAndBuildsTheOptionWordFromTheCheckBoxes) {
    EXPECT_EQ(dlg->m_dwEraseNvCase, 0u);
    for (const int id : {1078, 1102, 1094, 1101}) {  // EbootCFG, NoLaunch, Phone Boot, priority
        Button(*dlg, id)->setChecked(true);
    }
    Button(*dlg, 1077)->setChecked(false);  // Clean Boot, on by default
    dlg->OnBnClickedDetect();
    // 0x1 | 0x800 | 0x80000000 | 0x400, plus Encryption Phone (0x200) by default.
    EXPECT_EQ(dlg->m_dwEraseNvCase, 0x80000E01u);
    EXPECT_EQ(MainLog(),
              "[Setup] Windows XP \r\n"
              "[Setup] Download PDA Ram Sector Size :87 MB \r\n");
    EXPECT_EQ(dlg->m_bDetecting, 1);
    for (const int id : g_aOperatorCtrlId) {
        EXPECT_EQ(Enabled(id), id == ctl::kResetAll) << id;
    }
}

TEST_F(DialogSetupTest, ControlSectorShowsItsEditAndDetectLogsItsMegabytes) {
    dlg->show();
    Button(*dlg, ctl::kControlSector)->click();
    EXPECT_TRUE(dlg->GetDlgItem(ctl::kRamSectorMb)->isVisible());
    EXPECT_TRUE(dlg->GetDlgItem(ctl::kRamSectorMbCaption)->isVisible());
    qobject_cast<QLineEdit*>(dlg->GetDlgItem(ctl::kRamSectorMb))->setText("5");
    dlg->OnBnClickedDetect();
    EXPECT_EQ(dlg->m_options.m_strRamSectorMb, "5");
    EXPECT_NE(MainLog().find("[Setup] Download PDA Ram Sector Size :5 MB \r\n"), std::string::npos);

    Button(*dlg, ctl::kControlSector)->setEnabled(true);
    Button(*dlg, ctl::kControlSector)->click();
    EXPECT_FALSE(dlg->GetDlgItem(ctl::kRamSectorMb)->isVisible());
}

// A sector count outside 5 to 100 MB would reach the workers as a sector of gigabytes or
// wrapped round; Detect refuses it with a box and arms nothing.
TEST_F(DialogSetupTest, DetectRefusesAControlSectorOutsideFiveToHundred) {
    Button(*dlg, ctl::kControlSector)->click();
    dlg->Controls().Enable(ctl::kDetect, true);  // as a chosen image leaves it
    auto* edit = qobject_cast<QLineEdit*>(dlg->GetDlgItem(ctl::kRamSectorMb));
    for (const char* text : {"-1", "4097", "4", "101", "0", "", " ", "abc", "5x", "+5", "1e1"}) {
        SCOPED_TRACE(std::string("\"") + text + "\"");
        prompts.messages.clear();
        edit->setText(QString::fromLatin1(text));
        Button(*dlg, ctl::kDetect)->click();
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0].text, "Control Sector must be between 5 and 100 MB.");
        EXPECT_EQ(prompts.messages[0].caption, "VELDHARROWDownloader v2.4.3");
        EXPECT_EQ(dlg->m_bDetecting, 0);
        EXPECT_EQ(MainLog(), "");
        for (const int id : g_aOperatorCtrlId) {
            EXPECT_EQ(Enabled(id), id != ctl::kStartDownloading && id != ctl::kResetAll) << id;
        }
    }

    prompts.messages.clear();
    Button(*dlg, ctl::kControlSector)->click();  // unchecked: the edit is not read
    Button(*dlg, ctl::kDetect)->click();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(dlg->m_bDetecting, 1);
}

TEST_F(DialogSetupTest, ControlSectorTakesFiveToHundredWithSpacesAround) {
    Button(*dlg, ctl::kControlSector)->click();
    auto* edit = qobject_cast<QLineEdit*>(dlg->GetDlgItem(ctl::kRamSectorMb));
    for (const char* text : {"5", "100", " 42 ", "007"}) {
        SCOPED_TRACE(text);
        dlg->m_bDetecting = 0;
        edit->setText(QString::fromLatin1(text));
        dlg->OnBnClickedDetect();
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_EQ(dlg->m_bDetecting, 1);
    }
}

TEST_F(DialogSetupTest, SmdBinaryShowsTheSmdImageControls) {
    dlg->show();
    Button(*dlg, ctl::kSmdBinary)->click();
    EXPECT_TRUE(dlg->GetDlgItem(ctl::kSmdButton)->isVisible());
    EXPECT_TRUE(dlg->GetDlgItem(ctl::kSmdPath)->isVisible());
    EXPECT_EQ(dlg->m_options.m_bSmdBinary, 1);
    Button(*dlg, ctl::kSmdBinary)->click();
    EXPECT_FALSE(dlg->GetDlgItem(ctl::kSmdButton)->isVisible());
    EXPECT_EQ(dlg->m_options.m_bSmdBinary, 0);
}

TEST_F(DialogSetupTest, SetUgmWarnsInKoreanOnlyWhenChecked) {
    Button(*dlg, ctl::kSetUgm)->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, QString::fromUtf8("경고"));
    EXPECT_EQ(prompts.messages[0].text,
              QString::fromUtf8("\r\n업그레이드 매니져 이머젼시 모드 Set 합니다."));
    EXPECT_EQ(prompts.messages[0].icon, OperatorPrompts::Icon::Warning);
    Button(*dlg, ctl::kSetUgm)->click();
    EXPECT_EQ(prompts.messages.size(), 1u) << "unchecking says nothing";
    dlg->UpdateData(true);
    EXPECT_EQ(dlg->m_options.m_bSetUgm, 0);
}

TEST_F(DialogSetupTest, AboutEntryOpensTheAboutBox) {
    QAction* about = nullptr;
    for (QAction* action : dlg->findChild<QMenuBar*>()->actions()) {
        for (QAction* item : action->menu()->actions()) {
            about = item->text() == "VELDHARROW Multi-Threaded Downloader Information..." ? item
                                                                                          : about;
        }
    }
    ASSERT_NE(about, nullptr);
    WithModal([&] { about->trigger(); },
              [](QWidget& box) {
                  auto* aboutBox = dynamic_cast<CAboutDlg*>(&box);
                  ASSERT_NE(aboutBox, nullptr);
                  EXPECT_EQ(aboutBox->windowTitle(),
                            "VELDHARROW Multi-Threaded Downloader Information...");
                  EXPECT_EQ(aboutBox->AboutText(), "VELDHARROWDownloader v2.4.3");
              });
}

TEST(QtFileFilterTest, TurnsNamePatternPairsIntoQtFilters) {
    EXPECT_EQ(QtFileFilter("EBoot ROM Image (*.eb0)|*.eb0|EBoot ROM Image (*.nb0)|*.nb0|"),
              "EBoot ROM Image (*.eb0);;EBoot ROM Image (*.nb0)");
    EXPECT_EQ(QtFileFilter("IMG ROM Image (*.img)|*.img|"), "IMG ROM Image (*.img)");
}

}  // namespace
}  // namespace vantorel::console::test
