#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantorel::records {

// Removes batch folders under `root`, oldest first (by name, which is the start time),
// while all of them together are larger than `sizeCap` bytes, and every folder whose last
// change is older than `maxAge`. The folder named `keep` is never removed. Returns the names
// removed.
std::vector<std::string> PruneBatches(const std::filesystem::path& root, const std::string& keep,
                                      uint64_t sizeCap, std::chrono::hours maxAge);

}  // namespace vantorel::records
