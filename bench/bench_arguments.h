#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/handset_setup.h"
#include "bench/shift_plan.h"
#include "command_line/line_options.h"
#include "command_line/station_options.h"
#include "engine/slot_port_map.h"

namespace vantorel::bench {

inline constexpr int kBenchSlots = 8;

enum class LinkChoice { Bulk, Serial };

using command_line::OptionChoice;

// The bench's command line; the station window's choices (images, option boxes, records,
// slots that follow ports) are declared where `vantorel` can share them.
struct BenchArguments : command_line::StationChoices {
    bool bHelp = false;
    bool bVersion = false;
    bool bHeadless = false;
    // The station on this machine's real download-mode devices (libudev, libusb), headless:
    // no emulated handset; `nHandsets` is how many to wait for.
    bool bReal = false;
    LinkChoice link = LinkChoice::Bulk;
    // Emulated handsets to plug in a headless run.
    int nHandsets = kBenchSlots;
    // Per emulated handset (index 0..7): its setup; handsets not named have none.
    std::vector<HandsetSetup> handsets = std::vector<HandsetSetup>(kBenchSlots);
    std::vector<std::string> ttyPaths;
    // The sample set to take EBoot and PDA from, written there if missing.
    std::optional<std::string> imagesDirectory;
    // Headless: each handset's report line also goes to this file.
    std::string reportFile;
    // Headless: the emulated handsets (0-based rows) in the order they are plugged in.
    std::vector<int> plugOrder;
    // Headless: a shift of handsets swapped by a simulated operator instead of one batch.
    std::optional<ShiftPlan> shift;
    // The broker it publishes to, and its name there.
    command_line::LineChoices line;
    double timeScale = 0.1;
    std::chrono::seconds timeout{600};

    // The emulated handsets the bench can offer: eight slots less the external ones.
    int EmulatedRows() const { return kBenchSlots - static_cast<int>(ttyPaths.size()); }
};

// Where the batch records go: the given folder, the station's own, or none (empty).
std::filesystem::path RecordsRoot(const BenchArguments& args);

// The map a run with --slots-follow-ports uses: the one given, else emulated handset K's
// port bound to slot K.
engine::SlotPortMap BenchPortMap(const BenchArguments& args);

// Reads the command line (without the program name) with QCommandLineParser. False, with a
// message for the operator, on anything it does not accept.
bool ParseBenchArguments(const std::vector<std::string>& args, BenchArguments& out,
                         std::string& error);

// The text --help prints, listing the options ParseBenchArguments reads.
std::string BenchUsage();

}  // namespace vantorel::bench
