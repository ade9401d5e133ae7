#include "host/station_arguments.h"

#include <array>

#include "command_line/qt_command_line.h"
#include "command_line/station_options.h"

namespace vantorel::host {

using command_line::CommandOption;
using command_line::Taken;

namespace {

constexpr const char* kUsageIntro =
    "usage: vantorel [--mqtt URL [--station-id NAME]] | --help | --version\n"
    "\n"
    "The Vantorel download station: pick the image files, press Detect, plug in up to eight\n"
    "handsets in USB download mode and press Start downloading. It opens a window and needs\n"
    "a display; vantorel-bench runs the same station on emulated handsets.\n"
    "\n";

constexpr const char* kUsageEnd =
    "\n"
    "Qt's own options (-platform NAME, -style NAME, -reverse ...) are passed to Qt.\n"
    "Environment: VANTOREL_KEEP_SERVICES=1 leaves ModemManager and the MTP volume monitor\n"
    "running. Without a display the station says so and exits with status 2.\n";

constexpr size_t kHelpColumn = 17;

// The one-dash options QGuiApplication and QApplication take out of argv themselves.
constexpr std::array<const char*, 11> kQtValueOptions{
    "-platformpluginpath", "-platformtheme", "-plugin",   "-qwindowgeometry", "-qwindowicon",
    "-qwindowtitle",       "-session",       "-geometry", "-style",           "-stylesheet",
    "-qmljsdebugger"};
constexpr std::array<const char*, 5> kQtFlags{"-reverse", "-widgetcount", "-nograb", "-dograb",
                                              "-sync"};

std::vector<CommandOption> StationOptions(StationArguments& out) {
    std::vector<CommandOption> options{
        command_line::HelpOption(out.bHelp),
        {"--version", "", "the station's version", command_line::Sets(out.bVersion)},
        command_line::HttpOption(out.http),
        // Qt's, not listed: Qt documents them.
        {"-platform", "NAME", "",
         [&out](const std::string& value) {
             out.platform = value;
             return Taken();
         }},
        {"-display", "NAME", "",
         [&out](const std::string& value) {
             out.display = value;
             return Taken();
         }},
    };
    command_line::AddLineOptions(options, out.line);
    const auto passedToQt = [](const std::string&) { return Taken(); };
    for (const char* name : kQtValueOptions) {
        options.push_back({name, "VALUE", "", passedToQt});
    }
    for (const char* name : kQtFlags) {
        options.push_back({name, "", "", passedToQt});
    }
    return options;
}

}  // namespace

console::DisplayEnvironment StationArguments::Apply(console::DisplayEnvironment environment) const {
    if (!platform.empty()) {
        environment.qpaPlatform = platform.c_str();
    }
    if (!display.empty()) {
        environment.x11Display = display.c_str();
    }
    return environment;
}

bool ParseStationArguments(const std::vector<std::string>& args, StationArguments& out,
                           std::string& error) {
    out = StationArguments{};
    std::vector<std::string> words;
    if (!command_line::ParseWithQt(StationOptions(out), args, error,
                                   {command_line::SingleDashWords::Names, &words})) {
        return false;
    }
    // The station takes no file names: a word is taken for a mistyped option.
    if (!words.empty()) {
        error = "unknown option " + words.front();
        return false;
    }
    return true;
}

std::string StationUsage() {
    StationArguments unused;
    return kUsageIntro + command_line::FormatOptions(StationOptions(unused), kHelpColumn) +
           kUsageEnd;
}

}  // namespace vantorel::host
