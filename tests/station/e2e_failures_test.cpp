#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "console/failure_advice.h"
#include "engine/boot_loader_protocol.h"
#include "tests/station/e2e_fixture.h"

namespace vantorel::console::test {
namespace {

using emulator::ChosenImage;
using emulator::FlashRecord;
using emulator::HandsetConfig;
using emulator::HandsetFaults;
using namespace engine;

// The names of this process's threads, as top -H and perf show them.
std::multiset<std::string> ThreadNames() {
    std::multiset<std::string> names;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        names.insert(name);
    }
    return names;
}

uint64_t Packets(uint64_t bytes) {
    return (bytes + kPacketPayloadSize - 1) / kPacketPayloadSize;
}

// One slot fails in its own way while the slots around it download the same images.
class FailuresTest : public E2eTest {
protected:
    // Every image but SMD, from the default sample set, without the wait after download.
    void ChooseEveryImage() {
        set = WriteSamples(sizes);
        chosen = ChooseEveryImageAndDetect(set);
    }

    // Data packet numbers, over a handset's life, where each image's transfer starts: the
    // boot loader first, then after the reboot CSC, PDA, language pack and modem image.
    uint64_t FirstPacketOf(ImageKind kind) const {
        const uint64_t sizesInOrder[] = {sizes.dwEboot, sizes.dwCsc, sizes.dwPdaImage,
                                         sizes.dwLangPackData, sizes.dwPhone};
        const ImageKind order[] = {IMG_EBOOT, IMG_CSC, IMG_PDA, IMG_LANGPACK, IMG_PHONE};
        uint64_t first = 0;
        for (size_t i = 0; order[i] != kind; ++i) {
            first += Packets(sizesInOrder[i]);
        }
        return first;
    }

    void ExpectDoneAndExact(int slot) {
        SCOPED_TRACE("slot " + std::to_string(slot + 1));
        ExpectDone(slot);
        EXPECT_EQ(FlashProblems(*handsets[slot], chosen), std::vector<std::string>{});
    }

    void ExpectBatchEndedWithAFailure() {
        EXPECT_TRUE(MainLogHas("All Download finished. But failed device is detected \r\n"))
            << MainLog();
        EXPECT_FALSE(MainLogHas("All Download finished. \r\n"));
    }

