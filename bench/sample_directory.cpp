#include "bench/sample_directory.h"

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>

#include "tools/make_images/sample_images.h"

namespace vantorel::bench {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSampleSeed = 7;
// Written last: a set without it (or with another text) is written again.
constexpr const char* kMarkerName = ".vantorel-sample-set";
constexpr const char* kMarkerText = "vantorel sample set 1, seed 7\n";

bool HasCompleteSet(const std::string& directory) {
    std::ifstream marker(fs::path(directory) / kMarkerName);
    const std::string text((std::istreambuf_iterator<char>(marker)),
                           std::istreambuf_iterator<char>());
    std::error_code ignored;
    return text == kMarkerText && fs::is_regular_file(SampleEbootPath(directory), ignored) &&
           fs::is_regular_file(SamplePdaPath(directory), ignored);
}

}  // namespace

std::string DefaultSampleDirectory() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (dataHome != nullptr && dataHome[0] == '/') {
        base = dataHome;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = fs::path(home) / ".local" / "share";
    } else {
        base = fs::temp_directory_path() / ("vantorel-" + std::to_string(::getuid()));
    }
    return (base / "vantorel" / "sample-images").string();
}

std::string SampleEbootPath(const std::string& directory) {
    return (fs::path(directory) / "eboot.eb0").string();
}

std::string SamplePdaPath(const std::string& directory) {
    return (fs::path(directory) / "pda.nb0").string();
}

bool EnsureSampleSet(const std::string& directory, std::string& error) {
    if (HasCompleteSet(directory)) {
        return true;
    }
    try {
        fs::remove(fs::path(directory) / kMarkerName);
        tools::WriteSampleSet(directory, tools::SampleSizes{}, kSampleSeed);
        std::ofstream marker(fs::path(directory) / kMarkerName, std::ios::trunc);
        marker << kMarkerText;
        if (!marker.flush()) {
            error = "cannot write in " + directory;
            return false;
        }
    } catch (const std::exception& failure) {
        error = "cannot write the sample images into " + directory + ": " + failure.what();
        return false;
    }
    return true;
}

}  // namespace vantorel::bench
