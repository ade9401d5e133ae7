#include "records/records_location.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

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
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::filesystem::path(state) / "vantorel" / "batches";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::filesystem::path(home) / ".local" / "state" / "vantorel" / "batches";
    }
    return {};
}

std::string BatchFolderName(std::chrono::system_clock::time_point start) {
    const std::tm fields = UtcFields(start);
    char name[32];
    std::strftime(name, sizeof name, "%Y-%m-%dT%H-%M-%SZ", &fields);
    return name;
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
