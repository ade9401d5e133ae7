#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "emulator/flash_record.h"
#include "emulator/handset_config.h"
#include "images/image_kind.h"

namespace vantorel::emulator {

// One image file chosen for a run.
struct ChosenImage {
    images::ImageKind kind;
    std::string path;
    // A multi-CSC file: the entry picked in the station's CSC list.
    size_t cscEntry = 0;
};

// Compares what a handset flashed with the chosen files, the way the station sends them:
// the boot loader and the modem image whole; the CSC image from its offset (a multi-CSC
// file's chosen entry); the PDA image turn by turn and the language pack, both without
// their headers; the SMD image block by block, its blocks after the 2048-byte header filling
// the SMD ranges in order. `smdRanges` are the ranges the handset handed out; without them
// the ranges are taken from the block writes the record shows. One line per difference;
// empty when everything matches.
std::vector<std::string> CheckFlashed(const FlashRecord& record,
                                      const std::vector<ChosenImage>& chosen,
                                      std::span<const SmdRange> smdRanges = {});

// A short account for the operator: "EBoot 64 KiB, PDA 1024 KiB (1 turn), launched".
std::string DescribeFlashed(const FlashRecord& record);

}  // namespace vantorel::emulator
