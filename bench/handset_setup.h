#pragma once

#include <span>
#include <string>

#include "emulator/handset_config.h"

namespace vantorel::bench {

// How one emulated handset of the bench behaves: its boot loader's versions and the faults
// it has injected, as the emulator's settings words ("--protocol-version 20 --unplug-at 40").
struct HandsetSetup {
    emulator::HandsetConfig config;
    emulator::HandsetFaults faults;
    std::string strSettings;  // as given; empty for a handset without settings
};

// Reads emulator settings words, the ones vantorel-pty-handset takes before a --link, into a
// setup. The bench sets the clock and the port itself, so --clock-scale and --link are
// refused. False, with a message, on anything the emulator does not understand.
bool ParseHandsetSettings(const std::string& settings, HandsetSetup& setup, std::string& error);

// A fault the bench panel offers: a caption and the emulator settings that inject it.
struct FaultChoice {
    const char* caption;
    const char* settings;
};

// The first entry injects nothing. Packet numbers fall in the PDA image of the sample set.
std::span<const FaultChoice> FaultChoices();

}  // namespace vantorel::bench
