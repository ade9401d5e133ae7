#include <gtest/gtest.h>

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
                                                    DownloadOptions options) {
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
