// vantorel-record-check: after a batch of the real station against gadget handsets, asks the
// gadget program for its records and compares what each handset flashed with the image
// files, the way the station sends them. Handsets named with --done must have flashed every
// chosen image exactly; those named with --unfinished (pulled mid-run) must not have.
// Prints one line per problem and a verdict; exit 0 only when all holds.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "command_line/cli11_command_line.h"
#include "command_line/station_options.h"
#include "command_line/value_parsers.h"
#include "emulator/flash_check.h"
#include "tools/usb_vm/record_check.h"
#include "tools/usb_vm/record_files.h"

using namespace vantorel;

namespace {

constexpr const char* kUsageIntro =
    "usage: vantorel-record-check --record-dir DIR --gadget-pid PID --done NAME[,NAME...]\n"
    "                             [--unfinished NAME[,NAME...]] --eboot FILE [--pda FILE]\n"
    "                             [--csc FILE] [--lang FILE] [--phone FILE]\n";

constexpr size_t kHelpColumn = 29;

struct Arguments {
    std::string recordDir;
    pid_t gadgetPid = 0;
    std::vector<std::string> done, unfinished;
    command_line::ImageFiles chosen;
    bool bHelp = false;
};

std::vector<std::string> SplitNames(const std::string& list) {
    std::vector<std::string> names;
    std::stringstream items(list);
    for (std::string name; std::getline(items, name, ',');) {
        if (!name.empty()) {
            names.push_back(name);
        }
    }
    return names;
}

auto SetsNames(std::vector<std::string>& target) {
    return [&target](const std::string& value) {
        target = SplitNames(value);
        return command_line::RefusedUnless(!target.empty(), "NAME[,NAME...]");
    };
}

std::vector<command_line::CommandOption> Options(Arguments& args) {
    std::vector<command_line::CommandOption> options{
        {"--record-dir", "DIR", "where the gadget program writes its records",
         [&args](const std::string& value) {
             args.recordDir = value;
             return command_line::RefusedUnless(!value.empty());
         }},
        {"--gadget-pid", "PID", "the gadget program, asked for its records with SIGUSR1",
         command_line::SetsNumber(args.gadgetPid, true)},
        {"--done", "NAMES", "the handsets that must have flashed every image exactly",
         SetsNames(args.done)},
        {"--unfinished", "NAMES", "the handsets pulled mid-run, which must not have",
         SetsNames(args.unfinished)},
    };
    command_line::AddImageFileOptions(options, args.chosen);
    options.push_back(command_line::HelpOption(args.bHelp));
    return options;
}

// False, with what is wrong, on a command line that does not say what to check.
bool Parse(const std::vector<std::string>& words, Arguments& args, std::string& error) {
    if (!command_line::ParseWithCli11(Options(args), words, error)) {
        return false;
    }
    if (!args.bHelp && (args.recordDir.empty() || args.gadgetPid == 0 || args.done.empty() ||
                        args.chosen.empty())) {
        error = "--record-dir, --gadget-pid, --done and an image file are needed";
        return false;
    }
    return true;
}

// What the records show against the command line: each problem as one line.
std::vector<std::string> FindProblems(const Arguments& args) {
    std::vector<emulator::ChosenImage> chosen;
    for (const auto& [kind, path] : args.chosen) {
        chosen.push_back({kind, path});
    }
    std::vector<std::string> problems;
    if (!usb_vm::AwaitRecordDump(args.recordDir, args.gadgetPid)) {
        problems.push_back("the gadget program wrote no records");
    }
    for (const std::string& name : problems.empty() ? args.done : std::vector<std::string>()) {
        const auto record = usb_vm::ReadFlashedImages(args.recordDir, name);
        if (!record) {
            problems.push_back(name + ": no record");
            continue;
        }
        for (const std::string& difference : emulator::CheckFlashed(*record, chosen)) {
            problems.push_back(name + ": " + difference);
        }
    }
    for (const std::string& name :
         problems.empty() ? args.unfinished : std::vector<std::string>()) {
        const auto record = usb_vm::ReadFlashedImages(args.recordDir, name);
        if (record && emulator::CheckFlashed(*record, chosen).empty()) {
            problems.push_back(name + ": flashed every image although it was pulled mid-run");
        }
    }
    return problems;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!Parse(std::vector<std::string>(argv + 1, argv + argc), args, error)) {
        return command_line::RefuseCommandLine("vantorel-record-check", error);
    }
    if (args.bHelp) {
        Arguments unused;
        std::fputs(
            (kUsageIntro + command_line::FormatOptions(Options(unused), kHelpColumn)).c_str(),
            stdout);
        return 0;
    }
    const std::vector<std::string> problems = FindProblems(args);
    for (const std::string& problem : problems) {
        std::printf("record-check: problem: %s\n", problem.c_str());
    }
    std::printf("record-check: %s: %zu handset(s) flashed the image files byte for byte%s\n",
                problems.empty() ? "PASS" : "FAIL", problems.empty() ? args.done.size() : 0,
                args.unfinished.empty() ? "" : ", the pulled one(s) did not finish");
    return problems.empty() ? 0 : 1;
}
