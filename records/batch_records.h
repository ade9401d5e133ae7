#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
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
    // How bytes reach the files; empty: ::write. Tests put a disk that fills here.
    WriteFunction write;
    // The time batch folders are named by; empty: the system clock.
    std::function<std::chrono::system_clock::time_point()> now;
};

inline constexpr int kRecordedSlots = 8;

// The records a batch leaves on disk, in a folder of its own under the root: the main log
// and each slot's log as they are written (every line with a UTC time in front), one report
// line per handset when its slot ends, and a summary when the batch ends, however it ends.
// Nothing is ever deleted but the station's own old batch folders, beyond the size cap or
// the age, on a thread of the records' own.
//
// A disk that is full or a folder that cannot be written stops nothing but the records: the
// window is told once per batch that they are paused, and they go on when writing works
// again. A failed write leaves no part of its line behind: a report line waits and is
// written whole later, a log marks the lines it missed. Safe to call from any thread.
class BatchRecords {
public:
    // `say` puts a line in the window's main log; it is called without the records' lock,
    // from the caller's thread or the records' own.
    BatchRecords(RecordsSettings settings, std::function<void(const std::string&)> say);
    // Writes every report line still waiting (a digest not done is marked so) and the
    // summary of a batch that did not end ("quit").
    ~BatchRecords();
    BatchRecords(const BatchRecords&) = delete;
    BatchRecords& operator=(const BatchRecords&) = delete;

    // A batch starts (Detect): a new folder, whose main log begins with `mainLogSoFar`.
    void StartBatch(std::string_view mainLogSoFar);
    std::filesystem::path Folder() const;  // of the current batch; empty before it has one
    const std::filesystem::path& Root() const { return m_settings.root; }

    void AppendMainLog(std::string_view text);
    void AppendSlotLog(int slot, std::string_view text);  // slot 0 to 7

    // The images the batch's handsets get, and the CSC entry and language sent, at Start.
    void SetImages(std::vector<ReportedImage> images, std::optional<SentCsc> csc = std::nullopt,
                   std::optional<SentLanguage> language = std::nullopt);
    FileDigests& Digests() { return m_digests; }

    // A slot ended. Its report line goes out as soon as its images' digests are done; the
    // caller leaves `images`, the versions and what was sent to the records.
    void SlotEnded(SlotReport report);
    // The batch ended, as `summary.end` says; `summary.started` is the batch's own start.
    // A batch ends once: later calls for it change nothing.
    void BatchEnded(BatchSummary summary);
    // Each report line also goes to this file (for scripts); empty: none. A file that cannot
    // be written is said in the main log and pauses nothing; false then.
    bool CopyReportTo(std::filesystem::path path);

    // Each report line once it is complete and each summary when its batch ends, before they
    // are written, so a live view hears of them while writing is paused. Called with the
    // records' lock held, from any thread: a listener must not block or call the records.
    struct Listener {
        std::function<void(const std::string& reportLine)> reportLine;
        std::function<void(const std::string& summary)> summary;
    };
    void SetListener(Listener listener);

    // Waits until the old folders' upkeep asked for so far (at each batch start: its lines go
    // to the new batch's main log) is done.
    void WaitForUpkeep();

private:
    struct Batch;
    struct LogFile;
    struct Pending {
        std::shared_ptr<Batch> batch;
        SlotReport report;
        bool bHeard = false;  // by the listener
    };
    struct SlotFacts {
        std::optional<std::string> bootLoaderVersion;
        std::optional<uint32_t> protocolVersion;
    };

    // Under the lock. Each adds what to say, if anything, to `say`.
    bool Writable();
    void Failed(const std::string& error, std::string& say);
    void NotePaused(std::string& say);
    void NoteWritten(std::string& say);
    bool HasFolder(Batch& batch, std::string& say);
    void Write(Batch& batch, LogFile& log, std::string_view text, std::string& say);
    // Runs `write` in the batch's folder unless the records are paused; false when nothing
    // was written.
    bool WriteInFolder(Batch& batch, std::string& say,
                       const std::function<bool(std::string& error)>& write);
    // Writes the report lines whose digests are done (all of them when `bFinal`), in order,
    // and the summaries that wait; stops at the first that cannot be written.
    void WritePending(std::string& say, bool bFinal = false);
    void CopyLines(std::string& say);
    void EndBatch(const std::shared_ptr<Batch>& batch, BatchSummary summary);
    // Ends the current batch, when it has not ended, with counts from its report lines.
    void EndUnendedBatch(const char* end);
    void NoteFacts(std::string_view text);
    std::chrono::system_clock::time_point Now() const;
    void Say(const std::string& text);

    // The records' own thread: marks interrupted batches and prunes old ones.
    void Upkeep(std::stop_token stop);
    void RequestUpkeep(std::string keep);

    const RecordsSettings m_settings;
    const std::function<void(const std::string&)> m_say;

    mutable std::mutex m_mutex;
    std::shared_ptr<Batch> m_batch;
    std::vector<ReportedImage> m_images;
    std::optional<SentCsc> m_sentCsc;
    std::optional<SentLanguage> m_sentLanguage;
    std::array<SlotFacts, kRecordedSlots> m_facts;
    std::vector<Pending> m_pending;
    Listener m_listener;
    std::vector<std::shared_ptr<Batch>> m_unsummarised;  // ended, summary not yet on disk
    bool m_bPaused = false;
    bool m_bSaidPaused = false;  // the window was told; it hears of the resumption too
    bool m_bResuming = false;
    std::string m_pauseReason;
    std::chrono::steady_clock::time_point m_retryAt;

    // The copy for scripts, apart from the batch's own records: its failures pause nothing.
    AppendFile m_reportCopy;
    std::filesystem::path m_reportCopyPath;
    std::deque<std::string> m_copyBacklog;
    bool m_bCopySaidFailed = false;

    std::mutex m_upkeepMutex;
    std::condition_variable_any m_upkeepChanged;
    uint64_t m_upkeepAsked = 0;
    uint64_t m_upkeepDone = 0;
    std::string m_upkeepKeep;

    FileDigests m_digests;
    std::jthread m_upkeep;  // last: it starts when everything else exists
};

}  // namespace vantorel::records
