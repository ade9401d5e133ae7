#pragma once

#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

#include "records/append_file.h"

namespace vantorel::records {

// Gives each of the station's batch folders under `root` that has no summary, and whose
// batch no station runs now, a summary that says it was interrupted (a station killed, a
// machine gone down), with the counts of its report lines. The folder named `keep` is left
// alone. Returns the names marked.
std::vector<std::string> MarkInterruptedBatches(const std::filesystem::path& root,
                                                const std::string& keep,
                                                const WriteFunction& write = {},
                                                std::stop_token stop = {});

}  // namespace vantorel::records
