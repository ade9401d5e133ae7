#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "bench/emulated_bench.h"
#include "benchmarks/shown_console.h"
#include "console/station_script.h"
#include "emulator/flash_check.h"
#include "link/message_sink.h"

namespace vantorel::benchmarks {

// The real station window (shown offscreen) over eight emulated handsets on the in-process
// bus at clock scale 0, worked batch after batch as an operator works it: Detect, plug the
// eight handsets one after another, the download starts by itself once all are attached,
// wait for the end; then Reset All and unplug them.
class StationBatches {
public:
    explicit StationBatches(std::vector<emulator::ChosenImage> images);

    // Chooses the images once; false, with the station's reason, when one is refused.
    bool ChooseImages(std::string& error);
    // One batch up to its end; false, with what went wrong, unless every slot ended "Job
    // Done".
    bool RunBatch(std::string& error);
    // False, with the first difference, unless every handset flashed the images byte for
    // byte (by digest: it reads every image file once per handset).
    bool CheckFlashed(std::string& error) const;
    // Reset All, and the handsets unplugged: the station ready for the next batch.
    void ClearBatch();

    console::CVantorelDlg& Dlg() { return m_console.Dlg(); }
    // The station's diagnostics so far ("FAILED to open ..." for a handset that is still
    // settling on the bus, and the like), kept off standard output, which carries figures.
    int Diagnostics() const { return m_nDiagnostics; }

private:
    std::atomic<int> m_nDiagnostics{0};
    link::DiagnosticCapture m_diagnostics{[this](std::string_view) { ++m_nDiagnostics; }};
    const std::vector<emulator::ChosenImage> m_images;
    bench::EmulatedBench m_bench;
    ShownConsole m_console;
    console::StationScript m_script;
};

}  // namespace vantorel::benchmarks
