#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "command_line/command_option.h"
#include "emulator/handset_config.h"

namespace vantorel::emulator {

// The handset the settings read so far describe: settings stay in force, and each handset
// the command line names is served with a copy.
struct HandsetSettings {
    HandsetConfig config;
    HandsetFaults faults;
};

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

// Declares the handset settings and faults (--protocol-version ... --clear-faults), each
// changing `current` in the order given; the programs that serve handsets share them.
void AddHandsetSettings(std::vector<command_line::CommandOption>& options,
                        HandsetSettings& current);

// --clock-scale X: protocol time at X times real time, for every handset of the program.
command_line::CommandOption ClockScaleOption(double& clockScale);

// Reads the command line of vantorel-pty-handset (without the program name) with CLI11.
// Settings are taken in order and stay in force: each --link adds a handset with the
// settings given before it. False, with a message, on anything it does not understand.
bool ParseHandsetArguments(const std::vector<std::string>& args, PtyHandsetProgram& program,
                           std::string& error);

// Reads handset settings words alone (no --link, no --clock-scale) into `settings`.
bool ParseHandsetSettingWords(const std::vector<std::string>& words, HandsetSettings& settings,
                              std::string& error);

// The text vantorel-pty-handset --help prints.
std::string PtyHandsetUsage();

}  // namespace vantorel::emulator
