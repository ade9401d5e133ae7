#pragma once

#include <string>
#include <vector>

#include "bench/bench_arguments.h"
#include "emulator/flash_check.h"

namespace vantorel::bench {

// The image files a run chooses, one per kind: EBoot and PDA of --images DIR (the set is
// written there first if missing), then the files named per kind, a later one replacing an
// earlier one of its kind. With nothing named and `bSampleWhenNone`, EBoot and PDA of the
// sample set in `sampleDirectory`. False, with the reason, when a set cannot be written or the
// folder holds files the bench did not write.
bool PlanImages(const BenchArguments& args, const std::string& sampleDirectory,
                bool bSampleWhenNone, std::vector<emulator::ChosenImage>& chosen,
                std::string& error);

}  // namespace vantorel::bench
