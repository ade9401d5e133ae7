#include "bench/bench_arguments.h"

#include "command_line/qt_command_line.h"
#include "records/append_file.h"
#include "records/records_location.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <sstream>

namespace vantorel::bench {

using command_line::CommandOption;
using command_line::Refused;
using command_line::RefusedUnless;
using command_line::Taken;

namespace {

constexpr const char* kUsageIntro =
    "usage: vantorel-bench [options]\n"
    "\n"
    "The Vantorel station on a bench of emulated handsets: the real station window, engine\n"
    "and links, beside a bench panel where you plug and unplug up to eight emulated handsets\n"
    "in download mode. No hardware needed. A sample image set is written on first start to\n"
    "$XDG_DATA_HOME/vantorel/sample-images (~/.local/share/vantorel/sample-images).\n"
    "\n"
    "First run: press EBoot and pick eboot.eb0, press PDA and pick pda.nb0 (both in the\n"
    "sample set), press Detect, press Plug on three handsets in the bench panel, press\n"
    "Start downloading.\n"
    "\n"
    "Options:\n";

constexpr const char* kUsageExitStatus =
    "\n"
    "Exit status: 0 every handset done; 1 a handset failed, did not attach or flashed\n"
    "something else, or the batch timed out; 2 a bad command line, or no display for the\n"
    "window (--headless needs none).\n";

constexpr size_t kHelpColumn = 25;

// What the command line said beyond the values it sets: which defaults it overrode, and the
// handsets' settings words, read once all are known.
struct Given {
    bool bLink = false;
    bool bHandsets = false;
    bool bScale = false;
    bool bTimeout = false;
    bool bPlugOrder = false;
    bool bReversePlugs = false;
    // The shift's operator and handsets, kept until --shift says whether there is one.
    ShiftPlan shift;
    bool bShiftDetail = false;  // --swap-seconds or --handset-spread
    std::string allSettings;
    std::vector<std::string> settings = std::vector<std::string>(kBenchSlots);

