// Every way a download run can fail, injected into one slot of a batch of four: that slot
// ends failed with its own text and a red label and can be reset, the other three flash
// exactly the chosen files, and the batch ends with the failure line.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>

#include "base/text_format.h"
#include "engine/boot_loader_protocol.h"
#include "tests/faults/fault_bench.h"
#include "tests/faults/fault_images.h"
#include "tests/support/temp_dir.h"

namespace vantorel::faults {
namespace {

using console::kSlotResetIds;
using emulator::GreetingFailure;
using emulator::HandsetConfig;
using emulator::HandsetFaults;
using images::ImageKind;

constexpr int kBatchSize = 4;
// Small enough that a batch takes a fraction of a second, large enough that the wait for a
// rebooted handset (two minutes of protocol time) stays far above a busy machine's delays.
constexpr double kTimeScale = 0.002;
// Only a hang reaches it.
constexpr auto kBatchBound = 30s;

enum class Fault {
    WrongSum,          // a data packet's sum is not echoed
    ShortReply,        // a data packet's echo is 2 bytes
    UnplugAtPacket,    // the handset leaves the bus instead of echoing
    SilentThenPulled,  // no echo at all, until the operator pulls the handset
    WrongFirstFlashReply,
    FlashStallThenPulled,  // flash progress stops after 10 %, until the handset is pulled
    WrongFlashDoneReply,   // the flash is done but its closing reply is not "OKUD"
    ProtocolVersion,       // the boot loader asks for another protocol version
    NoReturnAfterReboot,
    GreetingRefusedAfterReboot,
    SilentAfterReboot,
    HeldByAnotherProgram,  // comes back after the reboot, but another program holds it
};

struct FaultCase {
    const char* name;
    Fault fault;
    ImageKind kind;  // the image the fault hits; the boot loader for the reboot faults
    const char* barText;
    const char* logLine;    // "%d" is the slot's tag
    bool bZeroBasedTag;     // the checksum line tags the slot from 0
    uint32_t version = 24;  // for ProtocolVersion
};

void PrintTo(const FaultCase& fault, std::ostream* out) {
    *out << fault.name;
}

constexpr ImageKind kEboot = images::IMG_EBOOT, kPda = images::IMG_PDA, kCsc = images::IMG_CSC,
                    kLang = images::IMG_LANGPACK, kPhone = images::IMG_PHONE;

const FaultCase kFaultCases[] = {
    // 212: a sum not echoed, worded by the image being sent.
    {"EbootChecksum", Fault::WrongSum, kEboot, "[FAIL] Eboot Checksum !!",
     "[EBoot:%d] dwChecksum = ", true},
    {"CscChecksum", Fault::WrongSum, kCsc, "[FAIL] CSC Checksum !!",
     "[EBoot:%d] dwChecksum = ", true},
    {"PdaChecksum", Fault::WrongSum, kPda, "[FAIL] PDA Checksum !!",
     "[EBoot:%d] dwChecksum = ", true},
    {"LangPackChecksum", Fault::WrongSum, kLang, "[FAIL] LANGPACK Checksum !!",
     "[EBoot:%d] dwChecksum = ", true},
    {"PhoneChecksum", Fault::WrongSum, kPhone, "[FAIL] Phone Checksum !!",
     "[EBoot:%d] dwChecksum = ", true},
    // 209 with high half 0: the handset's reply was short or never came.
    {"EbootShortEcho", Fault::ShortReply, kEboot, "[FAIL] EBOOT read error from usb", nullptr,
     false},
    {"CscShortEcho", Fault::ShortReply, kCsc, "[FAIL] read error from usb", nullptr, false},
    {"PdaShortEcho", Fault::ShortReply, kPda, "[FAIL] read error from usb", nullptr, false},
    {"LangPackShortEcho", Fault::ShortReply, kLang, "[FAIL] read error from usb", nullptr, false},
    {"PhoneShortEcho", Fault::ShortReply, kPhone, "[FAIL] read error from usb", nullptr, false},
    {"EbootUnplugged", Fault::UnplugAtPacket, kEboot, "[FAIL] EBOOT read error from usb", nullptr,
     false},
    {"CscUnplugged", Fault::UnplugAtPacket, kCsc, "[FAIL] read error from usb", nullptr, false},
    {"PdaUnplugged", Fault::UnplugAtPacket, kPda, "[FAIL] read error from usb", nullptr, false},
    {"LangPackUnplugged", Fault::UnplugAtPacket, kLang, "[FAIL] read error from usb", nullptr,
     false},
    {"PhoneUnplugged", Fault::UnplugAtPacket, kPhone, "[FAIL] read error from usb", nullptr, false},
    {"PdaSilentEchoPulled", Fault::SilentThenPulled, kPda, "[FAIL] read error from usb", nullptr,
     false},
    // 210: the flash write failed.
    {"CscFirstFlashReply", Fault::WrongFirstFlashReply, kCsc, "[FAIL] Writing CSC to flash 0%",
     "[CSC:%d] Writing flash error\r\n", false},
    {"PdaFirstFlashReply", Fault::WrongFirstFlashReply, kPda, "[FAIL] Writing PDA to flash 0%",
     "[PDA:%d] Writing flash error\r\n", false},
    {"LangPackFirstFlashReply", Fault::WrongFirstFlashReply, kLang,
     "[FAIL] Writing LANGPACK to flash 0%", "[LANGPACK:%d] Writing flash error\r\n", false},
    {"PhoneFirstFlashReply", Fault::WrongFirstFlashReply, kPhone,
     "[FAIL] Writing Phone to flash 0%", "[PHONE:%d] Writing flash error\r\n", false},
    {"PdaFlashStallPulled", Fault::FlashStallThenPulled, kPda, "[FAIL] Writing PDA to flash 10%",
     "[PDA:%d] Writing flash error\r\n", false},
    {"PhoneFlashStallPulled", Fault::FlashStallThenPulled, kPhone,
     "[FAIL] Writing Phone to flash 10%", "[PHONE:%d] Writing flash error\r\n", false},
    // 209 with high half 1: the write was not complete, or the version does not fit.
    {"CscWriteNotComplete", Fault::WrongFlashDoneReply, kCsc, "[FAIL] read error from file",
     "[CSC:%d] write not complete\r\n", false},
    {"PdaWriteNotComplete", Fault::WrongFlashDoneReply, kPda, "[FAIL] read error from file",
     "[PDA:%d] 0 turn write not complete\r\n", false},
    {"LangPackWriteNotComplete", Fault::WrongFlashDoneReply, kLang, "[FAIL] read error from file",
     "[LANGPACK:%d] write not complete\r\n", false},
    {"PhoneWriteNotComplete", Fault::WrongFlashDoneReply, kPhone, "[FAIL] read error from file",
     "[PHONE:%d] write not complete\r\n", false},
    {"VersionTooOld", Fault::ProtocolVersion, kEboot, "[FAIL] EBOOT read error from file",
     "[Setup:%d] Downloader tool version unmatch.\r\n", false, 12},
    {"VersionTooNew", Fault::ProtocolVersion, kEboot, "[FAIL] EBOOT read error from file",
     "[Setup:%d] Downloader tool version unmatch.\r\n", false, 25},
    // 216: the reboot into the new boot loader failed.
    {"NoReturnAfterReboot", Fault::NoReturnAfterReboot, kEboot, "Reboot failed",
     "[Setup:%d] PDADetectEvent error\r\n", false},
    {"GreetingRefusedAfterReboot", Fault::GreetingRefusedAfterReboot, kEboot, "Reboot failed",
     "[Setup:%d] Re-Init. Failed.\r\n", false},
    {"SilentAfterReboot", Fault::SilentAfterReboot, kEboot, "Reboot failed",
     "[Setup:%d] Re-Init. Failed.\r\n", false},
    {"HeldByAnotherProgram", Fault::HeldByAnotherProgram, kEboot, "Reboot failed",
     "[Setup:%d] Re-Connection Time-out.\r\n", false},
};

uint32_t FlashCommandOf(ImageKind kind) {
    switch (kind) {
        case kPda:
            return engine::kCmdFlashPdaTurn;
        case kCsc:
            return engine::kCmdFlashCsc;
        case kLang:
            return engine::kCmdFlashLangPack;
        case kPhone:
            return engine::kCmdFlashPhone;
        default:
            return engine::kCmdFlashEboot;
    }
}

std::string LabelCaption(ImageKind kind, int slot) {
    const char* prefix = kind == kPda     ? "PDA"
                         : kind == kCsc   ? "CSC"
                         : kind == kLang  ? "LANGPACK"
                         : kind == kPhone ? "PHONE"
                                          : "OK";
    return FormatText("%s %d", prefix, slot + 1);
}

// The slot the fault goes to: it moves round the batch from one fault to the next.
int FaultySlot(const FaultCase& fault) {
    for (size_t i = 0; i < std::size(kFaultCases); ++i) {
        if (std::string(kFaultCases[i].name) == fault.name) {
            return static_cast<int>(i % kBatchSize);
        }
    }
    return 0;
}

void Inject(const FaultCase& fault, const PacketPlan& plan, HandsetConfig& config,
            HandsetFaults& faults) {
    switch (fault.fault) {
        case Fault::WrongSum:
            faults.wrongSumAtPacket = plan.Middle(fault.kind);
            break;
        case Fault::ShortReply:
            faults.shortReplyAtPacket = plan.Middle(fault.kind);
            break;
        case Fault::UnplugAtPacket:
            faults.unplugAtPacket = plan.Middle(fault.kind);
            break;
        case Fault::SilentThenPulled:
            faults.missingReplyAtPacket = plan.Middle(fault.kind);
            break;
        case Fault::WrongFirstFlashReply:
            faults.wrongFirstFlashReply.insert(FlashCommandOf(fault.kind));
            break;
        case Fault::FlashStallThenPulled:
            faults.flashProgressStallAfter[FlashCommandOf(fault.kind)] = 1;
            break;
        case Fault::WrongFlashDoneReply:
            faults.wrongFlashDoneReply.insert(FlashCommandOf(fault.kind));
            break;
        case Fault::ProtocolVersion:
            config.protocolVersion = fault.version;
            break;
        case Fault::NoReturnAfterReboot:
        case Fault::HeldByAnotherProgram:
            faults.noReturnAfterReboot = true;
            break;
        case Fault::GreetingRefusedAfterReboot:
        case Fault::SilentAfterReboot:
            faults.firstRefusedGreeting = 1;  // the attach's greeting is answered
            faults.greetingFailures = 100;
            faults.greetingFailure = fault.fault == Fault::SilentAfterReboot
                                         ? GreetingFailure::Silent
                                         : GreetingFailure::WrongAnswer;
            break;
    }
}

// What the operator (or another program) does to the faulty handset while the batch runs.
class FaultAction {
public:
    FaultAction(FaultBench& bench, const FaultCase& fault, const PacketPlan& plan, int slot)
        : m_bench(bench), m_fault(fault), m_plan(plan), m_slot(slot) {}

