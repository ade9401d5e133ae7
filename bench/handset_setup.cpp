#include "bench/handset_setup.h"

#include <array>
#include <sstream>
#include <vector>

#include "emulator/handset_arguments.h"

namespace vantorel::bench {

namespace {

constexpr std::array<FaultChoice, 12> kFaultChoices{{
    {"no fault", ""},
    {"wrong checksum echo (packet 40)", "--wrong-sum-at 40"},
    {"short reply (packet 40)", "--short-reply-at 40"},
    {"no reply (packet 40)", "--missing-reply-at 40"},
    {"pulled mid-download (packet 40)", "--unplug-at 40"},
    {"refuses the EBoot flash", "--wrong-flash-reply 4"},
    {"refuses the PDA flash", "--wrong-flash-reply 1001"},
    {"PDA flash stalls", "--stall-flash 1001:1"},
    {"ignores 3 greetings", "--greeting-silent 3"},
    {"wrong greeting answer", "--greeting-wrong 1000"},
    {"no return after reboot", "--no-return-after-reboot"},
    {"slow flash (200 ms a step)", "--flash-step-ms 200"},
}};

}  // namespace

std::span<const FaultChoice> FaultChoices() {
    return kFaultChoices;
}

bool ParseHandsetSettings(const std::string& settings, HandsetSetup& setup, std::string& error) {
    std::vector<std::string> words;
    std::istringstream split(settings);
    for (std::string word; split >> word;) {
        if (word == "--link" || word == "--clock-scale" || word == "--help" || word == "-h") {
            error = "'" + word + "' is not a handset setting here (the bench sets it)";
            return false;
        }
        words.push_back(word);
    }
    emulator::HandsetSettings parsed;
    if (!emulator::ParseHandsetSettingWords(words, parsed, error)) {
        return false;
    }
    setup.config = std::move(parsed.config);
    setup.faults = std::move(parsed.faults);
    // The bench reads records often; digests keep that cheap and still compare exactly
    // enough with the image files.
    setup.config.recordMode = emulator::RecordMode::Digest;
    setup.strSettings = settings;
    return true;
}

}  // namespace vantorel::bench
