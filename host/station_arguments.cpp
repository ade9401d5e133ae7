#include "host/station_arguments.h"

#include <QString>
#include <array>

#include "command_line/qt_command_line.h"
#include "command_line/station_options.h"

namespace vantorel::host {

using command_line::CommandOption;
using command_line::Taken;

namespace {

constexpr const char* kUsageIntro =
    "usage: vantorel [--help | --version] [--http ADDRESS:PORT] [--mqtt URL]\n"
    "       vantorel --headless --eboot FILE --pda FILE ... [--http ADDRESS:PORT] [--mqtt URL]\n"
    "\n"
    "The Vantorel download station: pick the image files, press Detect, plug in up to eight\n"
    "handsets in USB download mode and press Start downloading. It opens a window and needs\n"
    "a display; vantorel-bench runs the same station on emulated handsets. With --headless\n"
    "it runs as a service without a window (see vantorel-headless.service).\n"
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
        {"--headless", "",
         "run as a service without a window: arm detection at once and\n"
         "download batch after batch until SIGTERM or SIGINT; logs go to\n"
         "standard output. The options below choose what it sends.",
         command_line::Sets(out.bHeadless)},
        {"--stop-bound", "SECONDS",
         "headless: on SIGTERM, how long running handsets may take to\n"
         "finish before they are ended (default 120)",
         [&out](const std::string& value) {
             bool bNumber = false;
             const int seconds = QString::fromStdString(value).toInt(&bNumber);
             out.stopBound = std::chrono::seconds(seconds);
             return command_line::RefusedUnless(bNumber && seconds >= 0 && seconds <= 3600,
                                                "0 to 3600");
         }},
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
    command_line::AddStationOptions(options, out.choices);
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
    if (auto problem = command_line::StationChoicesProblem(out.choices)) {
        error = *problem;
        return false;
    }
    const command_line::StationChoices& chosen = out.choices;
    if (!out.bHeadless &&
        (!chosen.imageFiles.empty() || !chosen.options.empty() || chosen.bSlotsFollowPorts ||
         !chosen.recordsDirectory.empty() || chosen.bNoRecords)) {
        error =
            "the image, option, port and record options go with --headless: the window "
            "has its own";
        return false;
    }
    if (out.bHeadless && chosen.imageFiles.empty()) {
        error = "--headless needs the images to send (--eboot, --pda, ...)";
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
