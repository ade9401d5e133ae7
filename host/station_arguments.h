#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "command_line/line_options.h"
#include "command_line/station_options.h"
#include "console/program_start.h"

namespace vantorel::host {

// The command line of `vantorel`: its own options and Qt's one-dash ones (-platform NAME,
// -style NAME ...), which stay in argv for QApplication to take.
struct StationArguments {
    bool bHelp = false;
    bool bVersion = false;
    // The station as a service: no window, batch after batch on `choices`.
    bool bHeadless = false;
    std::chrono::seconds stopBound{120};
    // Images, option boxes, ports, records and --http.
    command_line::StationChoices choices;
    // Qt's -platform and -display, which decide where the window opens before the
    // environment does; empty when not given.
    std::string platform;
    std::string display;
    // The broker it publishes to, and its name there.
    command_line::LineChoices line;

    // The environment with -platform and -display in force, as Qt will read it.
    console::DisplayEnvironment Apply(console::DisplayEnvironment environment) const;
};

// Reads the command line (without the program name) with QCommandLineParser. False, with one
// line for the operator, on an option neither the station nor Qt knows or a stray argument.
bool ParseStationArguments(const std::vector<std::string>& args, StationArguments& out,
                           std::string& error);

// The text --help prints.
std::string StationUsage();

}  // namespace vantorel::host
