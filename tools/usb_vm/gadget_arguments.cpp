#include "tools/usb_vm/gadget_arguments.h"

#include "command_line/cli11_command_line.h"
#include "emulator/handset_arguments.h"

namespace vantorel::usb_vm {

using command_line::CommandOption;
using command_line::RefusedUnless;

namespace {

constexpr const char* kUsageIntro =
    "usage: vantorel-gadget-handset [options] [settings] --gadget NAME:UDC [[settings] --gadget "
    "NAME:UDC ...]\n"
    "Serves emulated handsets in download mode as USB gadgets until killed: each is the\n"
    "configfs gadget NAME, whose FunctionFS instance NAME is mounted and not yet bound, and\n"
    "binds to the controller UDC. Needs root, configfs and FunctionFS. The handset settings\n"
    "and faults are those of vantorel-pty-handset.\n";

constexpr size_t kHelpColumn = 29;

bool SplitGadget(const std::string& text, GadgetSpec& spec) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    spec.name = text.substr(0, colon);
    spec.udcName = text.substr(colon + 1);
    // Both name a directory entry.
    const auto plain = [](const std::string& part) {
        return !part.empty() && part.find('/') == std::string::npos && part != "." && part != "..";
    };
    return plain(spec.name) && plain(spec.udcName);
}

// "NAME:UDC": one more gadget, served with the settings given so far.
std::optional<std::string> TakeGadget(const std::string& value,
                                      const emulator::HandsetSettings& current,
                                      std::vector<GadgetSpec>& gadgets) {
    GadgetSpec spec{{}, {}, current.config, current.faults};
    if (!SplitGadget(value, spec)) {
        return "NAME:UDC";
    }
    for (const GadgetSpec& earlier : gadgets) {
        if (earlier.name == spec.name || earlier.udcName == spec.udcName) {
            return "gadget " + spec.name + " or controller " + spec.udcName + " given twice";
        }
    }
    gadgets.push_back(std::move(spec));
    return command_line::Taken();
}

auto SetsDirectory(std::filesystem::path& target) {
    return [&target](const std::string& value) {
        target = value;
        return RefusedUnless(!value.empty());
    };
}

// Every option of vantorel-gadget-handset, in the order --help lists them.
std::vector<CommandOption> GadgetOptions(GadgetHandsetProgram& program,
                                         emulator::HandsetSettings& current) {
    std::vector<CommandOption> options{
        {"--gadget", "NAME:UDC", "serve a handset with the settings so far as gadget NAME on UDC",
         [&program, &current](const std::string& value) {
             return TakeGadget(value, current, program.gadgets);
         }},
        {"--ffs-root", "DIR", "FunctionFS instance NAME is mounted at DIR/NAME (/dev/ffs)",
         SetsDirectory(program.functionFsRoot)},
        {"--configfs-root", "DIR", "the gadgets' directory (/sys/kernel/config/usb_gadget)",
         SetsDirectory(program.configfsRoot)},
        {"--record-dir", "DIR",
         "on SIGUSR1 and at the end, write each handset's record to\n"
         "DIR/NAME/ and then the number of dumps so far to DIR/dumps",
         SetsDirectory(program.recordDir)},
        emulator::ClockScaleOption(program.clockScale),
    };
    emulator::AddHandsetSettings(options, current);
    options.push_back(command_line::HelpOption(program.bHelp));
    return options;
}

}  // namespace

bool ParseGadgetArguments(const std::vector<std::string>& args, GadgetHandsetProgram& program,
                          std::string& error) {
    emulator::HandsetSettings current;
    if (!command_line::ParseWithCli11(GadgetOptions(program, current), args, error)) {
        if (error == "unknown option --link") {
            error += " (a gadget is --gadget NAME:UDC)";  // the pty program's way
        }
        return false;
    }
    if (program.gadgets.empty() && !program.bHelp) {
        error = "no --gadget given";
        return false;
    }
    return true;
}

std::string GadgetHandsetUsage() {
    GadgetHandsetProgram program;
    emulator::HandsetSettings current;
    return kUsageIntro + command_line::FormatOptions(GadgetOptions(program, current), kHelpColumn);
}

}  // namespace vantorel::usb_vm
