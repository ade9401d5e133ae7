#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantorel::usb_vm {

// What vantorel-usb-probe checks, and against which handsets.
struct ProbeOptions {
    // Handsets taken through the whole run: boot loader, reboot, re-open, phone and CSC image.
    int fullRunHandsets = 2;
    // The handset unplugged while the station waits for the echo of its data packet
    // `victimPacket` (its gadget is told not to answer that packet); none when empty.
    std::string victim;
    uint64_t victimPacket = 300;

    uint32_t ebootSize = (1u << 20) + 1000;
    uint32_t phoneSize = (3u << 20) + 555;
    uint32_t cscSize = (1u << 20) + 77;

    // Where the gadget program writes the records, and its process to ask for them; no
    // record check when empty.
    std::filesystem::path recordDir;
    pid_t gadgetPid = 0;

    std::filesystem::path configfsRoot = "/sys/kernel/config/usb_gadget";
    std::filesystem::path usbDevicesDir = "/sys/bus/usb/devices";

    uint32_t protocolVersion = 24;           // what the handsets report after command 4
    std::string bootLoaderVersion = "T4K9";  // what they answer to command 13

    std::chrono::milliseconds presentBound{60000};  // until every handset is listed
    std::chrono::milliseconds reopenBound{30000};   // from the reboot to the re-open
    std::chrono::milliseconds unplugBound{5000};    // from the unbind to the read's end
    std::chrono::milliseconds victimHold{1000};     // how long the read blocks before that
    std::chrono::milliseconds runBound{240000};     // for all handsets together

    // When not 0: instead of the whole runs, this many bare libusb round trips per handset
    // (a 2048-byte data packet out, its echo in), for the CPU they cost.
    uint32_t bareRoundTrips = 0;

    bool bHelp = false;

    int TotalHandsets() const { return fullRunHandsets + (victim.empty() ? 0 : 1); }
};

// Reads the command line of vantorel-usb-probe (without the program name) with CLI11; false, with a
// message, on anything it does not understand or that cannot work.
bool ParseProbeArguments(const std::vector<std::string>& args, ProbeOptions& options,
                         std::string& error);

// The text vantorel-usb-probe --help prints.
std::string UsbProbeUsage();

}  // namespace vantorel::usb_vm
