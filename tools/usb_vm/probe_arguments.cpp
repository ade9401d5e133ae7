#include "tools/usb_vm/probe_arguments.h"

#include <charconv>
#include <limits>

#include "engine/boot_loader_protocol.h"

namespace vantorel::usb_vm {

const char* const kUsbProbeUsage =
    "usage: vantorel-usb-probe [options]\n"
    "Drives gadget handsets over the real USB stack with the station's bulk link and boot-loader\n"
    "operations, checks what they flashed, prints one verdict line; exit 0 only on success.\n"
    "  --handsets N            handsets taken through the whole run (2)\n"
    "  --victim NAME           the handset unplugged mid-transfer (none)\n"
    "  --victim-packet K       its data packet that gets no echo (300)\n"
    "  --eboot-size BYTES      boot loader image size (1049576)\n"
    "  --phone-size BYTES      modem image size (3146283)\n"
    "  --csc-size BYTES        CSC image size (1048653)\n"
    "  --record-dir DIR        where the gadget program writes its records (no record check)\n"
    "  --gadget-pid PID        the gadget program, asked for its records with SIGUSR1\n"
    "  --configfs-root DIR     the gadgets' directory (/sys/kernel/config/usb_gadget)\n"
    "  --usb-devices DIR       sysfs USB devices (/sys/bus/usb/devices)\n"
    "  --protocol-version N    the handsets' protocol version word (24)\n"
    "  --eboot-version TEXT    the handsets' answer to the version query (T4K9)\n"
    "  --bare-round-trips N    instead: N plain libusb round trips per handset (2048 bytes\n"
    "                          out, the 4-byte echo in) and the process CPU they took\n"
    "  --present-ms N  --reopen-ms N  --unplug-ms N  --hold-ms N  --run-ms N   time bounds\n";

namespace {

template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
    uint64_t parsed = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        parsed > static_cast<uint64_t>(std::numeric_limits<Number>::max())) {
        return false;
    }
    value = static_cast<Number>(parsed);
    return true;
}

bool ParseMilliseconds(const std::string& text, std::chrono::milliseconds& duration) {
    uint32_t millis = 0;
    if (!ParseNumber(text, millis)) {
        return false;
    }
    duration = std::chrono::milliseconds(millis);
    return true;
}

bool ParseOption(const std::string& option, const std::string& value, ProbeOptions& options,
                 std::string& error) {
    if (option == "--handsets") {
        return ParseNumber(value, options.fullRunHandsets);
    }
    if (option == "--victim") {
        options.victim = value;
        return !value.empty();
    }
    if (option == "--victim-packet") {
        return ParseNumber(value, options.victimPacket);
    }
    if (option == "--eboot-size") {
        return ParseNumber(value, options.ebootSize) && options.ebootSize > 0;
    }
    if (option == "--phone-size") {
        return ParseNumber(value, options.phoneSize) && options.phoneSize > 0;
    }
    if (option == "--csc-size") {
        return ParseNumber(value, options.cscSize) && options.cscSize > 0;
    }
    if (option == "--record-dir") {
        options.recordDir = value;
        return !value.empty();
    }
    if (option == "--gadget-pid") {
        return ParseNumber(value, options.gadgetPid) && options.gadgetPid > 0;
    }
    if (option == "--configfs-root") {
        options.configfsRoot = value;
        return !value.empty();
    }
    if (option == "--usb-devices") {
        options.usbDevicesDir = value;
        return !value.empty();
    }
    if (option == "--protocol-version") {
        return ParseNumber(value, options.protocolVersion);
    }
    if (option == "--eboot-version") {
        options.bootLoaderVersion = value;
        return value.size() == 4;
    }
    if (option == "--bare-round-trips") {
        return ParseNumber(value, options.bareRoundTrips) && options.bareRoundTrips > 0;
    }
    if (option == "--present-ms") {
        return ParseMilliseconds(value, options.presentBound);
    }
    if (option == "--reopen-ms") {
        return ParseMilliseconds(value, options.reopenBound);
    }
    if (option == "--unplug-ms") {
        return ParseMilliseconds(value, options.unplugBound);
    }
    if (option == "--hold-ms") {
        return ParseMilliseconds(value, options.victimHold);
    }
    if (option == "--run-ms") {
        return ParseMilliseconds(value, options.runBound);
    }
    error = "unknown option " + option;
    return false;
}

}  // namespace

bool ParseProbeArguments(const std::vector<std::string>& args, ProbeOptions& options,
                         std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h") {
            options.bHelp = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "missing value after " + option;
            return false;
        }
        const std::string& value = args[++i];
        if (!ParseOption(option, value, options, error)) {
            if (error.empty()) {
                error = "bad value for " + option + ": '" + value + "'";
            }
            return false;
        }
    }
    if (options.bHelp) {
        return true;
    }
    if (options.fullRunHandsets < 1 && options.victim.empty()) {
        error = "nothing to probe: no handsets and no victim";
        return false;
    }
    if (options.bareRoundTrips > 0 && !options.victim.empty()) {
        error = "--bare-round-trips unplugs no handset: no --victim";
        return false;
    }
    // The victim's silent packet must lie inside its boot loader transfer.
    const uint64_t packets =
        (uint64_t{options.ebootSize} + engine::kPacketPayloadSize - 1) / engine::kPacketPayloadSize;
    if (!options.victim.empty() && options.victimPacket >= packets) {
        error = "--victim-packet " + std::to_string(options.victimPacket) +
                " lies beyond the boot loader image's " + std::to_string(packets) + " packets";
        return false;
    }
    if (!options.recordDir.empty() && options.gadgetPid == 0) {
        error = "--record-dir needs --gadget-pid";
        return false;
    }
    return true;
}

}  // namespace vantorel::usb_vm
