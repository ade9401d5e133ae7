#include "records/batch_records.h"

#include <algorithm>
#include <cstdlib>

#include "records/batch_folders.h"
#include "records/batch_pruning.h"
#include "records/interrupted_batches.h"
#include "records/records_location.h"

namespace vantorel::records {

namespace {

namespace fs = std::filesystem;

// Report lines the copy for scripts keeps while its file cannot be written.
constexpr size_t kMostCopyBacklog = 4096;

// `text` with the time in front of every line that starts in it.
std::string Stamped(std::string_view text, bool& bAtLineStart) {
    const std::string stamp = IsoUtc(std::chrono::system_clock::now()) + " ";
    std::string stamped;
    stamped.reserve(text.size() + stamp.size());
    for (const char c : text) {
        if (bAtLineStart) {
            stamped += stamp;
            bAtLineStart = false;
        }
        stamped += c;
        bAtLineStart = c == '\n';
    }
    return stamped;
}

// The slot (0 to 7) of a "[Setup:<n>]..." line, whose n counts from 1.
std::optional<int> SetupSlot(std::string_view line) {
    constexpr std::string_view kSetup = "[Setup:";
    if (!line.starts_with(kSetup)) {
        return std::nullopt;
    }
    const int slot = std::atoi(std::string(line.substr(kSetup.size(), 2)).c_str());
    return slot >= 1 && slot <= kRecordedSlots ? std::optional(slot - 1) : std::nullopt;
}

}  // namespace

// One log file of a batch, and what it could not take while the records were paused.
struct BatchRecords::LogFile {
    explicit LogFile(std::string fileName, const WriteFunction& write)
        : name(std::move(fileName)), file(write) {}

    std::string name;
    AppendFile file;
    bool bAtLineStart = true;
    size_t lostLineEnds = 0;
    bool bLost = false;
    bool bLostPartLine = false;  // what was lost last did not end its line

    void Lose(std::string_view text) {
        if (text.empty()) {
            return;
        }
        bLost = true;
        lostLineEnds += static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
        bLostPartLine = !text.ends_with('\n');
    }
    // The line that marks the gap, before what comes after it.
    std::string GapLine() const {
        return "[Records] " + std::to_string(lostLineEnds + (bLostPartLine ? 1 : 0)) +
               " line(s) missing here: records on disk were paused.\r\n";
    }
};

struct BatchRecords::Batch {
    Batch(std::string folderName, std::chrono::system_clock::time_point start,
          const WriteFunction& write)
        : name(std::move(folderName)), started(start), mainLog("main.log", write), report(write) {
        for (int slot = 0; slot < kRecordedSlots; ++slot) {
            slotLogs.emplace_back("slot-" + std::to_string(slot + 1) + ".log", write);
        }
    }