    void Step() {
        emulator::BusHandset& handset = m_bench.Handset(m_slot);
        switch (m_fault.fault) {
            case Fault::SilentThenPulled:
                if (!m_bDone && handset.Record().dataPackets > m_plan.Middle(m_fault.kind)) {
                    PullWhenStillHeld(handset);
                }
                break;
            case Fault::FlashStallThenPulled:
                if (!m_bDone && m_bench.Dlg().m_aSlotStatus[m_slot].nImageKind == m_fault.kind &&
                    m_bench.BarText(m_slot).starts_with("Writing") &&
                    m_bench.Dlg().m_prgSlot[m_slot]->GetPos() == 10) {
                    PullWhenStillHeld(handset);
                }
                break;
            case Fault::HeldByAnotherProgram:
                // Before the dialog hears of the arrival: this thread is the dialog's.
                if (!m_bDone && handset.HasLeft()) {
                    m_bDone = true;
                    m_cable = m_bench.bus.Plug(handset.PortPath());
                    m_held = m_bench.bus.OpenExclusive(handset.DevicePath());
                    EXPECT_TRUE(m_held) << "the other program could not take the handset";
                }
                break;
            default:
                break;
        }
    }

    // Whether the slot was still downloading when the operator pulled its handset: a stall
    // or a missing echo must hold the slot, not end it.
    bool HeldUntilPulled() const { return m_bHeldUntilPulled; }