    bool AnyHandsetSettings() const {
        return !allSettings.empty() || settings != std::vector<std::string>(kBenchSlots);
    }
};

bool ParseInt(const std::string& text, int low, int high, int& value) {
    int parsed = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseScale(const std::string& text, double& scale) {
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(parsed > 0.0) || parsed > 1000.0) {
        return false;
    }
    scale = parsed;
    return true;
}

bool ParseSeconds(const std::string& text, double& seconds) {
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(parsed >= 0.0) || parsed > 3600.0) {
        return false;
    }
    seconds = parsed;
    return true;
}

bool DirectoryExists(const std::filesystem::path& path) {
    struct stat status {};
    return ::stat(path.empty() ? "." : path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

void AppendWords(std::string& settings, const std::string& words) {
    if (!settings.empty() && !words.empty()) {
        settings += ' ';
    }
    settings += words;
}

// "K:SETTINGS" (K from 1 to 8, or "all") added to the words of the handset it names.
std::optional<std::string> TakeHandsetSettings(const std::string& value, Given& given) {
    const std::string why = "K:SETTINGS with K from 1 to 8, or all:SETTINGS";
    const size_t colon = value.find(':');
    if (colon == std::string::npos) {
        return why;
    }
    const std::string which = value.substr(0, colon);
    int number = 0;
    if (which != "all" && !ParseInt(which, 1, kBenchSlots, number)) {
        return why;
    }
    AppendWords(which == "all" ? given.allSettings : given.settings[number - 1],
                value.substr(colon + 1));
    return Taken();
}

std::optional<std::string> TakeTty(const std::string& value, std::vector<std::string>& paths) {
    const std::filesystem::path path(value);
    if (value.empty() || !path.has_filename()) {
        return "the path of a tty, not a directory";
    }
    if (!DirectoryExists(path.parent_path())) {
        return "its directory does not exist";
    }
    if (std::find(paths.begin(), paths.end(), value) != paths.end()) {
        return "given twice";
    }
    paths.push_back(value);
    return Taken();
}

// "reverse" or handset numbers "3,1,2" into 0-based rows; "reverse" is filled in once the
// number of handsets is known.
std::optional<std::string> TakePlugOrder(const std::string& value, BenchArguments& out,
                                         Given& given) {
    given.bPlugOrder = true;
    given.bReversePlugs = value == "reverse";
    out.plugOrder.clear();
    std::stringstream list(value);
    std::string item;
    while (!given.bReversePlugs && std::getline(list, item, ',')) {
        int number = 0;
        if (!ParseInt(item, 1, kBenchSlots, number)) {
            out.plugOrder.clear();
            break;
        }
        out.plugOrder.push_back(number - 1);
    }
    return RefusedUnless(given.bReversePlugs || !out.plugOrder.empty(),
                         "'reverse', or handset numbers from 1 to 8 such as 3,1,2");
}

// Checked before the batch: a copy that cannot be written would only be found out at the
// first handset's end.
std::optional<std::string> TakeReportFile(const std::string& value, BenchArguments& out) {
    if (value.empty()) {
        return "a file";
    }
    out.reportFile = value;
    return records::AppendTargetProblem(value);
}

std::vector<CommandOption> HeadOptions(BenchArguments& out, Given& given) {
    return {
        {"--headless", "",
         "no window: choose the images, press Detect, plug the handsets,\n"
         "press Start downloading, wait for the batch, then print one line\n"
         "per slot and the main log. Exit 0 only when every handset\n"
         "ended \"Job Done\" and flashed exactly the chosen images.",
         command_line::Sets(out.bHeadless)},
        {"--link", "bulk|serial",
         "the link variant: USB bulk pipes (default), or the serial-style\n"
         "link with the handsets on pseudo-terminals (the real tty code)",
         [&out, &given](const std::string& value) {
             given.bLink = true;
             out.link = value == "serial" ? LinkChoice::Serial : LinkChoice::Bulk;
             return RefusedUnless(value == "bulk" || value == "serial", "bulk or serial");
         }},
        {"--handsets", "N", "headless: emulated handsets to plug, 0 to 8 (default 8)",
         [&out, &given](const std::string& value) {
             given.bHandsets = true;
             return RefusedUnless(ParseInt(value, 0, kBenchSlots, out.nHandsets),
                                  "a number from 0 to 8");
         }},
        {"--handset", "K:SETTINGS",
         "settings of emulated handset K (1 to 8, or 'all'), as\n"
         "vantorel-pty-handset takes them, for example\n"
         "  --handset 3:'--wrong-sum-at 40'\n"
         "  --handset all:'--protocol-version 20 --eboot-version T4K8'\n"
         "see vantorel-pty-handset --help for every setting and fault",
         [&given](const std::string& value) { return TakeHandsetSettings(value, given); }},
        {"--tty", "PATH",
         "an external handset on the tty at PATH (repeatable; implies\n"
         "--link serial): it arrives when PATH exists and leaves when\n"
         "PATH goes, and is opened exclusively like any tty handset",
         [&out](const std::string& value) { return TakeTty(value, out.ttyPaths); }},
        {"--images", "DIR",
         "choose EBoot (eboot.eb0) and PDA (pda.nb0) of the sample set in\n"
         "DIR, writing the set there first if it is missing; only a new\n"
         "or empty DIR, or one the bench wrote the set into, is written\n"
         "in: a folder holding other files is refused (exit 2)",
         [&out](const std::string& value) {
             out.imagesDirectory = value;
             return RefusedUnless(!value.empty(), "a directory");
         }},
    };
}

std::vector<CommandOption> TailOptions(BenchArguments& out, Given& given) {
    return {
        {"--time-scale", "X",
         "protocol time runs at X times real time: 1 is real time, 0.1\n"
         "ten times faster, 0.01 a hundred times (default 0.1 with a\n"
         "window, 0.01 headless, 1 with --tty)",
         [&out, &given](const std::string& value) {
             given.bScale = true;
             return RefusedUnless(ParseScale(value, out.timeScale),
                                  "a number above 0 and at most 1000; 1 is real time");
         }},
        {"--timeout", "SECONDS", "headless: give up on the batch after this long (default 600)",
         [&out, &given](const std::string& value) {
             given.bTimeout = true;
             int seconds = 0;
             if (!ParseInt(value, 1, 7 * 24 * 3600, seconds)) {
                 return Refused("seconds, at least 1");
             }
             out.timeout = std::chrono::seconds(seconds);
             return Taken();
         }},
        {"--real", "",
         "headless, on this machine's real USB handsets instead of\n"
         "emulated ones (the bulk link, real time): press Detect, wait\n"
         "for --handsets N of them to arrive (default 1), download, and\n"
         "exit 0 when each ended \"Job Done\". What they flashed is not\n"
         "checked here. Unplug and replug the handsets after the\n"
         "\"detecting\" line: only arrivals are attached",
         [&out](const std::string&) {
             out.bReal = true;
             out.bHeadless = true;
             return Taken();
         }},
        {"--plug-order", "ORDER",
         "headless: plug the emulated handsets in this order: 'reverse',\n"
         "or their numbers, e.g. 3,1,2 (default 1, 2, 3, ...)",
         [&out, &given](const std::string& value) { return TakePlugOrder(value, out, given); }},
        {"--report", "FILE", "headless: also append each handset's report line to FILE",
         [&out](const std::string& value) { return TakeReportFile(value, out); }},
        {"--shift", "N",
         "headless: a shift of N handsets through the emulated handsets'\n"
         "sockets instead of one batch; a simulated operator replaces each\n"
         "handset after its slot ended, one at a time, and every handset\n"
         "is checked byte for byte; prints the handsets per hour. In\n"
         "batches unless --check 'Slots run on their own'",
         [&given](const std::string& value) {
             return RefusedUnless(ParseInt(value, 1, 100000, given.shift.nHandsets),
                                  "a number of handsets from 1 to 100000");
         }},
        {"--swap-seconds", "S",
         "with --shift: protocol seconds the operator takes to replace a\n"
         "handset (default 10)",
         [&given](const std::string& value) {
             given.bShiftDetail = true;
             return RefusedUnless(ParseSeconds(value, given.shift.swapSeconds),
                                  "seconds from 0 to 3600");
         }},
        {"--handset-spread", "PERCENT",
         "with --shift: each handset's flash time differs by up to this many\n"
         "percent either way (default 0)",
         [&given](const std::string& value) {
             given.bShiftDetail = true;
             return RefusedUnless(ParseInt(value, 0, 90, given.shift.spreadPercent),
                                  "a percentage from 0 to 90");
         }},
        command_line::HelpOption(out.bHelp),
        {"--version", "", "the bench's version", command_line::Sets(out.bVersion)},
    };
}

// Every option of the bench, in the order --help lists them.
std::vector<CommandOption> BenchOptions(BenchArguments& out, Given& given) {
    std::vector<CommandOption> options = HeadOptions(out, given);
    command_line::AddStationOptions(
        options, out,
        {" (bulk link only: the serial-style bench's\n"
         "handsets sit on pseudo-terminals, not USB ports)",
         ";\nby default emulated handset K (port 1-K) is bound to slot K"});
    command_line::AddLineOptions(options, out.line);
    std::vector<CommandOption> tail = TailOptions(out, given);
    options.insert(options.end(), std::make_move_iterator(tail.begin()),
                   std::make_move_iterator(tail.end()));
    return options;
}

// What cannot go together whatever the mode.
std::optional<std::string> CombinationProblem(const BenchArguments& out, const Given& given) {
    if (!out.reportFile.empty() && out.bNoRecords) {
        return "--report copies the records' report lines: drop --no-records";
    }
    if (auto problem = command_line::StationChoicesProblem(out)) {
        return problem;
    }
    if (out.bSlotsFollowPorts && (!out.ttyPaths.empty() || out.link == LinkChoice::Serial)) {
        return "--slots-follow-ports needs the bulk link: the serial-style bench's handsets sit "
               "on pseudo-terminals, not USB ports";
    }
    if (given.bPlugOrder && (!out.bHeadless || out.bReal)) {
        return "--plug-order is for --headless runs of emulated handsets";
    }
    const bool bShift = given.shift.nHandsets > 0;
    if (bShift && (!out.bHeadless || out.bReal)) {
        return "--shift is for --headless runs of emulated handsets";
    }
    if (given.bShiftDetail && !bShift) {
        return "--swap-seconds and --handset-spread describe a --shift";
    }
    if (bShift && (given.bHandsets || given.bPlugOrder)) {
        return "--shift plugs its handsets itself: drop --handsets and --plug-order";
    }
    return std::nullopt;
}

// The real station: the bulk link to real devices in real time, no emulated handsets.
bool FinishRealArguments(BenchArguments& out, const Given& given, std::string& error) {
    if (out.bSlotsFollowPorts && !out.portMap) {
        error = "--slots-follow-ports on real handsets needs their --port-map";
        return false;
    }
    if (!out.ttyPaths.empty() || (given.bLink && out.link != LinkChoice::Bulk) ||
        given.AnyHandsetSettings()) {
        error =
            "--real runs the bulk link on real handsets: drop --tty, --link serial and "
            "--handset";
        return false;
    }
    if (given.bHandsets && out.nHandsets == 0) {
        error = "--real needs at least one handset to wait for: --handsets 1 to 8";
        return false;
    }
    out.nHandsets = given.bHandsets ? out.nHandsets : 1;
    out.timeScale = given.bScale ? out.timeScale : 1.0;
    return true;
}

// The plug order of a headless run: each of the handsets to plug exactly once.
bool FinishPlugOrder(BenchArguments& out, const Given& given, std::string& error) {
    std::vector<int> natural(static_cast<size_t>(out.nHandsets));
    std::iota(natural.begin(), natural.end(), 0);
    if (out.plugOrder.empty()) {
        out.plugOrder = natural;
        if (given.bReversePlugs) {
            std::reverse(out.plugOrder.begin(), out.plugOrder.end());
        }
        return true;
    }
    std::vector<int> sorted = out.plugOrder;
    std::sort(sorted.begin(), sorted.end());
    if (sorted != natural) {
        error = "--plug-order names each of the " + std::to_string(out.nHandsets) +
                " handset(s) once, numbered from 1";
        return false;
    }
    return true;
}

// How many emulated handsets, and on which link.
bool FinishHandsetCount(BenchArguments& out, const Given& given, std::string& error) {
    if (!out.ttyPaths.empty()) {
        if (given.bLink && out.link == LinkChoice::Bulk) {
            error = "--tty needs the serial-style link: drop --link bulk";
            return false;
        }
        out.link = LinkChoice::Serial;
    }
    if (!out.bHeadless && (given.bHandsets || given.bTimeout)) {
        error =
            "--handsets and --timeout are for --headless runs (the window has its own "
            "Plug buttons)";
        return false;
    }
    out.nHandsets = given.bHandsets ? out.nHandsets : out.EmulatedRows();
    if (out.nHandsets > out.EmulatedRows()) {
        error = "--handsets " + std::to_string(out.nHandsets) + " and " +
                std::to_string(out.ttyPaths.size()) +
                " --tty handset(s) are more than the eight slots";
        return false;
    }
    if (out.bHeadless && out.nHandsets == 0 && out.ttyPaths.empty()) {
        error = "nothing to run: --handsets 0 and no --tty";
        return false;
    }
    return true;
}

// Each emulated handset's settings: those for all, then its own, which win.
bool FinishHandsetSettings(BenchArguments& out, const Given& given, std::string& error) {
    for (int index = 0; index < kBenchSlots; ++index) {
        if (index >= out.EmulatedRows() && !given.settings[index].empty()) {
            error = "--handset " + std::to_string(index + 1) + ": there are only " +
                    std::to_string(out.EmulatedRows()) +
                    " emulated handsets besides the --tty ones";
            return false;
        }
        std::string words = given.allSettings;
        AppendWords(words, given.settings[index]);
        std::string why;
        if (!ParseHandsetSettings(words, out.handsets[index], why)) {
            error = "--handset " + std::to_string(index + 1) + ": " + why;
            return false;
        }
    }
    return true;
}

bool FinishEmulatedArguments(BenchArguments& out, const Given& given, std::string& error) {
    if (!FinishHandsetCount(out, given, error) ||
        (out.bHeadless && !FinishPlugOrder(out, given, error))) {
        return false;
    }
    if (!given.bScale) {
        out.timeScale = !out.ttyPaths.empty() ? 1.0 : out.bHeadless ? 0.01 : 0.1;
    }
    return FinishHandsetSettings(out, given, error);
}

}  // namespace

engine::SlotPortMap BenchPortMap(const BenchArguments& args) {
    if (args.portMap) {
        return *args.portMap;
    }
    engine::SlotPortMap map;
    for (int slot = 0; slot < kBenchSlots; ++slot) {
        map.Bind(slot, "1-" + std::to_string(slot + 1));
    }
    return map;
}

std::filesystem::path RecordsRoot(const BenchArguments& args) {
    if (args.bNoRecords) {
        return {};
    }
    return args.recordsDirectory.empty() ? records::DefaultRecordsRoot()
                                         : std::filesystem::path(args.recordsDirectory);
}

std::string BenchUsage() {
    BenchArguments unused;
    Given given;
    return kUsageIntro + command_line::FormatOptions(BenchOptions(unused, given), kHelpColumn) +
           kUsageExitStatus;
}

bool ParseBenchArguments(const std::vector<std::string>& args, BenchArguments& out,
                         std::string& error) {
    out = BenchArguments{};
    Given given;
    if (!command_line::ParseWithQt(BenchOptions(out, given), args, error)) {
        return false;
    }
    if (out.bHelp || out.bVersion) {
        return true;
    }
    if (auto problem = CombinationProblem(out, given)) {
        error = *problem;
        return false;
    }
    if (given.shift.nHandsets > 0) {
        out.shift = given.shift;
    }
    return out.bReal ? FinishRealArguments(out, given, error)
                     : FinishEmulatedArguments(out, given, error);
}

}  // namespace vantorel::bench