    std::string name;      // the name asked for; the folder may have a suffix
    fs::path folder;       // empty until claimed
    BatchFolderLock lock;  // held while the batch is this station's
    std::chrono::system_clock::time_point started;
    LogFile mainLog;
    std::vector<LogFile> slotLogs;
    AppendFile report;
    bool bSaidPaused = false;  // this batch's main log was told the records are paused
    bool bEnded = false;
    std::optional<BatchSummary> summary;  // when ended
    int done = 0;
    int failed = 0;
};

BatchRecords::BatchRecords(RecordsSettings settings, std::function<void(const std::string&)> say)
    : m_settings(std::move(settings)), m_say(std::move(say)) {
    m_digests.SetOnDone([this] {
        std::string say;
        {
            std::lock_guard lock(m_mutex);
            WritePending(say);
        }
        Say(say);
    });
    m_upkeep = std::jthread([this](std::stop_token stop) { Upkeep(stop); });
}

BatchRecords::~BatchRecords() {
    m_upkeep.request_stop();
    if (m_upkeep.joinable()) {
        m_upkeep.join();
    }
    m_digests.Stop();
    std::lock_guard lock(m_mutex);
    EndUnendedBatch("quit");
    // One last try whatever the pause; the window is going, nothing is said.
    m_bPaused = false;
    std::string unsaid;
    WritePending(unsaid, true);
    // Logs that missed lines since their last one say so at their end.
    if (m_batch) {
        Write(*m_batch, m_batch->mainLog, "", unsaid);
        for (LogFile& log : m_batch->slotLogs) {
            Write(*m_batch, log, "", unsaid);
        }
    }
}

std::chrono::system_clock::time_point BatchRecords::Now() const {
    return m_settings.now ? m_settings.now() : std::chrono::system_clock::now();
}

void BatchRecords::StartBatch(std::string_view mainLogSoFar) {
    std::string say;
    std::string keep;
    {
        std::lock_guard lock(m_mutex);
        EndUnendedBatch("interrupted");  // Detect again before the last batch ended
        const auto started = Now();
        m_batch = std::make_shared<Batch>(BatchFolderName(started), started, m_settings.write);
        m_facts = {};
        // The folder is claimed now, before anything else, so that it shows while the
        // batch runs and no other station takes its name; its files come with their first
        // line.
        if (Writable()) {
            HasFolder(*m_batch, say);
        } else {
            NotePaused(say);
        }
        Write(*m_batch, m_batch->mainLog, mainLogSoFar, say);
        WritePending(say);
        keep = m_batch->folder.empty() ? m_batch->name : m_batch->folder.filename().string();
    }
    Say(say);
    RequestUpkeep(keep);
}

fs::path BatchRecords::Folder() const {
    std::lock_guard lock(m_mutex);
    return m_batch ? m_batch->folder : fs::path();
}

void BatchRecords::AppendMainLog(std::string_view text) {
    std::string say;
    {
        std::lock_guard lock(m_mutex);
        NoteFacts(text);
        if (m_batch) {
            Write(*m_batch, m_batch->mainLog, text, say);
        }
    }
    Say(say);
}

void BatchRecords::AppendSlotLog(int slot, std::string_view text) {
    if (slot < 0 || slot >= kRecordedSlots) {
        return;
    }
    std::string say;
    {
        std::lock_guard lock(m_mutex);
        if (m_batch) {
            Write(*m_batch, m_batch->slotLogs[static_cast<size_t>(slot)], text, say);
        }
    }
    Say(say);
}

void BatchRecords::SetImages(std::vector<ReportedImage> images, std::optional<SentCsc> csc,
                             std::optional<SentLanguage> language) {
    std::lock_guard lock(m_mutex);
    for (const ReportedImage& image : images) {
        m_digests.Request(image.path);
    }
    m_images = std::move(images);
    m_sentCsc = std::move(csc);
    m_sentLanguage = std::move(language);
}

void BatchRecords::SlotEnded(SlotReport report) {
    std::string say;
    {
        std::lock_guard lock(m_mutex);
        if (!m_batch || report.slot < 1 || report.slot > kRecordedSlots) {
            return;
        }
        SlotFacts& facts = m_facts[static_cast<size_t>(report.slot - 1)];
        report.bootLoaderVersion = facts.bootLoaderVersion;
        report.protocolVersion = facts.protocolVersion;
        facts = {};
        report.images = m_images;
        report.csc = m_sentCsc;
        report.language = m_sentLanguage;
        (report.bDone ? m_batch->done : m_batch->failed) += 1;
        m_pending.push_back({m_batch, std::move(report)});
        WritePending(say);
    }
    Say(say);
}

void BatchRecords::BatchEnded(BatchSummary summary) {
    std::string say;
    {
        std::lock_guard lock(m_mutex);
        if (!m_batch || m_batch->bEnded) {
            return;
        }
        EndBatch(m_batch, std::move(summary));
        WritePending(say);
    }
    Say(say);
}

void BatchRecords::EndUnendedBatch(const char* end) {
    if (m_batch && !m_batch->bEnded) {
        BatchSummary summary;
        summary.ended = Now();
        summary.end = end;
        EndBatch(m_batch, std::move(summary));
    }
}

void BatchRecords::EndBatch(const std::shared_ptr<Batch>& batch, BatchSummary summary) {
    summary.started = batch->started;
    if (summary.end != "finished" && summary.detected == 0) {
        // Who ended it early may not know the counts: the report lines do.
        summary.detected = batch->done + batch->failed;
        summary.succeeded = batch->done;
        summary.failed = batch->failed;
    }
    batch->bEnded = true;
    batch->summary = std::move(summary);
    m_unsummarised.push_back(batch);
    if (m_listener.summary) {
        m_listener.summary(SummaryText(*batch->summary));
    }
}

void BatchRecords::SetListener(Listener listener) {
    std::lock_guard lock(m_mutex);
    m_listener = std::move(listener);
}

bool BatchRecords::CopyReportTo(fs::path path) {
    std::string say;
    bool bOpened = true;
    {
        std::lock_guard lock(m_mutex);
        m_reportCopy.Close();
        m_reportCopyPath = path;
        m_copyBacklog.clear();
        m_bCopySaidFailed = false;
        std::string error;
        if (!path.empty() && !m_reportCopy.Open(path, error)) {
            m_bCopySaidFailed = true;
            bOpened = false;
            say = "Report copy not written (" + error + "); the batch's own records go on.\r\n";
        }
    }
    Say(say);
    return bOpened;
}

void BatchRecords::WaitForUpkeep() {
    std::unique_lock lock(m_upkeepMutex);
    m_upkeepChanged.wait(lock, [this] { return m_upkeepDone == m_upkeepAsked; });
}

void BatchRecords::RequestUpkeep(std::string keep) {
    {
        std::lock_guard lock(m_upkeepMutex);
        ++m_upkeepAsked;
        m_upkeepKeep = std::move(keep);
    }
    m_upkeepChanged.notify_all();
}

void BatchRecords::Upkeep(std::stop_token stop) {
    std::unique_lock lock(m_upkeepMutex);
    for (;;) {
        m_upkeepChanged.wait(lock, stop, [this] { return m_upkeepAsked != m_upkeepDone; });
        if (stop.stop_requested()) {
            m_upkeepDone = m_upkeepAsked;
            m_upkeepChanged.notify_all();
            return;
        }
        const uint64_t asked = m_upkeepAsked;
        const std::string keep = m_upkeepKeep;
        lock.unlock();
        if (!m_settings.root.empty()) {
            for (const std::string& name :
                 MarkInterruptedBatches(m_settings.root, keep, m_settings.write, stop)) {
                Say("Batch records without a summary marked interrupted: " +
                    (m_settings.root / name).string() + "\r\n");
            }
            for (const std::string& name :
                 PruneBatches(m_settings.root, keep, m_settings.sizeCap, m_settings.maxAge, stop)) {
                Say("Old batch records removed: " + (m_settings.root / name).string() + "\r\n");
            }
        }
        lock.lock();
        m_upkeepDone = asked;
        m_upkeepChanged.notify_all();
    }
}

bool BatchRecords::Writable() {
    if (!m_bPaused) {
        return true;
    }
    if (std::chrono::steady_clock::now() < m_retryAt) {
        return false;
    }
    m_bPaused = false;  // one more try; a failure pauses again
    m_bResuming = m_bSaidPaused;
    return true;
}

void BatchRecords::Failed(const std::string& error, std::string& say) {
    m_bPaused = true;
    m_bResuming = false;
    m_retryAt = std::chrono::steady_clock::now() + m_settings.retryAfter;
    m_pauseReason = error;
    NotePaused(say);
}

void BatchRecords::NotePaused(std::string& say) {
    // Once per batch: each batch's main log says why lines are missing from it.
    if (m_batch && !m_batch->bSaidPaused) {
        m_batch->bSaidPaused = true;
        m_bSaidPaused = true;
        say += "Records on disk paused (" + m_pauseReason + "); the downloads go on.\r\n";
    }
}

void BatchRecords::NoteWritten(std::string& say) {
    if (m_bResuming) {
        m_bResuming = false;
        m_bSaidPaused = false;
        say += "Records on disk resumed in " + (m_batch ? m_batch->folder.string() : "") + ".\r\n";
    }
}

bool BatchRecords::HasFolder(Batch& batch, std::string& say) {
    if (!batch.folder.empty()) {
        return true;
    }
    std::string error;
    std::optional<ClaimedFolder> claimed = ClaimBatchFolder(m_settings.root, batch.name, error);
    if (!claimed) {
        Failed(error, say);
        return false;
    }
    batch.folder = std::move(claimed->folder);
    batch.lock = std::move(claimed->lock);
    return true;
}

bool BatchRecords::WriteInFolder(Batch& batch, std::string& say,
                                 const std::function<bool(std::string& error)>& write) {
    if (!Writable()) {
        NotePaused(say);
        return false;
    }
    if (!HasFolder(batch, say)) {
        return false;
    }
    std::string error;
    if (!write(error)) {
        Failed(error, say);
        return false;
    }
    NoteWritten(say);
    return true;
}

void BatchRecords::Write(Batch& batch, LogFile& log, std::string_view text, std::string& say) {
    if (text.empty() && !log.bLost) {
        return;
    }
    if (!Writable()) {
        log.Lose(text);
        NotePaused(say);
        return;
    }
    std::string error;
    if (!HasFolder(batch, say)) {
        log.Lose(text);
        return;
    }
    if (!log.file.IsOpen() && !log.file.Open(batch.folder / log.name, error)) {
        Failed(error, say);
        log.Lose(text);
        return;
    }
    bool bLineStart = log.bAtLineStart;
    std::string stamped;
    if (log.bLost) {
        if (!bLineStart) {
            stamped = "\r\n";  // ends the line whose rest was lost
        }
        bLineStart = true;
        stamped += Stamped(log.GapLine(), bLineStart);
        bLineStart = true;  // what comes next may be the rest of a lost line: it is stamped
    }
    stamped += Stamped(text, bLineStart);
    // One append: the gap's mark and the text reach the file together or not at all.
    if (!log.file.Append(stamped, error)) {
        Failed(error, say);
        log.Lose(text);
        return;
    }
    log.bAtLineStart = bLineStart;
    log.bLost = false;
    log.lostLineEnds = 0;
    log.bLostPartLine = false;
    NoteWritten(say);
}

void BatchRecords::WritePending(std::string& say, bool bFinal) {
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        bool bReady = true;
        for (ReportedImage& image : it->report.images) {
            image.digest = m_digests.Get(image.path);
            image.bDigestNotComputed = bFinal && !image.digest;
            bReady = bReady && (image.digest.has_value() || bFinal);
        }
        if (!bReady) {
            ++it;
            continue;
        }
        const std::string line = ReportLine(it->report);
        if (!it->bHeard && m_listener.reportLine) {
            it->bHeard = true;
            m_listener.reportLine(line);
        }
        Batch& batch = *it->batch;
        // A report line is written whole, without a time stamp in front; one that cannot
        // be written waits, and the lines after it wait behind it.
        const bool bWritten = WriteInFolder(batch, say, [&](std::string& error) {
            return (batch.report.IsOpen() ||
                    batch.report.Open(batch.folder / "report.jsonl", error)) &&
                   batch.report.Append(line, error);
        });
        if (!bWritten) {
            return;
        }
        if (!m_reportCopyPath.empty()) {
            if (m_copyBacklog.size() == kMostCopyBacklog) {
                m_copyBacklog.pop_front();
            }
            m_copyBacklog.push_back(line);
        }
        it = m_pending.erase(it);
    }
    CopyLines(say);
    for (auto it = m_unsummarised.begin(); it != m_unsummarised.end();) {
        Batch& batch = **it;
        const bool bLinesWaiting =
            std::any_of(m_pending.begin(), m_pending.end(),
                        [&](const Pending& pending) { return pending.batch.get() == &batch; });
        if (bLinesWaiting && !bFinal) {
            ++it;  // the summary comes after the batch's report lines
            continue;
        }
        const bool bWritten = WriteInFolder(batch, say, [&](std::string& error) {
            return ReplaceFile(batch.folder / "summary.json", SummaryText(*batch.summary), error,
                               m_settings.write);
        });
        if (!bWritten) {
            return;
        }
        it = m_unsummarised.erase(it);
    }
}

