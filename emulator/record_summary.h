#pragma once

#include <string>

#include "emulator/flash_record.h"

namespace vantorel::emulator {

// The record as lines of "key=value" text, for a program that reports what its handsets
// flashed: counts first, then one line per flashed image with its length, byte sum and
// digest (the same in both record modes).
std::string SummarizeRecord(const FlashRecord& record);

}  // namespace vantorel::emulator
