#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace vantorel::records {

// Where the batch records live: $XDG_STATE_HOME/vantorel/batches, by default
// ~/.local/state/vantorel/batches (base/xdg_folders.h). Empty when there is no home.
std::filesystem::path DefaultRecordsRoot();

// A batch folder's name for its UTC start time, e.g. "2026-12-08T16-20-05Z": names sort
// in time order and need no quoting in a shell.
std::string BatchFolderName(std::chrono::system_clock::time_point start);
// Whether `name` is one the station gives its batch folders: a BatchFolderName, or one with
// "-<n>" after it when that name was taken.
bool IsBatchFolderName(std::string_view name);

// ISO 8601 in UTC with milliseconds, e.g. "2026-12-08T16:20:05.123Z".
std::string IsoUtc(std::chrono::system_clock::time_point when);

}  // namespace vantorel::records
