#pragma once

#include <string>
#include <vector>

#include "command_line/command_option.h"

namespace vantorel::command_line {

// What a command line says of the line the station stands on: the broker it publishes to and
// its name there. A user and password never come from here: every user of the machine can
// read a command line.
struct LineChoices {
    std::string mqttUrl;    // empty: no publishing
    std::string stationId;  // empty: the host name
};

// Declares --mqtt and --station-id, each writing into `choices` (which must outlive the
// parse). The URL is judged when the station starts: a wrong one is said in the main log and
// the station works on without publishing.
void AddLineOptions(std::vector<CommandOption>& options, LineChoices& choices);

}  // namespace vantorel::command_line
