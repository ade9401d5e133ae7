// A window that closes while a worker re-opens its rebooted handset: the close asks the
// worker to stop and closes the links, and the re-opening may finish just after. The worker
// must then leave the handset alone, not greet it and wait on it for up to 11 s.
#include <gtest/gtest.h>

#include <stop_token>

#include "engine/boot_loader_protocol.h"
#include "engine/download_worker.h"
#include "tests/support/echo_link.h"
#include "tests/support/hostile_handset.h"

namespace vantorel::faults {
namespace {

using namespace engine;

// A cooperative boot loader of protocol version 24 whose re-opening after the reboot comes
// back just as the window asks the worker to stop.
class ReopenedAsTheWindowCloses final : public test::EchoLink {
public:
    ReopenedAsTheWindowCloses(test::EmptyPlatform& platform, std::stop_source& window)
        : EchoLink(platform), m_window(window) {}

    uint32_t Write(const void* buffer, uint32_t length) override {
        EchoLink::Write(buffer, length);
        if (length == kPacketSize &&
            LoadLe32(static_cast<const uint8_t*>(buffer)) == kCmdFlashEboot) {
            QueueWord(24);  // the protocol version follows the boot loader's flash
        }
        if (m_bReopened) {
            ++writesAfterReopening;
        }
        return length;
    }
    bool Open(const link::Guid*, int, const char*) override {
        m_window.request_stop();
        SetOpened(true);
        m_bReopened = true;
        return true;
    }
    void Close() override { SetOpened(false); }

    int writesAfterReopening = 0;

private:
    std::stop_source& m_window;
    bool m_bReopened = false;
};

TEST(WorkerStopTest, AHandsetReopenedAfterTheStopIsNotGreetedAndIsClosed) {
    test::EmptyPlatform platform;
    std::stop_source window;
    ReopenedAsTheWindowCloses handset(platform, window);
    const uint8_t detected[] = {0x02};
    test::ReplyScript script(detected, sizeof detected);
    test::RecordingHost host(script, 0);

    const samples::SampleSet& set = test::WrittenImages().set;
    DownloadImages images;
    images.bEboot = images.bPda = true;
    images.strEbootPath = set.eboot;
    images.strPdaPath = set.pda;
    images.info.dwEbootSize = static_cast<uint32_t>(std::filesystem::file_size(set.eboot));
    images.info.dwPdaSize = static_cast<uint32_t>(std::filesystem::file_size(set.pda));
    const DownloadOptions options;
    SLOT_WORKER_PARAM param;
    param.pDlg = &host;
    param.pUsb = &handset;
    param.pImages = &images;
    param.pOptions = &options;
    param.pClock = &platform.clock;

    DownloadThreadProc(param, window.get_token());
    EXPECT_NE(host.log.find("[Setup:1] Re-Boot device and Close USB port\r\n"), std::string::npos)
        << host.log;
    EXPECT_EQ(handset.writesAfterReopening, 0) << "the handset was greeted after the stop";
    EXPECT_FALSE(handset.IsOpened());
    EXPECT_EQ(host.log.find("Re-Init"), std::string::npos);
}

}  // namespace
}  // namespace vantorel::faults
