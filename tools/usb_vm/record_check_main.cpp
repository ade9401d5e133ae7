// vantorel-record-check: after a batch of the real station against gadget handsets, asks the
// gadget program for its records and compares what each handset flashed with the image
// files, the way the station sends them. Handsets named with --done must have flashed every
// chosen image exactly; those named with --unfinished (pulled mid-run) must not have.
// Prints one line per problem and a verdict; exit 0 only when all holds.
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "emulator/flash_check.h"
#include "tools/usb_vm/record_check.h"
#include "tools/usb_vm/record_files.h"

using namespace vantorel;

namespace {

constexpr const char* kUsage =
    "usage: vantorel-record-check --record-dir DIR --gadget-pid PID --done NAME[,NAME...]\n"
    "                             [--unfinished NAME[,NAME...]] --eboot FILE [--pda FILE]\n"
    "                             [--csc FILE] [--lang FILE] [--phone FILE]\n";

struct Arguments {
    std::string recordDir;
    pid_t gadgetPid = 0;
    std::vector<std::string> done, unfinished;
    std::vector<emulator::ChosenImage> chosen;
};

std::vector<std::string> SplitNames(const std::string& list) {
    std::vector<std::string> names;
    size_t from = 0;
    while (from <= list.size()) {
        const size_t comma = std::min(list.find(',', from), list.size());
        if (comma > from) {
            names.push_back(list.substr(from, comma - from));
        }
        from = comma + 1;
    }
    return names;
}

bool Parse(int argc, char** argv, Arguments& args) {
    const std::pair<const char*, images::ImageKind> kinds[]{
        {"--eboot", images::IMG_EBOOT}, {"--pda", images::IMG_PDA},
        {"--csc", images::IMG_CSC},     {"--lang", images::IMG_LANGPACK},
        {"--phone", images::IMG_PHONE},
    };
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i], value = argv[i + 1];
        if (option == "--record-dir") {
            args.recordDir = value;
        } else if (option == "--gadget-pid") {
            const auto end = value.data() + value.size();
            if (std::from_chars(value.data(), end, args.gadgetPid).ptr != end) {
                return false;
            }
        } else if (option == "--done") {
            args.done = SplitNames(value);
        } else if (option == "--unfinished") {
            args.unfinished = SplitNames(value);
        } else {
            bool bKnown = false;
            for (const auto& [name, kind] : kinds) {
                if (option == name) {
                    args.chosen.push_back({kind, value});
                    bKnown = true;
                }
            }
            if (!bKnown) {
                return false;
            }
        }
    }
    return argc % 2 == 1 && !args.recordDir.empty() && args.gadgetPid > 0 && !args.done.empty() &&
           !args.chosen.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!Parse(argc, argv, args)) {
        std::fputs(kUsage, stderr);
        return 2;
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
        for (const std::string& difference : emulator::CheckFlashed(*record, args.chosen)) {
            problems.push_back(name + ": " + difference);
        }
    }
    for (const std::string& name :
         problems.empty() ? args.unfinished : std::vector<std::string>()) {
        const auto record = usb_vm::ReadFlashedImages(args.recordDir, name);
        if (record && emulator::CheckFlashed(*record, args.chosen).empty()) {
            problems.push_back(name + ": flashed every image although it was pulled mid-run");
        }
    }
    for (const std::string& problem : problems) {
        std::printf("record-check: problem: %s\n", problem.c_str());
    }
    std::printf("record-check: %s: %zu handset(s) flashed the image files byte for byte%s\n",
                problems.empty() ? "PASS" : "FAIL", problems.empty() ? args.done.size() : 0,
                args.unfinished.empty() ? "" : ", the pulled one(s) did not finish");
    return problems.empty() ? 0 : 1;
}
