#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "engine/download_worker.h"
#include "images/csc_file.h"
#include "images/lang_pack.h"
#include "images/pda_image.h"
#include "tests/emulator/station_on_bus.h"

namespace vantorel::emulator::test {
namespace {

using namespace engine;
using images::kCscHeaderSize;
using images::kLangPackHeaderSize;
using images::kPdaHeaderSize;
using vantorel::test::PatternBytes;

// The console as the worker sees it: statuses and log lines recorded, the detection event
// set by the bus's re-arrivals.
class WorkerHost : public DownloadHost {
public:
    WorkerHost(vantorel::test::RecordingReporter& reporter, BusEventLog& events)
        : m_reporter(reporter), m_events(events) {}

    void SendSlotStatus(uint32_t code, uint32_t lParam) override {
        m_reporter.SendSlotStatus(code, lParam);
    }
    void AppendMainLogText(std::string_view text) override { m_reporter.AppendMainLogText(text); }
    void SetImageKind(int, int32_t, bool) override {}
    void SetTurns(int, int32_t, int32_t) override {}
    bool WaitForDetection(int, std::chrono::nanoseconds bound, std::stop_token) override {
        // The first arrival was the attach; each later one is the handset coming back.
        return m_events.WaitForArrivals(++m_arrivalsUsed, bound);
    }
    void ClearDetectedDeviceName(int) override {}
    int StopSyncProcesses() override { return 0; }

private:
    vantorel::test::RecordingReporter& m_reporter;
    BusEventLog& m_events;
    size_t m_arrivalsUsed = 1;
};

std::vector<uint8_t> WithHeader(std::vector<uint8_t> header, const std::vector<uint8_t>& body) {
    header.insert(header.end(), body.begin(), body.end());
    return header;
}

std::vector<uint8_t> Header(size_t size, std::initializer_list<std::pair<size_t, uint32_t>> words) {
    std::vector<uint8_t> header(size, 0);
    for (const auto& [offset, word] : words) {
        StoreLe32(header.data() + offset, word);
    }
    return header;
}

class DownloadRunTest : public StationOnBus {
protected:
    ~DownloadRunTest() override { g_dwPdaSectorSize = kDefaultPdaSectorSize; }

    // Attaches as the console does, then runs the worker to its end.
    std::vector<vantorel::test::RecordedStatus> Run(const DownloadImages& images,
                                                    DownloadOptions options, int nSlot = 0,
                                                    bool bWaitAfterDownload = false) {
        EXPECT_EQ(GreetOnce(), "OKUD");
        Reply4 version{};
        QueryBootLoaderVersion(*link, version);
        options.bWinUsbMode = GetParam();
        WorkerHost host(reporter, events);
        SLOT_WORKER_PARAM param;
        param.pDlg = &host;
        param.pUsb = link.get();
        param.pImages = &images;
        param.pOptions = &options;
        param.pClock = &clock;
        param.nSlot = nSlot;
        param.bWaitAfterDownload = bWaitAfterDownload;
        DownloadThreadProc(param, {});
        return reporter.Statuses();
    }
};

TEST_P(DownloadRunTest, AWholeRunFlashesEveryImageAsTheFilesHoldIt) {
    PlugHandset();
    const auto eboot = PatternBytes(70001, 11);
    const auto pdaBody = PatternBytes(2 * 1048576 + 4321, 12);
    const auto pda = WithHeader(Header(kPdaHeaderSize, {{0, 0x55555555},
                                                        {4, static_cast<uint32_t>(pdaBody.size())},
                                                        {12, 0x1A57},
                                                        {16, 0xEEEEEEEE}}),
                                pdaBody);
    const auto csc = WithHeader(Header(kCscHeaderSize, {{0, 0xCCCCCCCC}, {124, 0xEEEEEEEE}}),
                                PatternBytes(9000, 13));
    const auto langBody = PatternBytes(12345, 14);
    const auto lang = WithHeader(
        Header(kLangPackHeaderSize, {{0, 0x55557777}, {4, 0xC0FFEE}, {224, 0xEEEE7777}}), langBody);
    const auto phone = PatternBytes(33333, 15);

    DownloadImages images;
    images.bEboot = images.bPda = images.bCsc = images.bLangPack = images.bPhone = true;
    images.strEbootPath = files.WriteFile("eboot.nb0", eboot);
    images.strPdaPath = files.WriteFile("pda.nb0", pda);
    images.strCscPath = files.WriteFile("csc.csc", csc);
    images.strLangPath = files.WriteFile("lang.lan", lang);
    images.strPhonePath = files.WriteFile("phone.bin", phone);
    images.info.dwDownloadAddr = kDownloadBase;
    images.info.dwLaunchAddr = kLaunchAddress;
    images.info.dwEbootSize = static_cast<uint32_t>(eboot.size());
    images.info.dwPdaSize = static_cast<uint32_t>(pda.size());
    images.info.dwCscSize = static_cast<uint32_t>(csc.size());
    images.info.dwLangSize = static_cast<uint32_t>(langBody.size());
    images.info.dwPhoneSize = static_cast<uint32_t>(phone.size());
    DownloadOptions options;
    options.bControlSector = true;
    options.strRamSectorMb = "1";  // three PDA turns

    const auto statuses = Run(images, options);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().code, kStatusFinished) << reporter.Log();

