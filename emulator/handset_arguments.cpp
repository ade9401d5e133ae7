#include "emulator/handset_arguments.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "command_line/cli11_command_line.h"
#include "command_line/value_parsers.h"

namespace vantorel::emulator {

using command_line::CommandOption;
using command_line::ParseNumber;
using command_line::RefusedUnless;
using command_line::SetsMilliseconds;
using command_line::SetsNumber;
using command_line::Taken;

namespace {

constexpr const char* kUsageIntro =
    "usage: vantorel-pty-handset [settings] --link PATH [[settings] --link PATH ...]\n"
    "Serves emulated handsets in download mode on pseudo-terminals, each behind a symbolic\n"
    "link at PATH, until killed or until every handset has left. Settings stay in force for\n"
    "the --link options that follow them.\n";

constexpr size_t kHelpColumn = 29;

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

// A handler that sets one packet fault.
auto SetsPacket(std::optional<uint64_t>& target) {
    return [&target](const std::string& value) {
        uint64_t packet = 0;
        if (!ParseNumber(value, packet)) {
            return command_line::Refused();
        }
        target = packet;
        return Taken();
    };
}

void AddConfigSettings(std::vector<CommandOption>& options, HandsetConfig& config) {
    const std::vector<CommandOption> settings{
        {"--protocol-version", "N", "the word sent after the boot loader is flashed (24)",
         SetsNumber(config.protocolVersion)},
        {"--eboot-version", "TEXT", "4 characters answered to the version query (T4K9)",
         command_line::SetsTextOfLength(config.bootLoaderVersion, 4)},
        {"--progress", "P,P,...", "flash progress steps in percent (10,55,100); '' for none",
         [&config](const std::string& value) {
             return RefusedUnless(ParseProgress(value, config.flashProgress));
         }},
        {"--flash-step-ms", "N", "flash work before each progress step (0)",
         SetsMilliseconds(config.flashStepTime)},
        {"--nand-format-ms", "N", "NAND format time (0)", SetsMilliseconds(config.nandFormatTime)},
        {"--reboot-delay-ms", "N", "off the bus during a reboot (1500)",
         SetsMilliseconds(config.rebootDelay)},
        {"--smd-range", "START:COUNT", "one more SMD range; --no-smd-ranges clears them",
         [&config](const std::string& value) {
             SmdRange range;
             if (!ParsePair(value, range.startBlock, range.blockCount)) {
                 return command_line::Refused();
             }
             config.smdRanges.push_back(range);
             return Taken();
         }},
        {"--no-smd-ranges", "", "",
         [&config](const std::string&) {
             config.smdRanges.clear();
             return Taken();
         }},
        {"--download-base", "ADDR", "RAM address of RAM offset 0 (0)",
         SetsNumber(config.downloadBase)},
        {"--ram-cap", "BYTES", "RAM size limit (134217728)", SetsNumber(config.ramCap)},
        {"--digest", "", "what the record keeps of flashed images",
         [&config](const std::string&) {
             config.recordMode = RecordMode::Digest;
             return Taken();
         }},
        {"--full-bytes", "", "what the record keeps of flashed images",
         [&config](const std::string&) {
             config.recordMode = RecordMode::FullBytes;
             return Taken();
         }},
        {"--pack-replies", "", "replies that belong together go in one USB packet",
         command_line::Sets(config.bPackReplies)},
    };
    options.insert(options.end(), settings.begin(), settings.end());
}

void AddFaultSettings(std::vector<CommandOption>& options, HandsetFaults& faults) {
    const char* const kPacketHelp =
        "at data packet K: a wrong checksum echo, a 2-byte echo,\n"
        "no echo, or leaving the bus";
    const auto greeting = [&faults](GreetingFailure failure) {
        return [&faults, failure](const std::string& value) {
            faults.greetingFailure = failure;
            return RefusedUnless(ParseNumber(value, faults.greetingFailures));
        };
    };
    const std::vector<CommandOption> settings{
        {"", "", "faults (data packets count from 0 over the handset's life):", nullptr},
        {"--wrong-sum-at", "K", kPacketHelp, SetsPacket(faults.wrongSumAtPacket)},
        {"--short-reply-at", "K", kPacketHelp, SetsPacket(faults.shortReplyAtPacket)},
        {"--missing-reply-at", "K", kPacketHelp, SetsPacket(faults.missingReplyAtPacket)},
        {"--unplug-at", "K", kPacketHelp, SetsPacket(faults.unplugAtPacket)},
        {"--wrong-flash-reply", "CODE", "wrong first reply to flash command CODE",
         [&faults](const std::string& value) {
             uint32_t code = 0;
             if (!ParseNumber(value, code)) {
                 return command_line::Refused();
             }
             faults.wrongFirstFlashReply.insert(code);
             return Taken();
         }},
        {"--stall-flash", "CODE:STEPS", "progress of CODE stops after STEPS steps",
         [&faults](const std::string& value) {
             uint32_t code = 0;
             size_t steps = 0;
             if (!ParsePair(value, code, steps)) {
                 return command_line::Refused();
             }
             faults.flashProgressStallAfter[code] = steps;
             return Taken();
         }},
        {"--greeting-silent", "N", "no OKUD for the first N greetings",
         greeting(GreetingFailure::Silent)},
        {"--greeting-wrong", "N", "no OKUD for the first N greetings",
         greeting(GreetingFailure::WrongAnswer)},
        {"--no-return-after-reboot", "", "leave the bus for good at the first reboot",
         command_line::Sets(faults.noReturnAfterReboot)},
        {"--clear-faults", "", "no faults for the handsets that follow",
         [&faults](const std::string&) {
             faults = HandsetFaults{};
             return Taken();
         }},
    };
    options.insert(options.end(), settings.begin(), settings.end());
}

// Every option of vantorel-pty-handset, in the order --help lists them.
std::vector<CommandOption> PtyHandsetOptions(PtyHandsetProgram& program, HandsetSettings& current) {
    std::vector<CommandOption> options{
        ClockScaleOption(program.clockScale),
        {"--link", "PATH", "serve a handset with the settings so far behind PATH",
         [&program, &current](const std::string& value) {
             program.handsets.push_back({value, current.config, current.faults});
             return RefusedUnless(!value.empty());
         }},
    };
    AddHandsetSettings(options, current);
    options.push_back(command_line::HelpOption(program.bHelp));
    return options;
}

}  // namespace

void AddHandsetSettings(std::vector<CommandOption>& options, HandsetSettings& current) {
    AddConfigSettings(options, current.config);
    AddFaultSettings(options, current.faults);
}

CommandOption ClockScaleOption(double& clockScale) {
    return {"--clock-scale", "X", "protocol time runs at X times real time (all handsets)",
            [&clockScale](const std::string& value) {
                char* end = nullptr;
                clockScale = std::strtod(value.c_str(), &end);
                return RefusedUnless(!value.empty() && *end == '\0' && clockScale >= 0.0);
            }};
}

bool ParseHandsetArguments(const std::vector<std::string>& args, PtyHandsetProgram& program,
                           std::string& error) {
    HandsetSettings current;
    if (!command_line::ParseWithCli11(PtyHandsetOptions(program, current), args, error)) {
        return false;
    }
    if (program.handsets.empty() && !program.bHelp) {
        error = "no --link given";
        return false;
    }
    return true;
}

bool ParseHandsetSettingWords(const std::vector<std::string>& words, HandsetSettings& settings,
                              std::string& error) {
    std::vector<CommandOption> options;
    AddHandsetSettings(options, settings);
    return command_line::ParseWithCli11(options, words, error);
}

std::string PtyHandsetUsage() {
    PtyHandsetProgram program;
    HandsetSettings current;
    return kUsageIntro +
           command_line::FormatOptions(PtyHandsetOptions(program, current), kHelpColumn);
}

}  // namespace vantorel::emulator