    samples::SampleSizes sizes;
    samples::SampleSet set;
    std::vector<ChosenImage> chosen;
};

TEST_P(FailuresTest, AWrongEchoedSumFailsTheSlotWithTheTextOfItsImage) {
    ChooseEveryImage();
    const struct {
        ImageKind kind;
        uint64_t packet;  // the wrong echo
        const char* text;
        const char* label;
    } cases[] = {
        {IMG_EBOOT, FirstPacketOf(IMG_EBOOT) + 5, "[FAIL] Eboot Checksum !!", "OK 1"},
        {IMG_CSC, FirstPacketOf(IMG_CSC) + 3, "[FAIL] CSC Checksum !!", "CSC 2"},
        {IMG_PDA, FirstPacketOf(IMG_PDA) + 100, "[FAIL] PDA Checksum !!", "PDA 3"},
        {IMG_LANGPACK, FirstPacketOf(IMG_LANGPACK), "[FAIL] LANGPACK Checksum !!", "LANGPACK 4"},
        // The modem image's short last packet.
        {IMG_PHONE, FirstPacketOf(IMG_PHONE) + Packets(sizes.dwPhone) - 1,
         "[FAIL] Phone Checksum !!", "PHONE 5"},
    };
    for (int n = 1; n <= 5; ++n) {
        HandsetFaults faults;
        faults.wrongSumAtPacket = cases[n - 1].packet;
        Attach(n, {}, faults);
    }
    Attach(6);
    ASSERT_TRUE(RunBatch()) << MainLog();

    for (int slot = 0; slot < 5; ++slot) {
        SCOPED_TRACE(cases[slot].text);
        ExpectFailed(slot, cases[slot].text, cases[slot].label);
        const uint64_t packets = handsets[slot]->Record().dataPackets;
        EXPECT_EQ(packets, cases[slot].packet + 1) << "the run ended at the wrong echo";
    }
    // The operator is told at which packet of the image, counted from 1.
    const std::pair<int, uint64_t> packetOfImage[] = {
        {0, 6}, {2, 101}, {3, 1}, {4, Packets(sizes.dwPhone)}};
    for (const auto& [slot, packet] : packetOfImage) {
        EXPECT_EQ(dlg->m_prgSlot[slot]->toolTip().toStdString(),
                  "The handset answered a wrong checksum at packet " + std::to_string(packet) +
                      ": retry; replace the handset if it fails again")
            << "slot " << slot + 1;
    }
    // A full packet's mismatch is logged, tagged with the slot counted from 0.
    EXPECT_TRUE(MainLogHas("[EBoot:0] dwChecksum = ")) << MainLog();
    EXPECT_TRUE(MainLogHas("[EBoot:2] dwChecksum = "));
    EXPECT_FALSE(MainLogHas("[EBoot:4] dwChecksum = ")) << "a short packet's is not";
    ExpectDoneAndExact(5);
    ExpectBatchEndedWithAFailure();
    EXPECT_EQ(dlg->m_nFailCount, 5);
    EXPECT_EQ(dlg->Controls().Text(ctl::kDetectedCount).toStdString(),
              "Currently 1 device(s) detected.");
}

// A worker held by a stalled handset is found by its slot's number in top -H or perf.
TEST_P(FailuresTest, EachWorkerThreadIsNamedAfterItsSlot) {
    AttachStalledFlashBesideAHealthyHandset();
    dlg->Controls().As<QAbstractButton>(ctl::kStartDownloading)->click();
    EXPECT_TRUE(PumpUntil([] { return ThreadNames().count("vantorel-slot-1") == 1; }))
        << "no thread vantorel-slot-1 while slot 1 stalls";
    EXPECT_TRUE(PumpUntil([this] { return BatchEnded(); }, std::chrono::seconds(90)));
    EXPECT_TRUE(PumpUntil([] { return ThreadNames().count("vantorel-slot-1") == 0; }))
        << "the worker ends with its run";
}

TEST_P(FailuresTest, AShortReplyIsAReadErrorFromUsb) {
    ChooseEveryImage();
    Attach(1);
    HandsetFaults faults;
    faults.shortReplyAtPacket = FirstPacketOf(IMG_EBOOT) + 2;
    Attach(2, {}, faults);
    faults.shortReplyAtPacket = FirstPacketOf(IMG_PDA) + 7;
    Attach(3, {}, faults);
    Attach(4);
    ASSERT_TRUE(RunBatch()) << MainLog();

    ExpectFailed(1, "[FAIL] EBOOT read error from usb", "OK 2");
    ExpectFailed(2, "[FAIL] read error from usb", "PDA 3");
    ExpectDoneAndExact(0);
    ExpectDoneAndExact(3);
    ExpectBatchEndedWithAFailure();
}

// The modem image shrinks while a worker is on its way to it. Only that slot reads the file:
// the others' boot loaders (version 15) take no modem image, and finish byte for byte.
TEST_P(FailuresTest, AFileTruncatedUnderTheWorkerIsAReadErrorFromFile) {
    ChooseEveryImage();
    HandsetConfig older;
    older.protocolVersion = 15;
    Attach(1, older);
    // Slow flash writes: once its CSC image is written, this worker is still two slow
    // flashes away from the modem image.
    HandsetConfig slow;
    slow.flashStepTime = Clock::Duration(50000);
    Attach(2, slow);
    Attach(3, older);
    QCoreApplication::processEvents();
    dlg->Controls().As<QAbstractButton>(ctl::kStartDownloading)->click();
    const auto flashed = [&](auto what) {
        bool bFlashed = false;
        handsets[1]->Emulator().Inspect(
            [&](const FlashRecord& record) { bFlashed = what(record); });
        return bFlashed;
    };
    ASSERT_TRUE(PumpUntil([&] { return flashed([](const FlashRecord& r) { return !!r.csc; }); }))
        << MainLog();
    std::filesystem::resize_file(set.phone, sizes.dwPhone / 2);
    ASSERT_FALSE(flashed([](const FlashRecord& r) { return r.langPack.has_value(); }))
        << "the slow handset went faster than it can; the machine is too busy for this test";

    ASSERT_TRUE(RunBatch()) << MainLog();
    ExpectFailed(1, "[FAIL] read error from file", "PHONE 2");
    handsets[1]->Emulator().Inspect([](const FlashRecord& record) {
        EXPECT_TRUE(record.csc && record.langPack && !record.pdaTurns.empty());
        EXPECT_FALSE(record.phone);
    });
    EXPECT_TRUE(MainLogHas("[Phone:2] Download to 0x"));
    chosen.resize(3);  // boot loader, PDA and CSC images
    ExpectDoneAndExact(0);
    ExpectDoneAndExact(2);
    EXPECT_EQ(CountOf(CommandCodes(*handsets[0]), kCmdFlashPhone), 0u);
    ExpectBatchEndedWithAFailure();
}

TEST_P(FailuresTest, AFlashWriteTheHandsetRefusesFailsWithTheTextOfItsImage) {
    ChooseEveryImage();
    const struct {
        uint32_t command;
        const char* text;
        const char* label;
    } cases[] = {
        {kCmdFlashCsc, "[FAIL] Writing CSC to flash 0%", "CSC 1"},
        {kCmdFlashPdaTurn, "[FAIL] Writing PDA to flash 0%", "PDA 2"},
        {kCmdFlashPhone, "[FAIL] Writing Phone to flash 0%", "PHONE 3"},
    };
    for (int n = 1; n <= 3; ++n) {
        HandsetFaults faults;
        faults.wrongFirstFlashReply = {cases[n - 1].command};
        Attach(n, {}, faults);
    }
    Attach(4);
    ASSERT_TRUE(RunBatch()) << MainLog();

    for (int slot = 0; slot < 3; ++slot) {
        ExpectFailed(slot, cases[slot].text, cases[slot].label);
    }
    EXPECT_TRUE(WaitForMainLog("Flash Image checksum error checksum = "));
    EXPECT_TRUE(WaitForMainLog("[CSC:1] Writing flash error\r\n"));
    EXPECT_TRUE(WaitForMainLog("[PDA:2] Writing flash error\r\n"));
    EXPECT_TRUE(WaitForMainLog("[PHONE:3] Writing flash error\r\n"));
    ExpectDoneAndExact(3);
    ExpectBatchEndedWithAFailure();
}

// The wait for the handset's return is bounded: past the bound the slot fails instead of
// holding its worker for good.
TEST_P(FailuresTest, AHandsetThatDoesNotComeBackAfterItsRebootFailsItsSlot) {
    ChooseEveryImage();
    Attach(1);
    HandsetFaults faults;
    faults.noReturnAfterReboot = true;
    Attach(2, {}, faults);
    Attach(3);
    ASSERT_TRUE(RunBatch()) << MainLog();

    ExpectFailed(1, "Reboot failed", "OK 2");
    const std::string log = MainLog();
    const size_t closed = log.find("[Setup:2] Re-Boot device and Close USB port\r\n");
    ASSERT_NE(closed, std::string::npos) << log;
    EXPECT_NE(log.find("[Setup:2] PDADetectEvent error\r\n", closed), std::string::npos) << log;
    EXPECT_EQ(log.find("[Setup:2] Device is Re-Connected."), std::string::npos);
    EXPECT_TRUE(handsets[1]->HasLeft());
    ExpectDoneAndExact(0);
    ExpectDoneAndExact(2);
    ExpectBatchEndedWithAFailure();
}

// What comes back on the handset's port after the reboot never answers the greeting.
TEST_P(FailuresTest, AHandsetThatComesBackMuteFailsItsSlot) {
    ChooseEveryImage();
    Attach(1);
    HandsetFaults gone;
    gone.noReturnAfterReboot = true;
    emulator::BusHandset& rebooting = Attach(2, {}, gone);
    Attach(3);
    HandsetFaults mute;
    mute.greetingFailures = 1000;
    mute.greetingFailure = emulator::GreetingFailure::Silent;
    handsets.push_back(
        std::make_unique<emulator::BusHandset>(bus, "1-2", clock, HandsetConfig{}, mute));
    emulator::BusHandset& comesBack = *handsets.back();
    // Plugged the moment the first one left, well inside the station's wait for its return.
    std::jthread swap([&] {
        if (rebooting.WaitUntilLeft(std::chrono::seconds(30))) {
            comesBack.Plug();
        }
    });
    ASSERT_TRUE(RunBatch()) << MainLog();

    ExpectFailed(1, "Reboot failed", "OK 2");
    EXPECT_TRUE(MainLogHas("[Setup:2] Device is Re-Connected.\r\n")) << MainLog();
    EXPECT_TRUE(MainLogHas("[Setup:2] Re-Init. Failed.\r\n"));
    EXPECT_GT(comesBack.Record().greetingsRefused, 0u);
    ExpectDoneAndExact(0);
    ExpectDoneAndExact(2);
    ExpectBatchEndedWithAFailure();
}

// A boot loader that answers command 4 with another sum did not take the image: the slot
// ends there as a boot-loader checksum failure and the handset is never rebooted into it.
TEST_P(FailuresTest, ABootLoaderTheHandsetRefusesIsNeitherRebootedIntoNorFollowed) {
    ChooseEveryImage();
    Attach(1);
    HandsetFaults refuses;
    refuses.wrongFirstFlashReply = {kCmdFlashEboot};
    emulator::BusHandset& refusing = Attach(2, {}, refuses);
    ASSERT_TRUE(RunBatch()) << MainLog();

    ExpectFailed(1, "[FAIL] Eboot Checksum !!", "OK 2");
    EXPECT_TRUE(MainLogHas("[EBoot:2] Eboot checksum error checksum = ")) << MainLog();
    EXPECT_FALSE(MainLogHas("[Setup:2] Try downloading again")) << MainLog();
    const std::vector<uint32_t> codes = CommandCodes(refusing);
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), kCmdFlashEboot) << "nothing after the refused boot loader";
    EXPECT_EQ(refusing.Record().reboots, 0u);
    ExpectDoneAndExact(0);
    ExpectBatchEndedWithAFailure();
}