    ~FaultAction() {
        m_held.reset();
        if (m_cable) {
            m_bench.bus.Unplug(m_cable);
        }
    }

private:
    void PullWhenStillHeld(emulator::BusHandset& handset) {
        m_bDone = true;
        m_bench.Pump(20ms);
        m_bHeldUntilPulled =
            m_bench.Dlg().m_aSlotStatus[m_slot].nState == console::SLOT_DOWNLOADING;
        handset.Unplug();
    }

    FaultBench& m_bench;
    const FaultCase& m_fault;
    const PacketPlan& m_plan;
    const int m_slot;
    bool m_bDone = false;
    bool m_bHeldUntilPulled = true;
    std::shared_ptr<link::emulated::HandsetCable> m_cable;
    std::shared_ptr<link::SerialChannel> m_held;
};

class FaultMatrixTest : public ::testing::TestWithParam<std::tuple<FaultCase, bool>> {
protected:
    const FaultCase& Case() const { return std::get<0>(GetParam()); }
    bool Bulk() const { return std::get<1>(GetParam()); }
};

TEST_P(FaultMatrixTest, OnlyTheFaultySlotFailsAndItsResetFreesIt) {
    const FaultCase& fault = Case();
    const int faulty = FaultySlot(fault);
    FaultBench bench(Bulk(), kTimeScale);
    bench.ChooseImages(SharedImages().chosen);
    bench.SetWaitAfterDownload(false);  // a good slot's last sleep, the longest of a run
    const PacketPlan plan(bench.Dlg().CurrentDownloadImages());

    std::vector<std::string> ports;
    std::vector<HandsetConfig> configs(kBatchSize);
    std::vector<HandsetFaults> faults(kBatchSize);
    for (int slot = 0; slot < kBatchSize; ++slot) {
        ports.push_back("1-" + std::to_string(slot + 1));
    }
    Inject(fault, plan, configs[faulty], faults[faulty]);
    ASSERT_TRUE(bench.AttachInOrder(ports, configs, faults));
    bench.Click(console::ctl::kStartDownloading);
    ASSERT_EQ(bench.CountSlots(console::SLOT_DOWNLOADING), kBatchSize);

    FaultAction action(bench, fault, plan, faulty);
    ASSERT_TRUE(bench.PumpUntil(
        [&] {
            action.Step();
            return bench.BatchEnded();
        },
        kBatchBound))
        << "the batch did not end\n"
        << bench.MainLog();
    EXPECT_TRUE(action.HeldUntilPulled());

    // The faulty slot: failed, with its own words, red, its reset button on.
    const console::CVantorelDlg& dlg = bench.Dlg();
    EXPECT_EQ(dlg.m_aSlotStatus[faulty].nState, console::SLOT_FAILED);
    EXPECT_EQ(bench.BarText(faulty), fault.barText);
    EXPECT_EQ(bench.LabelColour(faulty), console::kFailedColour);
    EXPECT_EQ(bench.LabelText(faulty), LabelCaption(fault.kind, faulty));
    if (fault.logLine != nullptr) {
        const std::string line =
            FormatText(fault.logLine, fault.bZeroBasedTag ? faulty : faulty + 1);
        EXPECT_EQ(bench.MainLogCountOnceLogged(line), 1u) << line << "\n" << bench.MainLog();
    }
    EXPECT_TRUE(dlg.GetDlgItem(kSlotResetIds[faulty])->isEnabled());

    // The others: done, blue, exactly the chosen files.
    for (int slot = 0; slot < kBatchSize; ++slot) {
        if (slot == faulty) {
            continue;
        }
        SCOPED_TRACE("slot " + std::to_string(slot + 1));
        EXPECT_EQ(dlg.m_aSlotStatus[slot].nState, console::SLOT_DONE);
        EXPECT_EQ(bench.BarText(slot), "Job Done.Launched!!");
        EXPECT_EQ(bench.LabelColour(slot), console::kFinishedColour);
        EXPECT_EQ(bench.CheckFlashed(bench.Handset(slot), SharedImages().chosen),
                  std::vector<std::string>{});
        // The launch is the last packet; the handset may still be taking it.
        EXPECT_TRUE(bench.Handset(slot).WaitUntilLeft(10s));
        EXPECT_TRUE(bench.Handset(slot).Record().launched);
    }
    EXPECT_EQ(dlg.m_nSuccessCount, kBatchSize - 1);
    EXPECT_EQ(dlg.m_nFailCount, 1);
    EXPECT_EQ(bench.MainLogCount("All Download finished. But failed device is detected \r\n"), 1u);
    EXPECT_EQ(bench.MainLogCount("All Download finished. \r\n"), 0u);
    EXPECT_EQ(dlg.Controls().Text(console::ctl::kDetectedCount).toStdString(),
              "Currently 3 device(s) detected.");

    // Its reset ends the batch's slots (every detected slot has ended): all wait again.
    bench.Click(kSlotResetIds[faulty]);
    EXPECT_EQ(dlg.m_aSlotStatus[faulty].nState, console::SLOT_WAITING);
    EXPECT_EQ(bench.LabelColour(faulty), console::kWaitingColour);
    EXPECT_EQ(bench.LabelText(faulty), FormatText("PDA %d", faulty + 1));
    EXPECT_EQ(bench.BarText(faulty), "Waiting for device..");
    EXPECT_FALSE(dlg.m_pUsb[faulty]->IsOpened());
    EXPECT_TRUE(dlg.m_stackFreeSlots.IsFull());
    EXPECT_EQ(bench.CountSlots(console::SLOT_WAITING), console::kSlotCount);

    // A new handset takes a slot and is ready, the station usable again.
    bench.ClearHandsets();
    ASSERT_TRUE(bench.AttachInOrder({"2-1"}, {HandsetConfig{}}, {HandsetFaults{}}));
    EXPECT_EQ(dlg.m_aSlotStatus[0].nState, console::SLOT_READY);
    EXPECT_EQ(dlg.m_pUsb[0]->DevicePath(), bench.Handset(0).DevicePath());
}

INSTANTIATE_TEST_SUITE_P(EveryFault, FaultMatrixTest,
                         ::testing::Combine(::testing::ValuesIn(kFaultCases), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Bulk" : "_SerialStyle");
                         });

// A file that got shorter after it was chosen fails every slot at that image, from the file.
TEST(BrokenImageFileTest, AModemImageCutShortFailsEverySlotFromTheFile) {
    const test::TempDir directory;
    std::vector<emulator::ChosenImage> chosen = SharedImages().chosen;
    const std::string phone = (directory.Path() / "phone.bin").string();
    std::filesystem::copy_file(SharedImages().set.phone, phone);
    chosen.back() = {images::IMG_PHONE, phone};

    FaultBench bench(false, kTimeScale);
    bench.ChooseImages(chosen);
    std::filesystem::resize_file(phone, 3000);
    constexpr int kHandsets = 3;
    ASSERT_TRUE(bench.AttachInOrder({"1-1", "1-2", "1-3"}, std::vector<HandsetConfig>(kHandsets),
                                    std::vector<HandsetFaults>(kHandsets)));
    bench.Click(console::ctl::kStartDownloading);
    ASSERT_TRUE(bench.PumpUntil([&] { return bench.BatchEnded(); }, kBatchBound));

    std::vector<emulator::ChosenImage> beforePhone(chosen.begin(), chosen.end() - 1);
    for (int slot = 0; slot < kHandsets; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot + 1));
        EXPECT_EQ(bench.Dlg().m_aSlotStatus[slot].nState, console::SLOT_FAILED);
        EXPECT_EQ(bench.BarText(slot), "[FAIL] read error from file");
        EXPECT_EQ(bench.LabelText(slot), LabelCaption(kPhone, slot));
        EXPECT_EQ(bench.CheckFlashed(bench.Handset(slot), beforePhone), std::vector<std::string>{});
        EXPECT_FALSE(bench.Handset(slot).Record().phone);
    }
    EXPECT_EQ(bench.Dlg().m_nFailCount, kHandsets);
    EXPECT_EQ(bench.MainLogCount("All Download finished. But failed device is detected \r\n"), 1u);
}