    ASSERT_TRUE(handset->WaitUntilLeft(kBound));
    const FlashRecord record = handset->Record();
    EXPECT_EQ(record.reboots, 1u);
    EXPECT_TRUE(record.launched);
    ASSERT_TRUE(record.eboot && record.csc && record.langPack && record.phone);
    EXPECT_EQ(record.eboot->bytes, eboot);
    EXPECT_EQ(record.csc->bytes, csc);
    EXPECT_EQ(record.langPack->bytes, langBody);
    EXPECT_EQ(record.phone->bytes, phone);
    ASSERT_EQ(record.pdaTurns.size(), 3u);
    EXPECT_EQ(record.pdaTurns[2].position, 1024u);
    EXPECT_EQ(record.pdaTurns[2].checkWord, 0x1A57u);
    EXPECT_EQ(record.PdaImage(), pdaBody);
    ASSERT_TRUE(record.notify);
    EXPECT_EQ(record.notify->imageMask, kMaskEboot | kMaskPda | kMaskCsc | kMaskLangPack);
}

TEST_P(DownloadRunTest, AnSmdRunWritesEveryRangeTheHandsetHandsOut) {
    constexpr size_t kBlock = 135168;
    HandsetConfig config = Config();
    config.smdRanges = {{0, 2}, {10, 1}};
    PlugHandset(config);
    const auto smd = PatternBytes(2048 + 3 * kBlock, 16);
    DownloadImages images;
    images.bSmd = true;
    images.strSmdPath = files.WriteFile("nand.smd", smd);
    images.info.dwDownloadAddr = kDownloadBase;
    images.info.dwLaunchAddr = kLaunchAddress;
    images.info.dwSmdSize = static_cast<uint32_t>(smd.size());

    const auto statuses = Run(images, {});
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().code, kStatusFinished) << reporter.Log();
    ASSERT_TRUE(handset->WaitUntilLeft(kBound));
    const FlashRecord record = handset->Record();
    EXPECT_EQ(record.nandFormats, 1u);
    EXPECT_EQ(record.SmdBytes(0, 2),
              std::vector<uint8_t>(smd.begin() + 2048, smd.begin() + 2048 + 2 * kBlock));
    EXPECT_EQ(record.SmdBytes(10, 1), std::vector<uint8_t>(smd.end() - kBlock, smd.end()));
    EXPECT_TRUE(record.launched);
}

TEST_P(DownloadRunTest, AnSmdHandsetPulledInItsSecondRangeFailsWithAUsbReadError) {
    constexpr size_t kBlock = 135168;
    HandsetConfig config = Config();
    config.smdRanges = {{0, 1}, {5, 1}};
    HandsetFaults faults;
    // The header goes in packet 0, the first block in packets 1..67: it leaves in the second.
    faults.unplugAtPacket = 70;
    PlugHandset(config, faults);
    const auto smd = PatternBytes(2048 + 2 * kBlock, 17);
    DownloadImages images;
    images.bSmd = true;
    images.strSmdPath = files.WriteFile("nand.smd", smd);
    images.info.dwDownloadAddr = kDownloadBase;
    images.info.dwLaunchAddr = kLaunchAddress;
    images.info.dwSmdSize = static_cast<uint32_t>(smd.size());

    const auto statuses = Run(images, {});
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().code, kStatusReadError) << reporter.Log();
    EXPECT_EQ(StatusValue(statuses.back().lParam), 0u) << "a failure of the handset, not the file";
}

