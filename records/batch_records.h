#pragma once

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/append_file.h"
#include "records/file_digests.h"
#include "records/slot_report.h"

namespace vantorel::records {

struct RecordsSettings {
    std::filesystem::path root;            // the folder that holds the batch folders
    uint64_t sizeCap = uint64_t{1} << 30;  // all batch folders together, in bytes
    std::chrono::hours maxAge{24 * 90};
    // After a failed write, records rest this long before they try again.
    std::chrono::milliseconds retryAfter{5000};
};

inline constexpr int kRecordedSlots = 8;

// The records a batch leaves on disk, in a folder of its own under the root: the main log
// and each slot's log as they are written (every line with a UTC time in front), one report
// line per handset when its slot ends, and a summary when the batch ends. Nothing is ever
// deleted but whole old batch folders, beyond the size cap or the age.
//
// A disk that is full or a folder that cannot be written stops nothing but the records: the
// window is told once that they are paused, and they go on when writing works again.
// Safe to call from any thread.
class BatchRecords {
public:
    // `say` puts a line in the window's main log; it is called without the records' lock.
    BatchRecords(RecordsSettings settings, std::function<void(const std::string&)> say);
    ~BatchRecords();
    BatchRecords(const BatchRecords&) = delete;
    BatchRecords& operator=(const BatchRecords&) = delete;

    // A batch starts (Detect): a new folder, whose main log begins with `mainLogSoFar`.
    void StartBatch(std::string_view mainLogSoFar);
    std::filesystem::path Folder() const;  // of the current batch; empty before the first
    const std::filesystem::path& Root() const { return m_settings.root; }

    void AppendMainLog(std::string_view text);
    void AppendSlotLog(int slot, std::string_view text);  // slot 0 to 7

    // The images the batch's handsets get, at Start.
    void SetImages(std::vector<ReportedImage> images);
    FileDigests& Digests() { return m_digests; }

    // A slot ended. Its report line goes out as soon as its images' digests are done; the
    // caller leaves `images` and the versions to the records.
    void SlotEnded(SlotReport report);
    // The batch ended; `summary.started` is the batch's own start.
    void BatchEnded(BatchSummary summary);
    // Each report line also goes to this file (for scripts); empty: none.
    void CopyReportTo(std::filesystem::path path);

private:
    struct Batch;
    struct Pending {
        std::shared_ptr<Batch> batch;
        SlotReport report;
    };
    struct SlotFacts {
        std::optional<std::string> bootLoaderVersion;
        std::optional<uint32_t> protocolVersion;
    };

    // Under the lock. Each returns what to say, if anything.
    bool Writable();
    void Failed(const std::string& error, std::string& say);
    // Appends `text` to the batch's file `name`, opened (and its folder made) on first use.
    void Write(AppendFile& file, bool& bAtLineStart, const std::string& name, std::string_view text,
               std::string& say);
    void WritePending(std::string& say);
    void NoteFacts(std::string_view text);
    void Say(const std::string& text);

    const RecordsSettings m_settings;
    const std::function<void(const std::string&)> m_say;

    mutable std::mutex m_mutex;
    std::shared_ptr<Batch> m_batch;
    std::vector<ReportedImage> m_images;
    std::array<SlotFacts, kRecordedSlots> m_facts;
    std::vector<Pending> m_pending;
    AppendFile m_reportCopy;
    bool m_bPaused = false;
    bool m_bSaidPaused = false;  // the window was told; it hears of the resumption too
    bool m_bResuming = false;
    std::chrono::steady_clock::time_point m_retryAt;

    FileDigests m_digests;  // last: its threads end before anything they call into
};

}  // namespace vantorel::records
