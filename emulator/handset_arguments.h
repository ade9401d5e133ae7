#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "emulator/handset_config.h"

namespace vantorel::emulator {

// One handset that the pty program serves.
struct PtyHandsetSpec {
    std::filesystem::path linkPath;
    HandsetConfig config;
    HandsetFaults faults;
};

struct PtyHandsetProgram {
    double clockScale = 1.0;
    std::vector<PtyHandsetSpec> handsets;
    bool bHelp = false;
};

// Reads the command line of vantorel-pty-handset (without the program name). Settings are
// taken in order and stay in force: each --link adds a handset with the settings given
// before it. False, with a message, on anything it does not understand.
bool ParseHandsetArguments(const std::vector<std::string>& args, PtyHandsetProgram& program,
                           std::string& error);

extern const char* const kPtyHandsetUsage;

}  // namespace vantorel::emulator
