#pragma once

#include <filesystem>
#include <string>

namespace vantorel::console {

// Where the window station serves its live page and API when its command line names no
// address: "line/http" in the settings file, e.g. "http=127.0.0.1:8080" under "[line]".
// Empty when the key is missing or the file is missing or not usable.
std::string LoadHttpSetting(const std::filesystem::path& file);

}  // namespace vantorel::console