// Every protocol sleep of the worker in order; the waits after the download are recorded
// but cut short, so a run needs no minutes of real time.
class SleepRecorder : public SleepObserver {
public:
    std::chrono::milliseconds OnSleep(std::chrono::milliseconds protocolTime) override {
        std::lock_guard lock(m_mutex);
        m_sleeps.push_back(protocolTime.count());
        return std::min(protocolTime, std::chrono::milliseconds(5000));
    }
    std::vector<int64_t> Sleeps() const {
        std::lock_guard lock(m_mutex);
        return m_sleeps;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<int64_t> m_sleeps;
};

// True when `wanted` appears in `all` in this order, each right after the one before it
// or later.
bool InOrder(const std::vector<int64_t>& all, const std::vector<int64_t>& wanted) {
    auto at = all.begin();
    for (const int64_t value : wanted) {
        at = std::find(at, all.end(), value);
        if (at == all.end()) {
            return false;
        }
        ++at;
    }
    return true;
}

std::string Joined(const std::vector<int64_t>& values) {
    std::string text;
    for (const int64_t value : values) {
        text += std::to_string(value) + " ";
    }
    return text;
}

class RunSequenceTest : public DownloadRunTest {
protected:
    RunSequenceTest() { clock.WatchSleeps(&sleeps); }
    ~RunSequenceTest() override { clock.WatchSleeps(nullptr); }

    // Every image but SMD on disk, small; the flags pick the ones chosen.
    DownloadImages Images(bool eboot, bool pda, bool csc, bool lang, bool phone) {
        const auto pdaBody = PatternBytes(6000, 31);
        const auto pdaFile = WithHeader(
            Header(kPdaHeaderSize, {{0, 0x55555555}, {4, 6000}, {12, 0x77}, {16, 0xEEEEEEEE}}),
            pdaBody);
        const auto cscFile = WithHeader(
            Header(kCscHeaderSize, {{0, 0xCCCCCCCC}, {124, 0xEEEEEEEE}}), PatternBytes(3000, 32));
        const auto langBody = PatternBytes(2500, 33);
        const auto langFile = WithHeader(
            Header(kLangPackHeaderSize, {{0, 0x55557777}, {4, 0x99}, {224, 0xEEEE7777}}), langBody);
        const auto ebootFile = PatternBytes(4000, 34);
        const auto phoneFile = PatternBytes(3500, 35);
        DownloadImages images;
        images.info.dwDownloadAddr = kDownloadBase;
        images.info.dwLaunchAddr = kLaunchAddress;
        images.bEboot = eboot;
        images.bPda = pda;
        images.bCsc = csc;
        images.bLangPack = lang;
        images.bPhone = phone;
        images.strEbootPath = files.WriteFile("e.nb0", ebootFile);
        images.strPdaPath = files.WriteFile("p.nb0", pdaFile);
        images.strCscPath = files.WriteFile("c.csc", cscFile);
        images.strLangPath = files.WriteFile("l.lan", langFile);
        images.strPhonePath = files.WriteFile("m.bin", phoneFile);
        images.info.dwEbootSize = eboot ? 4000 : 0;
        images.info.dwPdaSize = pda ? static_cast<uint32_t>(pdaFile.size()) : 0;
        images.info.dwCscSize = csc ? static_cast<uint32_t>(cscFile.size()) : 0;
        images.info.dwLangSize = lang ? static_cast<uint32_t>(langBody.size()) : 0;
        images.info.dwPhoneSize = phone ? 3500 : 0;
        return images;
    }

