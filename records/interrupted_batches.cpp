#include "records/interrupted_batches.h"

#include <ctime>

#include "records/batch_folders.h"
#include "records/slot_report.h"

namespace vantorel::records {

namespace {

namespace fs = std::filesystem;

// The start time a batch folder's name gives ("2026-12-08T16-20-05Z...").
std::chrono::system_clock::time_point StartOfName(const std::string& name) {
    std::tm fields{};
    if (::strptime(name.c_str(), "%Y-%m-%dT%H-%M-%SZ", &fields) == nullptr) {
        return {};
    }
    return std::chrono::system_clock::from_time_t(::timegm(&fields));
}

// When the folder's newest file last changed; nothing when it holds no file.
std::optional<fs::file_time_type> LastChange(const fs::path& folder) {
    std::optional<fs::file_time_type> newest;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code timeError;
        const auto changed = it->last_write_time(timeError);
        if (!timeError && (!newest || changed > *newest)) {
            newest = changed;
        }
    }
    return newest;
}

// A summary of a shift that still ran when its station went is no summary of its end.
bool HasEndSummary(const fs::path& folder) {
    std::error_code error;
    if (!fs::exists(folder / "summary.json", error)) {
        return false;
    }
    const std::optional<std::string> text =
        ReadRecordFile(folder / "summary.json", kMostRecordBytes);
    return !text || !IsRunningSummary(*text);
}

}  // namespace

std::vector<std::string> MarkInterruptedBatches(const fs::path& root, const std::string& keep,
                                                const WriteFunction& write, std::stop_token stop) {
    std::vector<std::string> marked;
    std::error_code error;
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        if (stop.stop_requested()) {
            break;
        }
        const fs::path folder = it->path();
        const std::string name = folder.filename().string();
        if (name == keep || !IsStationBatchFolder(folder) || HasEndSummary(folder)) {
            continue;
        }
        // A folder just claimed holds no file yet: its station takes the lock before its
        // first line, so a folder with files and no lock holder has lost its station.
        const std::optional<fs::file_time_type> newest = LastChange(folder);
        const std::optional<BatchFolderLock> lock = BatchFolderLock::TryTake(folder);
        if (!newest || !lock || HasEndSummary(folder)) {
            continue;
        }
        const std::optional<std::string> report =
            ReadRecordFile(folder / "report.jsonl", kMostRecordBytes);
        BatchSummary summary = SummaryOfReport(report.value_or(std::string()));
        summary.started = StartOfName(name);
        summary.ended = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            fs::file_time_type::clock::to_sys(*newest));
        summary.end = "interrupted";
        std::string writeError;
        if (ReplaceFile(folder / "summary.json", SummaryText(summary), writeError, write)) {
            // The mark does not make an old batch new: its age stays its last line's.
            std::error_code timeError;
            fs::last_write_time(folder / "summary.json", *newest, timeError);
            fs::last_write_time(folder, *newest, timeError);
            marked.push_back(name);
        }
    }
    return marked;
}

}  // namespace vantorel::records
