#include "tools/usb_vm/gadget_arguments.h"

#include "emulator/handset_arguments.h"

namespace vantorel::usb_vm {

const char* const kGadgetHandsetUsage =
    "usage: vantorel-gadget-handset [options] [settings] --gadget NAME:UDC [[settings] --gadget "
    "NAME:UDC ...]\n"
    "Serves emulated handsets in download mode as USB gadgets until killed: each is the\n"
    "configfs gadget NAME, whose FunctionFS instance NAME is mounted and not yet bound, and\n"
    "binds to the controller UDC. Needs root, configfs and FunctionFS.\n"
    "  --ffs-root DIR        FunctionFS instance NAME is mounted at DIR/NAME (/dev/ffs)\n"
    "  --configfs-root DIR   the gadgets' directory (/sys/kernel/config/usb_gadget)\n"
    "  --record-dir DIR      on SIGUSR1 and at the end, write each handset's record to\n"
    "                        DIR/NAME/ and then the number of dumps so far to DIR/dumps\n"
    "The handset settings and faults are those of vantorel-pty-handset, which lists them.\n";

namespace {

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

}  // namespace

bool ParseGadgetArguments(const std::vector<std::string>& args, GadgetHandsetProgram& program,
                          std::string& error) {
    // This program's own options are taken out; the handset settings go to the emulator's
    // own parser, with each gadget standing where the pty program has a link.
    std::vector<std::string> handsetArgs;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--link") {
            error = "unknown option --link (a gadget is --gadget NAME:UDC)";
            return false;
        }
        const bool own = option == "--gadget" || option == "--ffs-root" ||
                         option == "--configfs-root" || option == "--record-dir";
        if (!own) {
            handsetArgs.push_back(option);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "missing value after " + option;
            return false;
        }
        const std::string& value = args[++i];
        if (option == "--gadget") {
            GadgetSpec spec;
            if (!SplitGadget(value, spec)) {
                error = "bad value for --gadget: '" + value + "' (NAME:UDC)";
                return false;
            }
            handsetArgs.push_back("--link");
            handsetArgs.push_back(value);
        } else if (value.empty()) {
            error = "bad value for " + option + ": ''";
            return false;
        } else if (option == "--ffs-root") {
            program.functionFsRoot = value;
        } else if (option == "--configfs-root") {
            program.configfsRoot = value;
        } else {
            program.recordDir = value;
        }
    }

    emulator::PtyHandsetProgram handsets;
    if (!emulator::ParseHandsetArguments(handsetArgs, handsets, error)) {
        if (error == "no --link given") {
            error = "no --gadget given";  // the pty program's name for a handset
        }
        return false;
    }
    program.bHelp = handsets.bHelp;
    program.clockScale = handsets.clockScale;
    program.gadgets.clear();
    for (emulator::PtyHandsetSpec& handset : handsets.handsets) {
        GadgetSpec spec;
        if (!SplitGadget(handset.linkPath.string(), spec)) {
            error = "bad gadget '" + handset.linkPath.string() + "'";
            return false;
        }
        spec.config = std::move(handset.config);
        spec.faults = std::move(handset.faults);
        for (const GadgetSpec& earlier : program.gadgets) {
            if (earlier.name == spec.name || earlier.udcName == spec.udcName) {
                error = "gadget " + spec.name + " on " + spec.udcName + " given twice";
                return false;
            }
        }
        program.gadgets.push_back(std::move(spec));
    }
    return true;
}

}  // namespace vantorel::usb_vm
