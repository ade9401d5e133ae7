#include "tools/usb_vm/probe_arguments.h"

#include "command_line/cli11_command_line.h"
#include "command_line/value_parsers.h"
#include "engine/boot_loader_protocol.h"

namespace vantorel::usb_vm {

using command_line::CommandOption;
using command_line::RefusedUnless;
using command_line::SetsMilliseconds;
using command_line::SetsNumber;

namespace {

constexpr const char* kUsageIntro =
    "usage: vantorel-usb-probe [options]\n"
    "Drives gadget handsets over the real USB stack with the station's bulk link and boot-loader\n"
    "operations, checks what they flashed, prints one verdict line; exit 0 only on success.\n";

constexpr size_t kHelpColumn = 26;

// A handler that sets a text that may not be empty.
template <typename Text>
auto SetsText(Text& target) {
    return [&target](const std::string& value) {
        target = value;
        return RefusedUnless(!value.empty());
    };
}

// Every option of vantorel-usb-probe, in the order --help lists them.
std::vector<CommandOption> ProbeOptionList(ProbeOptions& options) {
    constexpr const char* kBoundsHelp = "time bounds";
    return {
        {"--handsets", "N", "handsets taken through the whole run (2)",
         SetsNumber(options.fullRunHandsets)},
        {"--victim", "NAME", "the handset unplugged mid-transfer (none)", SetsText(options.victim)},
        {"--victim-packet", "K", "its data packet that gets no echo (300)",
         SetsNumber(options.victimPacket)},
        {"--eboot-size", "BYTES", "boot loader image size (1049576)",
         SetsNumber(options.ebootSize, true)},
        {"--phone-size", "BYTES", "modem image size (3146283)",
         SetsNumber(options.phoneSize, true)},
        {"--csc-size", "BYTES", "CSC image size (1048653)", SetsNumber(options.cscSize, true)},
        {"--record-dir", "DIR", "where the gadget program writes its records (no record check)",
         SetsText(options.recordDir)},
        {"--gadget-pid", "PID", "the gadget program, asked for its records with SIGUSR1",
         SetsNumber(options.gadgetPid, true)},
        {"--configfs-root", "DIR", "the gadgets' directory (/sys/kernel/config/usb_gadget)",
         SetsText(options.configfsRoot)},
        {"--usb-devices", "DIR", "sysfs USB devices (/sys/bus/usb/devices)",
         SetsText(options.usbDevicesDir)},
        {"--protocol-version", "N", "the handsets' protocol version word (24)",
         SetsNumber(options.protocolVersion)},
        {"--eboot-version", "TEXT", "the handsets' answer to the version query (T4K9)",
         command_line::SetsTextOfLength(options.bootLoaderVersion, 4)},
        {"--bare-round-trips", "N",
         "instead: N plain libusb round trips per handset (2048 bytes\n"
         "out, the 4-byte echo in) and the process CPU they took",
         SetsNumber(options.bareRoundTrips, true)},
        {"--present-ms", "N", kBoundsHelp, SetsMilliseconds(options.presentBound)},
        {"--reopen-ms", "N", kBoundsHelp, SetsMilliseconds(options.reopenBound)},
        {"--unplug-ms", "N", kBoundsHelp, SetsMilliseconds(options.unplugBound)},
        {"--hold-ms", "N", kBoundsHelp, SetsMilliseconds(options.victimHold)},
        {"--run-ms", "N", kBoundsHelp, SetsMilliseconds(options.runBound)},
        command_line::HelpOption(options.bHelp),
    };
}

// What the options cannot show together; nullopt when the run can show what it claims.
std::optional<std::string> ProbeProblem(const ProbeOptions& options) {
    if (options.fullRunHandsets < 1 && options.victim.empty()) {
        return "nothing to probe: no handsets and no victim";
    }
    if (options.bareRoundTrips > 0 && !options.victim.empty()) {
        return "--bare-round-trips unplugs no handset: no --victim";
    }
    // The victim's silent packet must lie inside its boot loader transfer.
    const uint64_t packets =
        (uint64_t{options.ebootSize} + engine::kPacketPayloadSize - 1) / engine::kPacketPayloadSize;
    if (!options.victim.empty() && options.victimPacket >= packets) {
        return "--victim-packet " + std::to_string(options.victimPacket) +
               " lies beyond the boot loader image's " + std::to_string(packets) + " packets";
    }
    if (!options.recordDir.empty() && options.gadgetPid == 0) {
        return "--record-dir needs --gadget-pid";
    }
    return std::nullopt;
}

}  // namespace

bool ParseProbeArguments(const std::vector<std::string>& args, ProbeOptions& options,
                         std::string& error) {
    if (!command_line::ParseWithCli11(ProbeOptionList(options), args, error)) {
        return false;
    }
    const std::optional<std::string> problem = options.bHelp ? std::nullopt : ProbeProblem(options);
    error = problem.value_or("");
    return !problem;
}

std::string UsbProbeUsage() {
    ProbeOptions options;
    return kUsageIntro + command_line::FormatOptions(ProbeOptionList(options), kHelpColumn);
}

}  // namespace vantorel::usb_vm
