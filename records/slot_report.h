#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/file_digests.h"

namespace vantorel::records {

// One chosen image as a report names it.
struct ReportedImage {
    std::string kind;  // "eboot", "pda", "csc", "langpack", "phone", "smd"
    std::string path;
    std::optional<FileDigest> digest;  // unknown until its digest is done
    // The station ended before the digest was done: the line says so instead of waiting.
    bool bDigestNotComputed = false;
};

// The CSC image a batch sent: the entry of a multi-CSC file (empty for a single image) and
// where it starts in the file.
struct SentCsc {
    std::string entry;
    uint32_t offset = 0;
};

// The language a batch sent with its language pack.
struct SentLanguage {
    uint32_t index = 0;
    std::string code;
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
    std::optional<SentCsc> csc;
    std::optional<SentLanguage> language;
};

struct BatchSummary {
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
    int detected = 0;
    int succeeded = 0;
    int failed = 0;
    // How the batch ended: "finished" (its last handset ended), "quit" (the station closed
    // mid-batch), "reset all" (reset before its handsets ended), "interrupted" (found without
    // a summary: the station was killed or the machine went down).
    std::string end = "finished";
};

// The end of a shift's summary while the shift goes on.
inline constexpr const char* kRunningEnd = "running";
// True when `text` is a summary whose end is kRunningEnd.
bool IsRunningSummary(std::string_view text);

// Report and log files larger than this are not read back.
inline constexpr uint64_t kMostRecordBytes = uint64_t{64} << 20;

// One compact JSON object and a line feed.
std::string ReportLine(const SlotReport& report);
std::string SummaryText(const BatchSummary& summary);

// The report lines of a text that parse as JSON objects, in order: a line torn by a crash
// is skipped.
std::vector<std::string> ReportLinesOf(std::string_view text);
// The same of a file: a regular file of at most kMostRecordBytes, read without blocking;
// nothing for anything else.
std::vector<std::string> ReadReportLines(const std::string& path);
// The counts of a batch's report lines (each one handset); the times are left to the caller.
BatchSummary SummaryOfReport(std::string_view text);

}  // namespace vantorel::records