// Handsets that stay plugged in but stop answering, one in the middle of a RAM transfer,
// one in the middle of a flash write: each ends as a read error from USB once its reply
// has been awaited for the bound, and the batch ends without anyone pulling them.
TEST_P(FailuresTest, AHandsetThatFallsSilentMidRunFailsAsAReadErrorFromUsb) {
    ChooseEveryImage();
    HandsetFaults silentEcho;
    silentEcho.missingReplyAtPacket = FirstPacketOf(IMG_PDA) + 3;
    Attach(1, {}, silentEcho);
    HandsetFaults stalledFlash;
    stalledFlash.flashProgressStallAfter[kCmdFlashPhone] = 1;
    Attach(2, {}, stalledFlash);
    Attach(3);
    ASSERT_TRUE(RunBatch()) << MainLog();

    ExpectFailed(0, "[FAIL] read error from usb", "PDA 1");
    EXPECT_TRUE(MainLogHas("[PDA:1] No reply from the handset for 120 s.\r\n")) << MainLog();
    ExpectFailed(1, "[FAIL] read error from usb", "PHONE 2");
    EXPECT_TRUE(MainLogHas("[Phone:2] No reply from the handset for 120 s.\r\n")) << MainLog();
    EXPECT_FALSE(handsets[0]->HasLeft());
    EXPECT_FALSE(handsets[1]->HasLeft());
    ExpectDoneAndExact(2);
    ExpectBatchEndedWithAFailure();
}

