#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/file_digests.h"

namespace vantorel::records {

// One chosen image as a report names it.
struct ReportedImage {
    std::string kind;  // "eboot", "pda", "csc", "langpack", "phone", "smd"
    std::string path;
    std::optional<FileDigest> digest;  // unknown until its digest is done
};

// What became of one handset: a line of report.jsonl.
struct SlotReport {
    int slot = 0;  // 1 to 8
    std::string device;
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
    bool bDone = false;
    uint32_t status = 0;
    std::string statusText;
    uint64_t bytes = 0;
    std::optional<std::string> bootLoaderVersion;
    std::optional<uint32_t> protocolVersion;
    std::vector<ReportedImage> images;
};

struct BatchSummary {
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
    int detected = 0;
    int succeeded = 0;
    int failed = 0;
};

// One compact JSON object and a line feed.
std::string ReportLine(const SlotReport& report);
std::string SummaryText(const BatchSummary& summary);

// The report lines of a file that parse as JSON objects, in order: a line torn by a crash
// is skipped.
std::vector<std::string> ReadReportLines(const std::string& path);

}  // namespace vantorel::records
