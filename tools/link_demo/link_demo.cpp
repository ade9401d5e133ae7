// Greets an emulated handset over each link variant and moves a multi-megabyte modem image
// through verified data packets into its flash, then checks the handset's flash byte for
// byte. A first look at the station's link and protocol without any hardware.

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "command_line/cli11_command_line.h"
#include "command_line/value_parsers.h"
#include "emulator/bus_handset.h"
#include "engine/boot_loader_protocol.h"
#include "engine/download_batch.h"
#include "engine/file_checksum.h"
#include "engine/image_file.h"
#include "engine/ram_transfer.h"
#include "link/platform/emulated/emulated_bus.h"
#include "link/usb_interface.h"
#include "link/winusb_interface.h"
#include "tools/link_demo/demo_image.h"

namespace {

using namespace vantorel;

class PrintingReporter : public engine::DownloadReporter {
public:
    void SendSlotStatus(uint32_t code, uint32_t lParam) override {
        if (code == engine::kStatusRamProgress && engine::StatusValue(lParam) % 25 != 0) {
            return;
        }
        std::printf("  status %u value %u\n", code, engine::StatusValue(lParam));
    }
    void AppendMainLogText(std::string_view text) override {
        std::printf("  log: %.*s", static_cast<int>(text.size()), text.data());
    }
};

class PrintingMessages : public link::MessageSink {
public:
    void ShowMessage(const std::string& text, const std::string&) override {
        std::printf("  message box: %s\n", text.c_str());
    }
};

bool RunVariant(const char* name, bool bulk, const demo::DemoImage& image) {
    std::printf("%s link:\n", name);
    const Clock clock(0.0);  // the emulated handset needs no protocol pauses
    link::emulated::EmulatedBus bus;
    PrintingMessages messages;
    const link::LinkPlatform platform{bus, bus, bus, messages, clock};
    emulator::BusHandset handset(bus, "1-1", clock);
    handset.Plug();
    if (!handset.WaitUntilPlugged(std::chrono::seconds(5))) {
        std::printf("  the emulated handset did not arrive\n");
        return false;
    }

    std::unique_ptr<link::CUsbInterface> usb;
    if (bulk) {
        usb = std::make_unique<link::CWinUsbInterface>(platform);
    } else {
        usb = std::make_unique<link::CUsbInterface>(platform);
    }
    if (!usb->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr)) {
        std::printf("  no download interface could be opened\n");
        return false;
    }
    std::printf("  opened %s\n", usb->DevicePath().c_str());

    engine::WriteGreeting(*usb);
    engine::Reply4 reply{};
    engine::ReadGreetingReply(*usb, reply);
    std::printf("  greeting answered \"%.4s\"\n", reinterpret_cast<const char*>(reply.data()));
    if (reply != engine::kReplyOkud) {
        return false;
    }

    PrintingReporter reporter;
    const engine::SlotContext slot{*usb, reporter, 0, clock};
    engine::ImageFile file;
    if (!file.Open(image.Path())) {
        std::printf("  cannot open %s\n", image.Path().c_str());
        return false;
    }
    const uint32_t checksum = engine::FileByteSum(file);
    const auto size = static_cast<uint32_t>(image.Bytes().size());
    const auto started = std::chrono::steady_clock::now();
    uint32_t errorFlag = 0;
    const uint32_t code =
        engine::DownloadToRam(slot, engine::IMG_PHONE, file, 0, size, 0, errorFlag);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (code != 0) {
        std::printf("  transfer failed with status %u (flag %u)\n", code, errorFlag);
        return false;
    }
    std::printf("  %u bytes in %u data packets, every sum echoed: %.1f MB/s\n", size,
                (size + 2031) / 2032, size / seconds / 1e6);
    if (engine::FlashWrite(*usb, engine::kCmdFlashPhone, 0, size, checksum, reporter, 0, clock,
                           engine::kDefaultPdaSectorSize) != 0) {
        return false;
    }
    engine::ReadReply4(*usb, reply);
    usb->Close();

    const emulator::FlashRecord record = handset.Record();
    const bool same = record.phone && record.phone->Matches(image.Bytes());
    std::printf("  handset flash %s the image file\n", same ? "equals" : "DIFFERS FROM");
    return same && reply == engine::kReplyOkud;
}

// The demo's command line: [MEGABYTES], the modem image's size (8 when not given).
bool ParseArguments(const std::vector<std::string>& args, size_t& megabytes, bool& bHelp,
                    std::string& error) {
    const command_line::CommandOption options[]{command_line::HelpOption(bHelp)};
    std::vector<std::string> words;
    if (!command_line::ParseWithCli11(options, args, error, &words)) {
        return false;
    }
    if (words.size() > 1) {
        error = "unexpected argument '" + words[1] + "'";
        return false;
    }
    if (!words.empty() &&
        (!command_line::ParseNumber(words[0], megabytes) || megabytes < 1 || megabytes > 1024)) {
        error = "bad size '" + words[0] + "' (megabytes, 1 to 1024)";
        return false;
    }
    return true;
}

constexpr const char* kUsage =
    "usage: vantorel-link-demo [MEGABYTES]\n"
    "Moves a modem image of MEGABYTES (8) into an emulated handset over each link variant.\n";

}  // namespace

int main(int argc, char** argv) {
    size_t megabytes = 8;
    bool bHelp = false;
    std::string error;
    if (!ParseArguments(std::vector<std::string>(argv + 1, argv + argc), megabytes, bHelp, error)) {
        return command_line::RefuseCommandLine("vantorel-link-demo", error);
    }
    if (bHelp) {
        const command_line::CommandOption help[]{command_line::HelpOption(bHelp)};
        std::fputs((kUsage + command_line::FormatOptions(help, 16)).c_str(), stdout);
        return 0;
    }
    const demo::DemoImage image(megabytes << 20);
    const bool serial = RunVariant("Serial-style", false, image);
    const bool bulk = RunVariant("Bulk", true, image);
    std::printf("%s\n", serial && bulk ? "both link variants passed" : "FAILED");
    return serial && bulk ? 0 : 1;
}
