#include "bench/bench_arguments.h"

#include "records/append_file.h"
#include "records/records_location.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <set>
#include <sstream>

namespace vantorel::bench {

const char* const kBenchUsage =
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
    "Options:\n"
    "  --headless             no window: choose the images, press Detect, plug the handsets,\n"
    "                         press Start downloading, wait for the batch, then print one line\n"
    "                         per slot and the main log. Exit 0 only when every handset\n"
    "                         ended \"Job Done\" and flashed exactly the chosen images.\n"
    "  --link bulk|serial     the link variant: USB bulk pipes (default), or the serial-style\n"
    "                         link with the handsets on pseudo-terminals (the real tty code)\n"
    "  --handsets N           headless: emulated handsets to plug, 0 to 8 (default 8)\n"
    "  --handset K:SETTINGS   settings of emulated handset K (1 to 8, or 'all'), as\n"
    "                         vantorel-pty-handset takes them, for example\n"
    "                           --handset 3:'--wrong-sum-at 40'\n"
    "                           --handset all:'--protocol-version 20 --eboot-version T4K8'\n"
    "                         see vantorel-pty-handset --help for every setting and fault\n"
    "  --tty PATH             an external handset on the tty at PATH (repeatable; implies\n"
    "                         --link serial): it arrives when PATH exists and leaves when\n"
    "                         PATH goes, and is opened exclusively like any tty handset\n"
    "  --images DIR           choose EBoot (eboot.eb0) and PDA (pda.nb0) of the sample set in\n"
    "                         DIR, writing the set there first if it is missing; only a new\n"
    "                         or empty DIR, or one the bench wrote the set into, is written\n"
    "                         in: a folder holding other files is refused (exit 2)\n"
    "  --eboot FILE  --pda FILE  --csc FILE  --lang FILE  --phone FILE  --smd FILE\n"
    "                         choose the image file of one kind\n"
    "  --check CAPTION        check the option box with this caption (repeatable), e.g.\n"
    "                         --check 'Start downloading immediately'\n"
    "  --uncheck CAPTION      uncheck it, e.g. --uncheck 'Wait after download'\n"
    "  --time-scale X         protocol time runs at X times real time: 1 is real time, 0.1\n"
    "                         ten times faster, 0.01 a hundred times (default 0.1 with a\n"
    "                         window, 0.01 headless, 1 with --tty)\n"
    "  --timeout SECONDS      headless: give up on the batch after this long (default 600)\n"
    "  --real                 headless, on this machine's real USB handsets instead of\n"
    "                         emulated ones (the bulk link, real time): press Detect, wait\n"
    "                         for --handsets N of them to arrive (default 1), download, and\n"
    "                         exit 0 when each ended \"Job Done\". What they flashed is not\n"
    "                         checked here. Unplug and replug the handsets after the\n"
    "                         \"detecting\" line: only arrivals are attached\n"
    "  --slots-follow-ports   each handset takes the slot bound to its USB port, whatever the\n"
    "                         order it arrives in (bulk link only: the serial-style bench's\n"
    "                         handsets sit on pseudo-terminals, not USB ports)\n"
    "  --port-map MAP         with --slots-follow-ports: the slots' ports, as a file or inline,\n"
    "                         one slot=port entry each, e.g. --port-map '1=1-8,2=1-7';\n"
    "                         by default emulated handset K (port 1-K) is bound to slot K\n"
    "  --plug-order ORDER     headless: plug the emulated handsets in this order: 'reverse',\n"
    "                         or their numbers, e.g. 3,1,2 (default 1, 2, 3, ...)\n"
    "  --records DIR          keep each batch's logs and report under DIR (default\n"
    "                         $XDG_STATE_HOME/vantorel/batches, ~/.local/state/...)\n"
    "  --no-records           keep no records on disk\n"
    "  --report FILE          headless: also append each handset's report line to FILE\n"
    "  -h, --help             this text\n"
    "  --version              the bench's version\n"
    "\n"
    "Exit status: 0 every handset done; 1 a handset failed, did not attach or flashed\n"
    "something else, or the batch timed out; 2 a bad command line, or no display for the\n"
    "window (--headless needs none).\n";

namespace {

struct KindOption {
    const char* name;
    images::ImageKind kind;
};

constexpr std::array<KindOption, 6> kKindOptions{{
    {"--eboot", images::IMG_EBOOT},
    {"--pda", images::IMG_PDA},
    {"--csc", images::IMG_CSC},
    {"--lang", images::IMG_LANGPACK},
    {"--phone", images::IMG_PHONE},
    {"--smd", images::IMG_SMD},
}};

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

bool DirectoryExists(const std::filesystem::path& path) {
    struct stat status {};
    return ::stat(path.empty() ? "." : path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// "K:SETTINGS" into the handset it names (0-based; -1 for all) and the settings.
bool ParseHandsetOption(const std::string& value, int& index, std::string& settings) {
    const size_t colon = value.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    const std::string which = value.substr(0, colon);
    settings = value.substr(colon + 1);
    if (which == "all") {
        index = -1;
        return true;
    }
    int number = 0;
    if (!ParseInt(which, 1, kBenchSlots, number)) {
        return false;
    }
    index = number - 1;
    return true;
}

void AppendWords(std::string& settings, const std::string& words) {
    if (!settings.empty() && !words.empty()) {
        settings += ' ';
    }
    settings += words;
}

// The real station: the bulk link to real devices in real time, no emulated handsets.
bool FinishRealArguments(BenchArguments& out, bool bLinkGiven, bool bHandsetsGiven,
                         bool bScaleGiven, bool bHandsetSettings, std::string& error) {
    if (!out.ttyPaths.empty() || (bLinkGiven && out.link != LinkChoice::Bulk) || bHandsetSettings) {
        error =
            "--real runs the bulk link on real handsets: drop --tty, --link serial and "
            "--handset";
        return false;
    }
    if (bHandsetsGiven && out.nHandsets == 0) {
        error = "--real needs at least one handset to wait for: --handsets 1 to 8";
        return false;
    }
    if (!bHandsetsGiven) {
        out.nHandsets = 1;
    }
    if (!bScaleGiven) {
        out.timeScale = 1.0;
    }
    return true;
}

// A map inline ("1=1-8,2=1-7") or in the file the value names.
bool ParsePortMapValue(const std::string& value, engine::SlotPortMap& map, std::string& why) {
    return value.find('=') != std::string::npos ? engine::ParseUsablePortMap(value, map, why)
                                                : engine::ReadPortMapFile(value, map, why);
}

// "reverse" or handset numbers "3,1,2" into 0-based rows.
bool ParsePlugOrder(const std::string& value, std::vector<int>& rows) {
    rows.clear();
    if (value == "reverse") {
        return true;  // filled in once the number of handsets is known
    }
    std::stringstream list(value);
    std::string item;
    while (std::getline(list, item, ',')) {
        int number = 0;
        if (!ParseInt(item, 1, kBenchSlots, number)) {
            return false;
        }
        rows.push_back(number - 1);
    }
    return !rows.empty();
}

// The plug order of a headless run: each of the handsets to plug exactly once.
bool FinishPlugOrder(BenchArguments& out, bool bReverse, std::string& error) {
    std::vector<int> natural(static_cast<size_t>(out.nHandsets));
    std::iota(natural.begin(), natural.end(), 0);
    if (out.plugOrder.empty()) {
        out.plugOrder = natural;
        if (bReverse) {
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

bool ParseBenchArguments(const std::vector<std::string>& args, BenchArguments& out,
                         std::string& error) {
    out = BenchArguments{};
    bool bLinkGiven = false, bHandsetsGiven = false, bScaleGiven = false, bTimeoutGiven = false;
    bool bReversePlugs = false, bPlugOrderGiven = false;
    std::string allSettings;
    std::vector<std::string> settings(kBenchSlots);

    for (size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::optional<std::string> inlineValue;
        if (const size_t equals = option.find('=');
            option.starts_with("--") && equals != std::string::npos) {
            inlineValue = option.substr(equals + 1);
            option.resize(equals);
        }
        if (option == "--help" || option == "-h") {
            out.bHelp = true;
            continue;
        }
        if (option == "--version") {
            out.bVersion = true;
            continue;
        }
        if (option == "--headless") {
            out.bHeadless = true;
            continue;
        }
        if (option == "--no-records") {
            out.bNoRecords = true;
            continue;
        }
        if (option == "--slots-follow-ports") {
            out.bSlotsFollowPorts = true;
            continue;
        }
        if (option == "--real") {
            out.bReal = true;
            out.bHeadless = true;
            continue;
        }
        if (!option.starts_with("-")) {
            error = "unexpected argument '" + option + "'";
            return false;
        }
        static const std::set<std::string> kWithValue{
            "--link",    "--handsets", "--handset",    "--tty",       "--images",
            "--check",   "--uncheck",  "--time-scale", "--timeout",   "--eboot",
            "--pda",     "--csc",      "--lang",       "--phone",     "--smd",
            "--records", "--report",   "--port-map",   "--plug-order"};
        if (!kWithValue.contains(option)) {
            error = "unknown option " + option;
            return false;
        }
        if (!inlineValue && i + 1 >= args.size()) {
            error = "missing value after " + option;
            return false;
        }
        const std::string value = inlineValue ? *inlineValue : args[++i];
        const auto bad = [&](const std::string& why) {
            error = "bad value for " + option + ": '" + value + "' (" + why + ")";
            return false;
        };

        if (option == "--link") {
            if (value != "bulk" && value != "serial") {
                return bad("bulk or serial");
            }
            out.link = value == "bulk" ? LinkChoice::Bulk : LinkChoice::Serial;
            bLinkGiven = true;
        } else if (option == "--handsets") {
            if (!ParseInt(value, 0, kBenchSlots, out.nHandsets)) {
                return bad("a number from 0 to 8");
            }
            bHandsetsGiven = true;
        } else if (option == "--handset") {
            int index = 0;
            std::string words;
            if (!ParseHandsetOption(value, index, words)) {
                return bad("K:SETTINGS with K from 1 to 8, or all:SETTINGS");
            }
            AppendWords(index < 0 ? allSettings : settings[index], words);
        } else if (option == "--tty") {
            const std::filesystem::path path(value);
            if (value.empty() || !path.has_filename()) {
                return bad("the path of a tty, not a directory");
            }
            if (!DirectoryExists(path.parent_path())) {
                return bad("its directory does not exist");
            }
            for (const auto& known : out.ttyPaths) {
                if (known == value) {
                    return bad("given twice");
                }
            }
            out.ttyPaths.push_back(value);
        } else if (option == "--records" || option == "--report") {
            if (value.empty()) {
                return bad(option == "--records" ? "a directory" : "a file");
            }
            // Checked before the batch: a copy that cannot be written would only be found
            // out at the first handset's end.
            if (option == "--report") {
                if (const std::optional<std::string> problem =
                        records::AppendTargetProblem(value)) {
                    return bad(*problem);
                }
            }
            (option == "--records" ? out.recordsDirectory : out.reportFile) = value;
        } else if (option == "--port-map") {
            engine::SlotPortMap map;
            std::string why;
            if (!ParsePortMapValue(value, map, why)) {
                return bad(why);
            }
            out.portMap = map;
        } else if (option == "--plug-order") {
            if (!ParsePlugOrder(value, out.plugOrder)) {
                return bad("'reverse', or handset numbers from 1 to 8 such as 3,1,2");
            }
            bReversePlugs = value == "reverse";
            bPlugOrderGiven = true;
        } else if (option == "--images") {
            if (value.empty()) {
                return bad("a directory");
            }
            out.imagesDirectory = value;
        } else if (option == "--check" || option == "--uncheck") {
            if (value.empty()) {
                return bad("the caption of an option box");
            }
            out.options.push_back({value, option == "--check"});
        } else if (option == "--time-scale") {
            if (!ParseScale(value, out.timeScale)) {
                return bad("a number above 0 and at most 1000; 1 is real time");
            }
            bScaleGiven = true;
        } else if (option == "--timeout") {
            int seconds = 0;
            if (!ParseInt(value, 1, 7 * 24 * 3600, seconds)) {
                return bad("seconds, at least 1");
            }
            out.timeout = std::chrono::seconds(seconds);
            bTimeoutGiven = true;
        } else {
            for (const KindOption& kind : kKindOptions) {
                if (option == kind.name) {
                    if (value.empty()) {
                        return bad("a file");
                    }
                    out.imageFiles.emplace_back(kind.kind, value);
                }
            }
        }
    }
    if (out.bHelp || out.bVersion) {
        return true;
    }

    if (!out.reportFile.empty() && out.bNoRecords) {
        error = "--report copies the records' report lines: drop --no-records";
        return false;
    }
    if (out.portMap && !out.bSlotsFollowPorts) {
        error = "--port-map goes with --slots-follow-ports";
        return false;
    }
    if (out.bSlotsFollowPorts && (!out.ttyPaths.empty() || out.link == LinkChoice::Serial)) {
        error =
            "--slots-follow-ports needs the bulk link: the serial-style bench's handsets sit on "
            "pseudo-terminals, not USB ports";
        return false;
    }
    if (bPlugOrderGiven && (!out.bHeadless || out.bReal)) {
        error = "--plug-order is for --headless runs of emulated handsets";
        return false;
    }
    if (out.bReal) {
        if (out.bSlotsFollowPorts && !out.portMap) {
            error = "--slots-follow-ports on real handsets needs their --port-map";
            return false;
        }
        return FinishRealArguments(
            out, bLinkGiven, bHandsetsGiven, bScaleGiven,
            !allSettings.empty() || settings != std::vector<std::string>(kBenchSlots), error);
    }
    if (!out.ttyPaths.empty()) {
        if (bLinkGiven && out.link == LinkChoice::Bulk) {
            error = "--tty needs the serial-style link: drop --link bulk";
            return false;
        }
        out.link = LinkChoice::Serial;
    }
    if (!out.bHeadless && (bHandsetsGiven || bTimeoutGiven)) {
        error =
            "--handsets and --timeout are for --headless runs (the window has its own "
            "Plug buttons)";
        return false;
    }
    if (!bHandsetsGiven) {
        out.nHandsets = out.EmulatedRows();
    }
    if (out.nHandsets > out.EmulatedRows()) {
        error = "--handsets " + std::to_string(out.nHandsets) + " and " +
                std::to_string(out.ttyPaths.size()) +
                " --tty handset(s) are more than the eight slots";
        return false;
    }
    if (out.bHeadless && !FinishPlugOrder(out, bReversePlugs, error)) {
        return false;
    }
    if (out.bHeadless && out.nHandsets == 0 && out.ttyPaths.empty()) {
        error = "nothing to run: --handsets 0 and no --tty";
        return false;
    }
    if (!bScaleGiven) {
        out.timeScale = !out.ttyPaths.empty() ? 1.0 : out.bHeadless ? 0.01 : 0.1;
    }
    for (int index = 0; index < kBenchSlots; ++index) {
        if (index >= out.EmulatedRows() && !settings[index].empty()) {
            error = "--handset " + std::to_string(index + 1) + ": there are only " +
                    std::to_string(out.EmulatedRows()) +
                    " emulated handsets besides the --tty ones";
            return false;
        }
        std::string words = allSettings;
        AppendWords(words, settings[index]);
        std::string why;
        if (!ParseHandsetSettings(words, out.handsets[index], why)) {
            error = "--handset " + std::to_string(index + 1) + ": " + why;
            return false;
        }
    }
    return true;
}

}  // namespace vantorel::bench