// The operator resets the failed slot while the rest of the batch still runs: the slot alone
// waits again and is free, and the batch still ends right without touching it.
TEST(ResetDuringBatchTest, TheFailedSlotWaitsAgainWhileTheOthersFinish) {
    FaultBench bench(true, kTimeScale);
    bench.ChooseImages(SharedImages().chosen);
    const PacketPlan plan(bench.Dlg().CurrentDownloadImages());
    constexpr int kFaulty = 1;
    std::vector<HandsetFaults> faults(kBatchSize);
    faults[kFaulty].wrongSumAtPacket = plan.Middle(kEboot);
    ASSERT_TRUE(bench.AttachInOrder({"1-1", "1-2", "1-3", "1-4"},
                                    std::vector<HandsetConfig>(kBatchSize), faults));
    bench.Click(console::ctl::kStartDownloading);
    const console::CVantorelDlg& dlg = bench.Dlg();
    ASSERT_TRUE(bench.PumpUntil(
        [&] { return dlg.m_aSlotStatus[kFaulty].nState == console::SLOT_FAILED; }, kBatchBound));

    bench.Click(kSlotResetIds[kFaulty]);
    EXPECT_EQ(dlg.m_aSlotStatus[kFaulty].nState, console::SLOT_WAITING);
    EXPECT_EQ(bench.LabelColour(kFaulty), console::kWaitingColour);
    EXPECT_EQ(dlg.m_stackFreeSlots.Top(), kFaulty);
    EXPECT_EQ(dlg.m_nSlotsLeft, console::kSlotCount - kBatchSize + 1);
    EXPECT_FALSE(dlg.GetDlgItem(kSlotResetIds[kFaulty])->isEnabled());
    EXPECT_EQ(bench.CountSlots(console::SLOT_DOWNLOADING), kBatchSize - 1)
        << "the others are still in their wait after the download";

    ASSERT_TRUE(bench.PumpUntil([&] { return bench.BatchEnded(); }, kBatchBound));
    EXPECT_EQ(dlg.m_aSlotStatus[kFaulty].nState, console::SLOT_WAITING);
    EXPECT_EQ(bench.BarText(kFaulty), "Waiting for device..");
    EXPECT_EQ(dlg.m_nSuccessCount, kBatchSize - 1);
    EXPECT_EQ(dlg.m_nFailCount, 1);
    EXPECT_EQ(bench.MainLogCount("All Download finished. But failed device is detected \r\n"), 1u);
    for (const int slot : {0, 2, 3}) {
        EXPECT_EQ(bench.CheckFlashed(bench.Handset(slot), SharedImages().chosen),
                  std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace vantorel::faults
