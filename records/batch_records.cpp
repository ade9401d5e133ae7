#include "records/batch_records.h"

#include <cstdlib>

#include "records/batch_pruning.h"
#include "records/records_location.h"

namespace vantorel::records {

namespace {

namespace fs = std::filesystem;

// A unique folder for a batch that starts now.
fs::path NewBatchFolder(const fs::path& root) {
    const std::string name = BatchFolderName(std::chrono::system_clock::now());
    fs::path folder = root / name;
    std::error_code error;
    for (int n = 2; fs::exists(folder, error); ++n) {
        folder = root / (name + "-" + std::to_string(n));
    }
    return folder;
}

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

struct BatchRecords::Batch {
    fs::path folder;
    std::chrono::system_clock::time_point started;
    AppendFile mainLog;
    bool bMainAtLineStart = true;
    std::array<AppendFile, kRecordedSlots> slotLogs;
    std::array<bool, kRecordedSlots> bSlotAtLineStart{true, true, true, true,
                                                      true, true, true, true};
    AppendFile report;
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
}

BatchRecords::~BatchRecords() = default;

void BatchRecords::StartBatch(std::string_view mainLogSoFar) {
    auto batch = std::make_shared<Batch>();
    batch->folder = NewBatchFolder(m_settings.root);
    batch->started = std::chrono::system_clock::now();
    PruneBatches(m_settings.root, batch->folder.filename().string(), m_settings.sizeCap,
                 m_settings.maxAge);
    std::string say;
    {
        std::lock_guard lock(m_mutex);
        m_batch = batch;
        m_facts = {};
        // The folder is made now, so that it shows while the batch runs; its files come
        // with their first line.
        std::error_code error;
        fs::create_directories(batch->folder, error);
        if (error && Writable()) {
            Failed(batch->folder.string() + ": " + error.message(), say);
        }
        Write(batch->mainLog, batch->bMainAtLineStart, "main.log", mainLogSoFar, say);
    }
    Say(say);
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
            Write(m_batch->mainLog, m_batch->bMainAtLineStart, "main.log", text, say);
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
            const auto index = static_cast<size_t>(slot);
            Write(m_batch->slotLogs[index], m_batch->bSlotAtLineStart[index],
                  "slot-" + std::to_string(slot + 1) + ".log", text, say);
        }
    }
    Say(say);
}

void BatchRecords::SetImages(std::vector<ReportedImage> images) {
    std::lock_guard lock(m_mutex);
    for (const ReportedImage& image : images) {
        m_digests.Request(image.path);
    }
    m_images = std::move(images);
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
        m_pending.push_back({m_batch, std::move(report)});
        WritePending(say);
    }
    Say(say);
}

void BatchRecords::BatchEnded(BatchSummary summary) {
    std::string say;
    {
        std::lock_guard lock(m_mutex);
        if (!m_batch || !Writable()) {
            return;
        }
        summary.started = m_batch->started;
        std::string error;
        if (!ReplaceFile(m_batch->folder / "summary.json", SummaryText(summary), error)) {
            Failed(error, say);
        }
    }
    Say(say);
}

void BatchRecords::CopyReportTo(fs::path path) {
    std::string say;
    {
        std::lock_guard lock(m_mutex);
        std::string error;
        if (!path.empty() && !m_reportCopy.Open(path, error)) {
            Failed(error, say);
        }
    }
    Say(say);
}

bool BatchRecords::Writable() {
    if (!m_bPaused) {
        return true;
    }
    if (std::chrono::steady_clock::now() < m_retryAt) {
        return false;
    }
    m_bPaused = false;  // one more try; a failure pauses again without a word
    m_bResuming = m_bSaidPaused;
    return true;
}

void BatchRecords::Failed(const std::string& error, std::string& say) {
    m_bPaused = true;
    m_bResuming = false;
    m_retryAt = std::chrono::steady_clock::now() + m_settings.retryAfter;
    if (!m_bSaidPaused) {
        m_bSaidPaused = true;
        say = "Records on disk paused (" + error + "); the downloads go on.\r\n";
    }
}

void BatchRecords::Write(AppendFile& file, bool& bAtLineStart, const std::string& name,
                         std::string_view text, std::string& say) {
    if (text.empty() || !m_batch || !Writable()) {
        return;
    }
    std::string error;
    if (!file.IsOpen()) {
        std::error_code made;
        fs::create_directories(m_batch->folder, made);
        if (!file.Open(m_batch->folder / name, error)) {
            Failed(error, say);
            return;
        }
    }
    bool bLineStart = bAtLineStart;
    if (!file.Append(Stamped(text, bLineStart), error)) {
        Failed(error, say);
        return;
    }
    bAtLineStart = bLineStart;
    if (m_bResuming) {
        m_bResuming = false;
        m_bSaidPaused = false;
        say = "Records on disk resumed in " + m_batch->folder.string() + ".\r\n";
    }
}

void BatchRecords::WritePending(std::string& say) {
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        bool bReady = true;
        for (ReportedImage& image : it->report.images) {
            image.digest = m_digests.Get(image.path);
            bReady = bReady && image.digest.has_value();
        }
        if (!bReady) {
            ++it;
            continue;
        }
        const std::string line = ReportLine(it->report);
        Batch& batch = *it->batch;
        // A report line is written whole, without a time stamp in front.
        if (Writable()) {
            std::string error;
            if ((!batch.report.IsOpen() &&
                 !batch.report.Open(batch.folder / "report.jsonl", error)) ||
                !batch.report.Append(line, error)) {
                Failed(error, say);
            }
        }
        if (m_reportCopy.IsOpen()) {
            std::string error;
            m_reportCopy.Append(line, error);
        }
        it = m_pending.erase(it);
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
