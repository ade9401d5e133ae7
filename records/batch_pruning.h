#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

namespace vantorel::records {

// Removes the station's own batch folders under `root` (IsStationBatchFolder), oldest first
// (by name, which is the start time), while all of them together are larger than `sizeCap`
// bytes, and every one whose last change is older than `maxAge`. The folder named `keep`
// and any batch a station still runs (locked) are never removed, nor anything else under
// the root. Returns the names removed. Stops between folders when `stop` is asked.
std::vector<std::string> PruneBatches(const std::filesystem::path& root, const std::string& keep,
                                      uint64_t sizeCap, std::chrono::hours maxAge,
                                      std::stop_token stop = {});

}  // namespace vantorel::records
