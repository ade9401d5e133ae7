#include "benchmarks/station_batches.h"

#include <QAbstractButton>
#include <chrono>

#include "console/control_ids.h"

namespace vantorel::benchmarks {

namespace {

using namespace std::chrono_literals;

// Generous bounds: at clock scale 0 a batch of the benchmark's images takes well under one
// second on this machine; only a station that lost a handset comes near them.
constexpr std::chrono::milliseconds kAttachBound = 10s;
constexpr std::chrono::milliseconds kBatchBound = 300s;

std::vector<bench::HandsetSetup> DigestHandsets() {
    std::vector<bench::HandsetSetup> setups(bench::kBenchSlots);
    for (bench::HandsetSetup& setup : setups) {
        setup.config.recordMode = emulator::RecordMode::Digest;
    }
    return setups;
}

std::string LastLines(const std::string& text, int count) {
    size_t from = text.size();
    for (int line = 0; line <= count && from > 0; ++line) {
        from = text.rfind('\n', from - 1);
        if (from == std::string::npos) {
            return text;
        }
    }
    return text.substr(from + 1);
}

void Press(console::CVantorelDlg& dlg, int id) {
    dlg.Controls().As<QAbstractButton>(id)->click();
}

}  // namespace

StationBatches::StationBatches(std::vector<emulator::ChosenImage> images)
    : m_images(std::move(images)),
      m_bench(bench::LinkChoice::Bulk, {}, DigestHandsets(), 0.0),
      m_console(ConsolePlatform{m_bench.Directory(), m_bench.Serial(), m_bench.Bulk(),
                                m_bench.OffersBulkLinks(), m_bench.GetClock(), &m_bench.Hotplug()}),
      m_script(m_console.Dlg(), m_console.Prompts()) {}

bool StationBatches::ChooseImages(std::string& error) {
    for (const emulator::ChosenImage& image : m_images) {
        if (!m_script.ChooseImage(image.kind, image.path, error)) {
            return false;
        }
    }
    return true;
}

bool StationBatches::RunBatch(std::string& error) {
    if (!m_script.PressDetect(error)) {
        return false;
    }
    for (int row = 0; row < bench::kBenchSlots; ++row) {
        m_bench.Plug(row);
        if (!console::StationScript::PumpUntil([&] { return m_script.AttachedCount() > row; },
                                               kAttachBound)) {
            error = "handset " + m_bench.PortName(row) + " was not attached; the main log ends:\n" +
                    LastLines(m_script.MainLog(), 8);
            return false;
        }
    }
    // The eighth attach starts the download by itself.
    const bool bEnded =
        console::StationScript::WaitUntil([&] { return m_script.AllAttachedEnded(); }, kBatchBound);
    console::CVantorelDlg& dlg = Dlg();
    if (!bEnded || dlg.m_nSuccessCount != bench::kBenchSlots) {
        error = std::string(bEnded ? "the batch ended" : "the batch did not end") + " with " +
                std::to_string(dlg.m_nSuccessCount) + " of " + std::to_string(bench::kBenchSlots) +
                " slots done";
        for (const console::SlotOutcome& outcome : m_script.Outcomes()) {
            if (outcome.state != console::SLOT_DONE) {
                error += "; slot " + std::to_string(outcome.slot + 1) + ": " + outcome.status +
                         "; its log ends:\n" + LastLines(dlg.m_logs.SlotText(outcome.slot), 6);
                break;
            }
        }
        return false;
    }
    return true;
}

void StationBatches::ClearBatch() {
    Press(Dlg(), console::ctl::kResetAll);
    for (int row = 0; row < bench::kBenchSlots; ++row) {
        m_bench.Unplug(row);
    }
}

bool StationBatches::CheckFlashed(std::string& error) const {
    for (int row = 0; row < bench::kBenchSlots; ++row) {
        const auto record = m_bench.Record(row);
        const std::vector<std::string> differences =
            record ? emulator::CheckFlashed(*record, m_images)
                   : std::vector<std::string>{"no flash record"};
        if (!differences.empty()) {
            error = "handset " + m_bench.PortName(row) + ": " + differences.front();
            return false;
        }
    }
    return true;
}

}  // namespace vantorel::benchmarks
