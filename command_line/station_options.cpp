#include "command_line/station_options.h"

#include <array>

namespace vantorel::command_line {

namespace {

struct KindOption {
    const char* names;
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

// A map inline ("1=1-8,2=1-7") or in the file the value names.
std::optional<std::string> TakePortMap(const std::string& value, StationChoices& choices) {
    engine::SlotPortMap map;
    std::string why;
    const bool bRead = value.find('=') != std::string::npos
                           ? engine::ParseUsablePortMap(value, map, why)
                           : engine::ReadPortMapFile(value, map, why);
    if (!bRead) {
        return why;
    }
    choices.portMap = map;
    return std::nullopt;
}

}  // namespace

void AddImageFileOptions(std::vector<CommandOption>& options, ImageFiles& files) {
    for (const KindOption& kind : kKindOptions) {
        options.push_back({kind.names, "FILE", "choose the image file of one kind",
                           [&files, kind = kind.kind](const std::string& value) {
                               if (value.empty()) {
                                   return Refused("a file");
                               }
                               files.emplace_back(kind, value);
                               return Taken();
                           }});
    }
}

void AddStationOptions(std::vector<CommandOption>& options, StationChoices& choices,
                       const StationHelpNotes& notes) {
    AddImageFileOptions(options, choices.imageFiles);
    const auto optionBox = [&choices](bool bChecked) {
        return [&choices, bChecked](const std::string& value) {
            if (value.empty()) {
                return Refused("the caption of an option box");
            }
            choices.options.push_back({value, bChecked});
            return Taken();
        };
    };
    options.push_back({"--check", "CAPTION",
                       "check the option box with this caption (repeatable), e.g.\n"
                       "--check 'Start downloading immediately'",
                       optionBox(true)});
    options.push_back({"--uncheck", "CAPTION", "uncheck it, e.g. --uncheck 'Wait after download'",
                       optionBox(false)});
    options.push_back({"--slots-follow-ports", "",
                       "each handset takes the slot bound to its USB port, whatever the\n"
                       "order it arrives in" +
                           notes.slotsFollowPorts,
                       Sets(choices.bSlotsFollowPorts)});
    options.push_back(
        {"--port-map", "MAP",
         "with --slots-follow-ports: the slots' ports, as a file or inline,\n"
         "one slot=port entry each, e.g. --port-map '1=1-8,2=1-7'" +
             notes.portMap,
         [&choices](const std::string& value) { return TakePortMap(value, choices); }});
    options.push_back({"--records", "DIR",
                       "keep each batch's logs and report under DIR (default\n"
                       "$XDG_STATE_HOME/vantorel/batches, ~/.local/state/...)",
                       [&choices](const std::string& value) {
                           choices.recordsDirectory = value;
                           return RefusedUnless(!value.empty(), "a directory");
                       }});
    options.push_back({"--no-records", "", "keep no records on disk", Sets(choices.bNoRecords)});
    options.push_back(HttpOption(choices.http));
}

CommandOption HttpOption(std::optional<ListenAddress>& target) {
    return {"--http", "ADDRESS:PORT",
            "serve the live page and the read-only API there (':PORT' for\n"
            "127.0.0.1 only), e.g. --http 127.0.0.1:8080",
            [&target](const std::string& value) -> std::optional<std::string> {
                std::string why;
                target = ParseListenAddress(value, why);
                return RefusedUnless(target.has_value(), why);
            }};
}

std::optional<std::string> StationChoicesProblem(const StationChoices& choices) {
    if (choices.portMap && !choices.bSlotsFollowPorts) {
        return "--port-map goes with --slots-follow-ports";
    }
    return std::nullopt;
}

}  // namespace vantorel::command_line