    // The launch gets no reply, so the worker may end before the handset has read it.
    bool WaitForCommands(size_t count) const {
        const auto end = std::chrono::steady_clock::now() + kBound;
        while (handset->Record().commands.size() < count) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    // Unplugs the handset and forgets its arrivals, ready for the next one.
    void NextHandset() {
        link->Close();
        handset.reset();
        events.Clear();
    }

    std::vector<uint32_t> Codes() const {
        std::vector<uint32_t> codes;
        for (const CommandSeen& command : handset->Record().commands) {
            codes.push_back(command.code);
        }
        return codes;
    }

    SleepRecorder sleeps;
};

// What reaches the handset, command by command, for a few image sets and boot-loader
// versions: the order of the images, the reboot command, the launch at the end.
TEST_P(RunSequenceTest, WholeRunsSendTheirCommandsInTheProtocolsOrder) {
    const struct {
        const char* name;
        uint32_t version;
        bool eboot, pda, csc, lang, phone;
        std::vector<uint32_t> codes;
    } cases[] = {
        {"boot loader only", 24, true, false, false, false, false, {5, 7, 4, 2}},
        {"boot loader and PDA", 24, true, true, false, false, false, {5, 7, 4, 20, 13, 7, 1001, 2}},
        {"everything, version 24",
         24,
         true,
         true,
         true,
         true,
         true,
         {5, 7, 4, 20, 13, 7, 1005, 7, 1001, 1007, 7, 1006, 7, 1004, 2}},
        {"everything, version 17",
         17,
         true,
         true,
         true,
         true,
         true,
         {5, 7, 4, 2, 13, 7, 1005, 7, 1001, 1007, 7, 1006, 7, 1004, 2}},
        {"everything, version 15",
         15,
         true,
         true,
         true,
         true,
         true,
         {5, 7, 4, 2, 13, 7, 1001, 7, 1005, 2}},
        {"PDA without a boot loader", 24, false, true, false, false, false, {5, 7, 1001, 2}},
    };
    for (const auto& run : cases) {
        SCOPED_TRACE(run.name);
        HandsetConfig config = Config();
        config.protocolVersion = run.version;
        PlugHandset(config);
        const auto statuses =
            Run(Images(run.eboot, run.pda, run.csc, run.lang, run.phone), DownloadOptions{});
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ(statuses.back().code, kStatusFinished) << reporter.Log();
        // The attach's version query comes first, as the console sends it.
        std::vector<uint32_t> expected{kCmdVersionQuery};
        expected.insert(expected.end(), run.codes.begin(), run.codes.end());
        EXPECT_TRUE(WaitForCommands(expected.size()));
        EXPECT_EQ(Codes(), expected);
        NextHandset();
    }
}

// The pauses of a run that reboots: the staggered reboot (slot x 2000 ms), the 50 ms before
// and the 4000 ms after the version query that follows "Re-Init. Success.", and the wait
// after the download: 200000 ms, or 350000 ms when a language pack went too.
TEST_P(RunSequenceTest, TheRebootAndTheWaitAfterDownloadTakeTheirProtocolTimes) {
    for (const bool withLanguage : {false, true}) {
        SCOPED_TRACE(withLanguage ? "with a language pack" : "without a language pack");
        const size_t logStart = reporter.Log().size();
        const size_t statusStart = reporter.Statuses().size();
        const size_t sleepStart = sleeps.Sleeps().size();
        PlugHandset();
        const auto statuses =
            Run(Images(true, true, false, withLanguage, false), DownloadOptions{}, 3, true);
        ASSERT_TRUE(handset->WaitUntilLeft(kBound));
        const std::vector<int64_t> all = sleeps.Sleeps();
        const std::vector<int64_t> recorded(all.begin() + static_cast<ptrdiff_t>(sleepStart),
                                            all.end());
        std::vector<int64_t> wanted{6000};  // slot 4 reboots after 3 x 2000 ms
        if (GetParam()) {
            wanted.push_back(400);  // the bulk link stops the competing programs first
        }
        wanted.insert(wanted.end(), {50, 4000, 100, 1000, withLanguage ? 350000 : 200000});
        EXPECT_TRUE(InOrder(recorded, wanted)) << Joined(recorded);
        EXPECT_EQ(std::count(recorded.begin(), recorded.end(), withLanguage ? 200000 : 350000), 0);

        const std::string log = reporter.Log().substr(logStart);
        const size_t success = log.find("[Setup:4] Re-Init. Success.\r\n");
        ASSERT_NE(success, std::string::npos) << log;
        EXPECT_NE(log.find("[Setup:4] Target Device EBOOT version = T4K9\r\n", success),
                  std::string::npos)
            << log;
        const std::vector<uint32_t> codes = Codes();
        const auto reboot = std::find(codes.begin(), codes.end(), kCmdReboot);
        ASSERT_NE(reboot, codes.end());
        EXPECT_EQ(*(reboot + 1), kCmdVersionQuery) << "the version query follows the greeting";

        std::vector<uint32_t> codesSent;
        for (size_t i = statusStart; i < statuses.size(); ++i) {
            codesSent.push_back(statuses[i].code);
        }
        ASSERT_GE(codesSent.size(), 2u);
        EXPECT_EQ(codesSent[codesSent.size() - 2], kStatusWaitingForBoot);
        EXPECT_EQ(codesSent.back(), kStatusFinished);
        EXPECT_EQ(std::count(codesSent.begin(), codesSent.end(), kStatusRebooting), 1);
        NextHandset();
    }
}

INSTANTIATE_TEST_SUITE_P(BothLinks, RunSequenceTest, ::testing::Bool(), LinkVariantName);

// A header marker that changed on disk between the choice and the start: the worker reads
// the header again at the start of the step and ends the run as a file failure (209 with
// high half 1) before a byte of that image goes out.
struct ChangedMarker {
    const char* name;
    images::ImageKind kind;
    size_t offset;  // of the marker word inside the header
};

class ChangedMarkerTest : public DownloadRunTest {};

TEST_P(ChangedMarkerTest, TheWorkerRefusesTheImageBeforeSendingIt) {
    static constexpr ChangedMarker kMarkers[] = {
        {"PDA start", images::IMG_PDA, 0},       {"PDA end", images::IMG_PDA, 16},
        {"CSC start", images::IMG_CSC, 0},       {"CSC end", images::IMG_CSC, 124},
        {"pack start", images::IMG_LANGPACK, 0}, {"pack end", images::IMG_LANGPACK, 224},
    };
    for (const ChangedMarker& marker : kMarkers) {
        SCOPED_TRACE(marker.name);
        const size_t logStart = reporter.Log().size();
        PlugHandset();
        const auto body = PatternBytes(5000, 21);
        std::vector<uint8_t> file;
        DownloadImages images;
        images.info.dwDownloadAddr = kDownloadBase;
        images.info.dwLaunchAddr = kLaunchAddress;
        const char* tag = "";
        switch (marker.kind) {
            case images::IMG_PDA:
                file = WithHeader(
                    Header(kPdaHeaderSize, {{0, 0x55555555}, {4, 5000}, {16, 0xEEEEEEEE}}), body);
                images.bPda = true;
                images.info.dwPdaSize = static_cast<uint32_t>(file.size());
                tag = "[PDA:1] Download start";
                break;
            case images::IMG_CSC:
                file =
                    WithHeader(Header(kCscHeaderSize, {{0, 0xCCCCCCCC}, {124, 0xEEEEEEEE}}), body);
                images.bCsc = true;
                images.info.dwCscSize = static_cast<uint32_t>(file.size());
                tag = "[CSC:1] Download start";
                break;
            default:
                file = WithHeader(Header(kLangPackHeaderSize, {{0, 0x55557777}, {224, 0xEEEE7777}}),
                                  body);
                images.bLangPack = true;
                images.info.dwLangSize = static_cast<uint32_t>(body.size());
                tag = "[LANGPACK:1] Download start";
                break;
        }
        // Chosen with good markers, changed on disk before Start.
        StoreLe32(file.data() + marker.offset, 0x12345678);
        const std::string path = files.WriteFile("changed.img", file);
        images.strPdaPath = images.strCscPath = images.strLangPath = path;

        const auto statuses = Run(images, {});
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ(statuses.back().code, kStatusReadError) << reporter.Log();
        EXPECT_EQ(StatusValue(statuses.back().lParam), 1u) << "a file failure";
        const std::string log = reporter.Log().substr(logStart);
        EXPECT_NE(log.find(tag), std::string::npos) << log;
        EXPECT_EQ(log.find("write complete"), std::string::npos) << log;

        const FlashRecord record = handset->Record();
        EXPECT_EQ(record.dataPackets, 0u) << "no byte of the changed image was sent";
        EXPECT_FALSE(record.launched);
        for (const CommandSeen& command : record.commands) {
            EXPECT_NE(command.code, kCmdStartRamDownload);
        }
        link->Close();
        handset.reset();
    }
}

INSTANTIATE_TEST_SUITE_P(BothLinks, ChangedMarkerTest, ::testing::Bool(), LinkVariantName);

INSTANTIATE_TEST_SUITE_P(BothLinks, DownloadRunTest, ::testing::Bool(), LinkVariantName);

}  // namespace
}  // namespace vantorel::emulator::test
