#pragma once

#include <string>
#include <vector>

#include "emulator/flash_record.h"
#include "images/image_kind.h"

namespace vantorel::bench {

// One image file chosen for a run.
struct ChosenImage {
    images::ImageKind kind;
    std::string path;
};

// Compares what a handset flashed with the chosen files, the way the station sends them:
// the boot loader, CSC and modem image whole, the PDA image and the language pack without
// their headers. One line per difference; empty when everything matches. A multi-CSC file
// and the SMD image are only checked for having been flashed at all.
std::vector<std::string> CheckFlashed(const emulator::FlashRecord& record,
                                      const std::vector<ChosenImage>& chosen);

// A short account for the operator: "EBoot 64 KiB, PDA 1024 KiB (1 turn), launched".
std::string DescribeFlashed(const emulator::FlashRecord& record);

}  // namespace vantorel::bench
