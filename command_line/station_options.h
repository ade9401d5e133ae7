#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "command_line/command_option.h"
#include "command_line/listen_address.h"
#include "engine/slot_port_map.h"
#include "images/image_kind.h"

namespace vantorel::command_line {

// Image files chosen per kind, in the order given.
using ImageFiles = std::vector<std::pair<images::ImageKind, std::string>>;

// One option check box to set, by its caption.
struct OptionChoice {
    std::string caption;
    bool bChecked = true;
};

// What a command line chooses in the station window before a batch: the image files, the
// option boxes, where records go and whether slots follow ports.
struct StationChoices {
    // Files chosen per kind, in the order given; later ones win.
    ImageFiles imageFiles;
    std::vector<OptionChoice> options;
    // Where batches leave their records; empty: the station's own folder. --no-records: none.
    std::string recordsDirectory;
    bool bNoRecords = false;
    bool bSlotsFollowPorts = false;
    std::optional<engine::SlotPortMap> portMap;
    // --http: where the live page and API listen; none: not served.
    std::optional<ListenAddress> http;
};

// Declares --eboot, --pda, --csc, --lang, --phone and --smd, each adding to `files`.
void AddImageFileOptions(std::vector<CommandOption>& options, ImageFiles& files);

// What a program adds to the help of two of these options: where slots can follow ports, and
// what is bound when no map is given. Each starts with its own separator (" (...)", ";\n...").
struct StationHelpNotes {
    std::string slotsFollowPorts;
    std::string portMap;
};

// Declares --eboot, --pda, --csc, --lang, --phone, --smd, --check, --uncheck,
// --slots-follow-ports, --port-map, --records, --no-records and --http, each writing into `choices`
// (which must outlive the parse).
void AddStationOptions(std::vector<CommandOption>& options, StationChoices& choices,
                       const StationHelpNotes& notes = {});

// --http ADDRESS:PORT, for programs that take it without the other station options.
CommandOption HttpOption(std::optional<ListenAddress>& target);

// What the choices cannot mean together (a map without --slots-follow-ports); nullopt when
// they can.
std::optional<std::string> StationChoicesProblem(const StationChoices& choices);

}  // namespace vantorel::command_line