// A slot says why it failed only with what its worker gave as the reason: a handset that
// leaves at its first packet right after the size line is shown by its status alone, one
// that falls silent there by the silence it showed.
TEST_P(FailuresTest, AFailureAtTheFirstPacketIsExplainedByItsReasonNotByAProgressLine) {
    ChooseEveryImage();
    HandsetFaults leaves;
    leaves.unplugAtPacket = FirstPacketOf(IMG_EBOOT);
    Attach(1, {}, leaves);
    HandsetFaults silent;
    silent.missingReplyAtPacket = FirstPacketOf(IMG_EBOOT);
    Attach(2, {}, silent);
    ASSERT_TRUE(RunBatch()) << MainLog();

    ExpectFailed(0, "[FAIL] EBOOT read error from usb", "OK 1");
    ExpectFailed(1, "[FAIL] EBOOT read error from usb", "OK 2");
    EXPECT_TRUE(MainLogHas("[EBoot:1] Size: ")) << MainLog();
    // The slot tells why once its worker has ended.
    for (const int slot : {0, 1}) {
        const std::string tag = "[Error:" + std::to_string(slot + 1) + "]";
        ASSERT_TRUE(
            PumpUntil([&] { return dlg->m_logs.SlotText(slot).find(tag) != std::string::npos; }));
    }
    const std::string first = dlg->m_logs.SlotText(0);
    EXPECT_TRUE(first.ends_with("[Error:1] [FAIL] EBOOT read error from usb\r\n")) << first;
    EXPECT_EQ(dlg->m_prgSlot[0]->toolTip().toStdString(), "Unplugged during the download");
    const std::string second = dlg->m_logs.SlotText(1);
    EXPECT_TRUE(
        second.ends_with("[Error:2] [FAIL] EBOOT read error from usb: No reply from the "
                         "handset for 120 s.\r\n"))
        << second;
    EXPECT_EQ(dlg->m_prgSlot[1]->toolTip().toStdString(),
              "The handset stopped answering: unplug it, plug it in again and retry");
    const QString line = dlg->m_lblPace[1]->text();
    EXPECT_TRUE(dlg->m_prgSlot[1]->toolTip().startsWith(line.chopped(line.endsWith(QChar(0x2026)))))
        << line.toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothLinks, FailuresTest, ::testing::Bool(), LinkName);

}  // namespace
}  // namespace vantorel::console::test