void BatchRecords::CopyLines(std::string& say) {
    while (!m_copyBacklog.empty()) {
        std::string error;
        if ((m_reportCopy.IsOpen() || m_reportCopy.Open(m_reportCopyPath, error)) &&
            m_reportCopy.Append(m_copyBacklog.front(), error)) {
            m_copyBacklog.pop_front();
            if (m_bCopySaidFailed) {
                m_bCopySaidFailed = false;
                say += "Report copy written again: " + m_reportCopyPath.string() + ".\r\n";
            }
            continue;
        }
        if (!m_bCopySaidFailed) {
            m_bCopySaidFailed = true;
            say += "Report copy not written (" + error + "); the batch's own records go on.\r\n";
        }
        return;
    }
}

void BatchRecords::NoteFacts(std::string_view text) {
    constexpr std::string_view kBootLoader = "] Target Device EBOOT version = ";
    constexpr std::string_view kProtocol = "] BootLoader requires downloaer tool version ";
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::optional<int> slot = SetupSlot(line);
        if (!slot) {
            continue;
        }
        SlotFacts& facts = m_facts[static_cast<size_t>(*slot)];
        if (const size_t at = line.find(kBootLoader); at != std::string_view::npos) {
            facts.bootLoaderVersion = std::string(line.substr(at + kBootLoader.size(), 4));
        } else if (const size_t at = line.find(kProtocol); at != std::string_view::npos) {
            facts.protocolVersion = static_cast<uint32_t>(
                std::strtoul(std::string(line.substr(at + kProtocol.size())).c_str(), nullptr, 10));
        }
    }
}

void BatchRecords::Say(const std::string& text) {
    if (!text.empty() && m_say) {
        m_say(text);
    }
}

}  // namespace vantorel::records
