#include "records/records_location.h"

#include <cstdio>
#include <ctime>

#include "base/xdg_folders.h"

namespace vantorel::records {

namespace {

std::tm UtcFields(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm fields{};
    gmtime_r(&seconds, &fields);
    return fields;
}

}  // namespace

std::filesystem::path DefaultRecordsRoot() {
    return StationFolder(XdgFolder::kState, "batches");
}

std::string BatchFolderName(std::chrono::system_clock::time_point start) {
    const std::tm fields = UtcFields(start);
    char name[32];
    std::strftime(name, sizeof name, "%Y-%m-%dT%H-%M-%SZ", &fields);
    return name;
}

bool IsBatchFolderName(std::string_view name) {
    // "2026-12-08T16-20-05Z": digits everywhere but these places.
    constexpr std::string_view kShape = "dddd-dd-ddTdd-dd-ddZ";
    if (name.size() < kShape.size()) {
        return false;
    }
    for (size_t i = 0; i < kShape.size(); ++i) {
        const bool bDigit = name[i] >= '0' && name[i] <= '9';
        if (kShape[i] == 'd' ? !bDigit : name[i] != kShape[i]) {
            return false;
        }
    }
    const std::string_view suffix = name.substr(kShape.size());
    if (suffix.empty()) {
        return true;
    }
    if (suffix.size() < 2 || suffix.size() > 6 || suffix[0] != '-' || suffix[1] == '0') {
        return false;
    }
    return suffix.substr(1).find_first_not_of("0123456789") == std::string_view::npos;
}

std::string IsoUtc(std::chrono::system_clock::time_point when) {
    const std::tm fields = UtcFields(when);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()) % 1000;
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &fields);
    std::snprintf(text + length, sizeof text - length, ".%03dZ",
                  static_cast<int>((millis.count() + 1000) % 1000));
    return text;
}

}  // namespace vantorel::records
