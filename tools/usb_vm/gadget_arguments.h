#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "emulator/handset_config.h"

namespace vantorel::usb_vm {

// One handset served as a configfs gadget whose FunctionFS instance has the same name.
struct GadgetSpec {
    std::string name;
    std::string udcName;  // the controller it binds to, as listed in /sys/class/udc
    emulator::HandsetConfig config;
    emulator::HandsetFaults faults;
};

struct GadgetHandsetProgram {
    double clockScale = 1.0;
    std::filesystem::path functionFsRoot = "/dev/ffs";  // instance NAME is mounted at ROOT/NAME
    std::filesystem::path configfsRoot = "/sys/kernel/config/usb_gadget";
    std::filesystem::path recordDir;  // empty: no record files
    std::vector<GadgetSpec> gadgets;
    bool bHelp = false;
};

// Reads the command line of vantorel-gadget-handset (without the program name) with CLI11. Each
// --gadget NAME:UDC adds a handset with the handset settings given before it, exactly as
// vantorel-pty-handset's --link does. False, with a message, on anything it does not
// understand.
bool ParseGadgetArguments(const std::vector<std::string>& args, GadgetHandsetProgram& program,
                          std::string& error);

// The text vantorel-gadget-handset --help prints.
std::string GadgetHandsetUsage();

}  // namespace vantorel::usb_vm
