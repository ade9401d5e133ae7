#include <gtest/gtest.h>

#include <map>

#include "link/winusb_interface.h"
#include "tests/support/recording_message_sink.h"

namespace vantorel::link {
namespace {

// A fake of the USB library boundary: one device whose set-up answers are scripted.
class FakeBulkDevice : public BulkDevice {
public:
    bool initializeOk = true;
    bool settingsOk = true;
    std::map<uint8_t, PipeInformation> pipes{{0, {PipeType::Bulk, 0x82, 512, 0}},
                                             {1, {PipeType::Bulk, 0x02, 512, 0}}};
    std::vector<std::pair<uint8_t, std::chrono::milliseconds>> timeouts;
    std::vector<uint8_t> writtenPipes;
    std::vector<uint8_t> readPipes;
    TransferResult readResult{4, TransferStatus::Done, 0};

    bool Initialize() override { return initializeOk; }
    bool QueryInterfaceSettings(uint8_t) override { return settingsOk; }
    std::optional<PipeInformation> QueryPipe(uint8_t, uint8_t index) override {
        const auto found = pipes.find(index);
        return found == pipes.end() ? std::nullopt : std::optional(found->second);
    }
    bool SetPipeTransferTimeout(uint8_t pipe, std::chrono::milliseconds timeout) override {
        timeouts.emplace_back(pipe, timeout);
        return true;
    }
    TransferResult WritePipe(uint8_t pipe, const uint8_t*, size_t length) override {
        writtenPipes.push_back(pipe);
        return {length, TransferStatus::Done, 0};
    }
    TransferResult ReadPipe(uint8_t pipe, uint8_t*, size_t,
                            std::optional<std::chrono::nanoseconds>) override {
        readPipes.push_back(pipe);
        return readResult;
    }
    void Cancel() override {}
};

class OneDevicePlatform : public DeviceDirectory, public SerialOpener, public BulkOpener {
public:
    std::optional<std::vector<std::string>> ListPresent(const Guid&) override {
        return std::vector<std::string>{"usb#vid_1209&pid_0001#1-1#{x}"};
    }
    std::shared_ptr<SerialChannel> OpenExclusive(const std::string&) override { return nullptr; }
    std::shared_ptr<BulkDevice> Open(const std::string&) override { return device; }

    std::shared_ptr<FakeBulkDevice> device = std::make_shared<FakeBulkDevice>();
};

class WinUsbPipeSetupTest : public ::testing::Test {
protected:
    OneDevicePlatform fake;
    test::RecordingMessageSink messages;
    Clock clock{0.0};
    LinkPlatform platform{fake, fake, fake, messages, clock};
    CWinUsbInterface link{platform};
};

TEST_F(WinUsbPipeSetupTest, FirstPipeReadsSecondPipeWritesWithoutTimeOut) {
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    EXPECT_TRUE(messages.Messages().empty());
    uint8_t buffer[4];
    link.Write(buffer, 4);
    link.Read(buffer, 4);
    EXPECT_EQ(fake.device->writtenPipes, std::vector<uint8_t>{0x02});
    EXPECT_EQ(fake.device->readPipes, std::vector<uint8_t>{0x82});
    using std::chrono::milliseconds;
    const std::vector<std::pair<uint8_t, milliseconds>> expected{{0x82, milliseconds(0)},
                                                                 {0x02, milliseconds(0)}};
    EXPECT_EQ(fake.device->timeouts, expected);
}

TEST_F(WinUsbPipeSetupTest, NonBulkPipesStillOpenAfterTheMessage) {
    fake.device->pipes[1].pipeType = PipeType::Interrupt;
    EXPECT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    EXPECT_TRUE(link.IsOpened());
    EXPECT_EQ(messages.Messages(), std::vector<std::string>{"SetPipePolicy Error 1"});
}

TEST_F(WinUsbPipeSetupTest, QueryFailuresReportAndGoOn) {
    fake.device->settingsOk = false;
    fake.device->pipes.erase(1);
    EXPECT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    EXPECT_EQ(messages.Messages(),
              (std::vector<std::string>{"WinUsb_QueryInterfaceSetting Error 1",
                                        "WinUsb_QueryPipe Error 1", "SetPipePolicy Error 1"}));
}

TEST_F(WinUsbPipeSetupTest, InitializeFailureSkipsTheInterface) {
    fake.device->initializeOk = false;
    EXPECT_FALSE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    EXPECT_FALSE(link.IsOpened());
    EXPECT_EQ(messages.Messages(), std::vector<std::string>{"WinUSB_Initialize"});
}

// Only a read that cannot even start is shown; one that fails once under way returns 0
// quietly, so no worker sits behind a box for a failure the protocol handles itself.
TEST_F(WinUsbPipeSetupTest, OnlyAReadThatCannotStartShowsItsErrorCode) {
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    uint8_t buffer[4];
    for (const TransferStatus quiet :
         {TransferStatus::Failed, TransferStatus::Overflow, TransferStatus::Gone}) {
        fake.device->readResult = {0, quiet, 0x1F};
        EXPECT_EQ(link.Read(buffer, 4), 0u);
    }
    EXPECT_TRUE(messages.Messages().empty());
    fake.device->readResult = {0, TransferStatus::Refused, 0x57};
    EXPECT_EQ(link.Read(buffer, 4), 0u);
    EXPECT_EQ(messages.Messages(), std::vector<std::string>{"GetLastError() = 57"});
}

}  // namespace
}  // namespace vantorel::link
