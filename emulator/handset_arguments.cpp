#include "emulator/handset_arguments.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace vantorel::emulator {

const char* const kPtyHandsetUsage =
    "usage: vantorel-pty-handset [settings] --link PATH [[settings] --link PATH ...]\n"
    "Serves emulated handsets in download mode on pseudo-terminals, each behind a symbolic\n"
    "link at PATH, until killed or until every handset has left. Settings stay in force for\n"
    "the --link options that follow them.\n"
    "  --clock-scale X          protocol time runs at X times real time (all handsets)\n"
    "  --protocol-version N     the word sent after the boot loader is flashed (24)\n"
    "  --eboot-version TEXT     4 characters answered to the version query (T4K9)\n"
    "  --progress P,P,...       flash progress steps in percent (10,55,100); '' for none\n"
    "  --flash-step-ms N        flash work before each progress step (0)\n"
    "  --nand-format-ms N       NAND format time (0)\n"
    "  --reboot-delay-ms N      off the bus during a reboot (1500)\n"
    "  --smd-range START:COUNT  one more SMD range; --no-smd-ranges clears them\n"
    "  --download-base ADDR     RAM address of RAM offset 0 (0)\n"
    "  --ram-cap BYTES          RAM size limit (134217728)\n"
    "  --digest | --full-bytes  what the record keeps of flashed images\n"
    "  --pack-replies           replies that belong together go in one USB packet\n"
    "faults (data packets count from 0 over the handset's life):\n"
    "  --wrong-sum-at K  --short-reply-at K  --missing-reply-at K  --unplug-at K\n"
    "  --wrong-flash-reply CODE       wrong first reply to flash command CODE\n"
    "  --stall-flash CODE:STEPS       progress of CODE stops after STEPS steps\n"
    "  --greeting-silent N | --greeting-wrong N   no OKUD for the first N greetings\n"
    "  --no-return-after-reboot       leave the bus for good at the first reboot\n"
    "  --clear-faults                 no faults for the handsets that follow\n";

namespace {

template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
    int base = 10;
    std::string_view digits = text;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        base = 16;
        digits.remove_prefix(2);
    }
    uint64_t parsed = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), parsed, base);
    if (digits.empty() || result.ec != std::errc() || result.ptr != digits.data() + digits.size() ||
        parsed > std::numeric_limits<Number>::max()) {
        return false;
    }
    value = static_cast<Number>(parsed);
    return true;
}

// "A:B" into two numbers.
template <typename First, typename Second>
bool ParsePair(const std::string& text, First& first, Second& second) {
    const size_t colon = text.find(':');
    return colon != std::string::npos && ParseNumber(text.substr(0, colon), first) &&
           ParseNumber(text.substr(colon + 1), second);
}

bool ParseProgress(const std::string& text, std::vector<uint8_t>& steps) {
    steps.clear();
    size_t start = 0;
    while (start < text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        uint8_t step = 0;
        if (!ParseNumber(text.substr(start, comma - start), step)) {
            return false;
        }
        steps.push_back(step);
        start = comma + 1;
    }
    return true;
}

bool ParseMilliseconds(const std::string& text, Clock::Duration& duration) {
    uint32_t millis = 0;
    if (!ParseNumber(text, millis)) {
        return false;
    }
    duration = Clock::Duration(millis);
    return true;
}

}  // namespace

bool ParseHandsetArguments(const std::vector<std::string>& args, PtyHandsetProgram& program,
                           std::string& error) {
    HandsetConfig config;
    HandsetFaults faults;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        // Options without a value.
        if (option == "--help" || option == "-h") {
            program.bHelp = true;
            continue;
        }
        if (option == "--digest" || option == "--full-bytes") {
            config.recordMode = option == "--digest" ? RecordMode::Digest : RecordMode::FullBytes;
            continue;
        }
        if (option == "--pack-replies") {
            config.bPackReplies = true;
            continue;
        }
        if (option == "--no-smd-ranges") {
            config.smdRanges.clear();
            continue;
        }
        if (option == "--no-return-after-reboot") {
            faults.noReturnAfterReboot = true;
            continue;
        }
        if (option == "--clear-faults") {
            faults = HandsetFaults{};
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "missing value after " + option;
            return false;
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (option == "--link") {
            ok = !value.empty();
            program.handsets.push_back({value, config, faults});
        } else if (option == "--clock-scale") {
            char* end = nullptr;
            program.clockScale = std::strtod(value.c_str(), &end);
            ok = !value.empty() && *end == '\0' && program.clockScale >= 0.0;
        } else if (option == "--protocol-version") {
            ok = ParseNumber(value, config.protocolVersion);
        } else if (option == "--eboot-version") {
            config.bootLoaderVersion = value;
            ok = value.size() == 4;
        } else if (option == "--progress") {
            ok = ParseProgress(value, config.flashProgress);
        } else if (option == "--flash-step-ms") {
            ok = ParseMilliseconds(value, config.flashStepTime);
        } else if (option == "--nand-format-ms") {
            ok = ParseMilliseconds(value, config.nandFormatTime);
        } else if (option == "--reboot-delay-ms") {
            ok = ParseMilliseconds(value, config.rebootDelay);
        } else if (option == "--smd-range") {
            SmdRange range;
            ok = ParsePair(value, range.startBlock, range.blockCount);
            config.smdRanges.push_back(range);
        } else if (option == "--download-base") {
            ok = ParseNumber(value, config.downloadBase);
        } else if (option == "--ram-cap") {
            ok = ParseNumber(value, config.ramCap);
        } else if (option == "--wrong-sum-at") {
            ok = ParseNumber(value, faults.wrongSumAtPacket.emplace());
        } else if (option == "--short-reply-at") {
            ok = ParseNumber(value, faults.shortReplyAtPacket.emplace());
        } else if (option == "--missing-reply-at") {
            ok = ParseNumber(value, faults.missingReplyAtPacket.emplace());
        } else if (option == "--unplug-at") {
            ok = ParseNumber(value, faults.unplugAtPacket.emplace());
        } else if (option == "--wrong-flash-reply") {
            uint32_t code = 0;
            ok = ParseNumber(value, code);
            faults.wrongFirstFlashReply.insert(code);
        } else if (option == "--stall-flash") {
            uint32_t code = 0;
            size_t steps = 0;
            ok = ParsePair(value, code, steps);
            faults.flashProgressStallAfter[code] = steps;
        } else if (option == "--greeting-silent" || option == "--greeting-wrong") {
            ok = ParseNumber(value, faults.greetingFailures);
            faults.greetingFailure = option == "--greeting-silent" ? GreetingFailure::Silent
                                                                   : GreetingFailure::WrongAnswer;
        } else {
            error = "unknown option " + option;
            return false;
        }
        if (!ok) {
            error = "bad value for " + option + ": '" + value + "'";
            return false;
        }
    }
    if (program.handsets.empty() && !program.bHelp) {
        error = "no --link given";
        return false;
    }
    return true;
}

}  // namespace vantorel::emulator
