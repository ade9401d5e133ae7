#include "bench/shift_run.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QObject>
#include <QTimer>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>

#include "bench/headless_station.h"
#include "bench/shift_plan.h"

namespace vantorel::bench {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

// One socket of the bench: the emulated handset row and the shift's handset in it.
struct Socket {
    int number = -1;        // the shift's handset in it (0-based); -1: empty
    bool bStarted = false;  // its slot has taken it
    bool bEnded = false;    // its slot ended; waits for the operator's swap
};

class Shift {
public:
    Shift(const BenchArguments& args, const std::vector<emulator::ChosenImage>& chosen,
          EmulatedBench& bench, HeadlessStation& station)
        : m_plan(*args.shift),
          m_chosen(chosen),
          m_bench(bench),
          m_station(station),
          m_script(station.Script()),
          m_swap(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
              bench.GetClock().ToReal(
                  Clock::Duration(static_cast<Clock::Duration::rep>(m_plan.swapSeconds * 1000))))),
          m_sockets(static_cast<size_t>(bench.EmulatedCount())) {}

    // Runs until every handset ended or the timeout passed; false on the timeout.
    bool Run() {
        m_bPipelined = m_station.Dialog().m_bPipelined;
        m_started = std::chrono::steady_clock::now();
        for (size_t row = 0; row < m_sockets.size(); ++row) {
            Queue(static_cast<int>(row));  // the first handsets go into empty sockets
        }
        QTimer ticker;  // the operator's hands move between the station's events
        ticker.start(5);
        while (m_nEnded < m_plan.nHandsets) {
            if (m_station.Remaining().count() <= 0) {
                m_lastEnd = std::chrono::steady_clock::now();
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            Observe();
            Work();
        }
        m_lastEnd = std::chrono::steady_clock::now();
        return true;
    }

    ShiftResult Result(bool bEnded) const {
        ShiftResult result;
        result.bEnded = bEnded;
        result.bPipelined = m_bPipelined;
        result.nHandsets = m_plan.nHandsets;
        result.nDone = m_nDone;
        result.nFailed = m_nEnded - m_nDone;
        result.nByteProblems = m_nProblems;
        const std::chrono::duration<double> protocolTime =
            std::chrono::duration<double>(m_lastEnd - m_started) / m_bench.GetClock().scale();
        result.protocolSeconds = protocolTime.count();
        result.handsetsPerHour = PerHour(m_nDone, protocolTime);
        result.lines = m_lines;
        return result;
    }

private:
    // Which sockets' handsets started and ended, by the slots that hold them.
    void Observe() {
        const auto outcomes = m_script.Outcomes();
        for (size_t row = 0; row < m_sockets.size(); ++row) {
            Socket& socket = m_sockets[row];
            if (socket.number < 0 || socket.bEnded) {
                continue;
            }
            const std::string instance = m_bench.InstanceName(static_cast<int>(row));
            for (const console::SlotOutcome& outcome : outcomes) {
                if (outcome.deviceName != instance) {
                    continue;
                }
                if (outcome.state == console::SLOT_READY ||
                    outcome.state == console::SLOT_DOWNLOADING) {
                    socket.bStarted = true;
                } else if (socket.bStarted && (outcome.state == console::SLOT_DONE ||
                                               outcome.state == console::SLOT_FAILED)) {
                    Ended(static_cast<int>(row), outcome);
                }
            }
        }
    }

    void Ended(int row, const console::SlotOutcome& outcome) {
        Socket& socket = m_sockets[static_cast<size_t>(row)];
        socket.bEnded = true;
        ++m_nEnded;
        const bool bDone = outcome.state == console::SLOT_DONE;
        m_nDone += bDone ? 1 : 0;
        std::string line = "handset " + std::to_string(socket.number + 1) + " (" +
                           m_bench.PortName(row) + ", slot " + std::to_string(outcome.slot + 1) +
                           "): " + outcome.status;
        if (const std::optional<emulator::FlashRecord> record = m_bench.Record(row); bDone) {
            const std::vector<std::string> problems =
                record ? emulator::CheckFlashed(*record, m_chosen)
                       : std::vector<std::string>{"no flash record"};
            m_nProblems += static_cast<int>(problems.size());
            line += problems.empty() ? ", flashed byte for byte" : "";
            for (const std::string& problem : problems) {
                line += "; " + problem;
            }
        }
        m_lines.push_back(line);
        Queue(row);
    }

    void Queue(int row) { m_queue.push_back(row); }

    // In batches the sockets are swapped only between batches.
    bool BatchRunning() const {
        for (const Socket& socket : m_sockets) {
            if (socket.number >= 0 && !socket.bEnded) {
                return true;
            }
        }
        return false;
    }

    void Work() {
        const SteadyTime now = std::chrono::steady_clock::now();
        if (m_swapping && now >= m_swapDoneAt) {
            FinishSwap(*m_swapping);
            m_swapping.reset();
        }
        if (m_swapping) {
            return;
        }
        if (!m_bPipelined && !m_bRoundOpen) {
            if (BatchRunning() || m_queue.empty()) {
                return;
            }
            OpenRound();
        }
        if (!m_queue.empty()) {
            m_swapping = m_queue.front();
            m_queue.pop_front();
            m_swapDoneAt = now + m_swap;
            return;
        }
        if (!m_bPipelined && m_bRoundOpen && AllPluggedStarted()) {
            m_bRoundOpen = false;
            m_script.PressStartIfReady();
        }
    }

    // The batch ended: Reset All and Detect before new handsets are plugged.
    void OpenRound() {
        m_bRoundOpen = true;
        if (m_nPlugged == 0) {
            return;  // Detect was pressed when the station was armed
        }
        m_station.Dialog().Controls().As<QAbstractButton>(console::ctl::kResetAll)->click();
        std::string error;
        if (!m_script.PressDetect(error)) {
            Note(error);
        }
    }

    bool AllPluggedStarted() const {
        for (const Socket& socket : m_sockets) {
            if (socket.number >= 0 && !socket.bStarted && !socket.bEnded) {
                return false;
            }
        }
        return true;
    }

    // The operator pulls the socket's handset, if any, and plugs the shift's next one.
    void FinishSwap(int row) {
        Socket& socket = m_sockets[static_cast<size_t>(row)];
        socket = Socket{};
        m_bench.Unplug(row);
        if (m_nPlugged >= m_plan.nHandsets) {
            return;
        }
        HandsetSetup setup = m_bench.Setup(row);
        setup.config.flashStepTime = ShiftFlashStep(m_nPlugged, m_plan.spreadPercent);
        m_bench.SetSetup(row, setup);
        m_bench.Plug(row);
        socket.number = m_nPlugged++;
    }

    const ShiftPlan m_plan;
    const std::vector<emulator::ChosenImage>& m_chosen;
    EmulatedBench& m_bench;
    HeadlessStation& m_station;
    console::StationScript& m_script;
    const std::chrono::steady_clock::duration m_swap;
    std::vector<Socket> m_sockets;
    std::deque<int> m_queue;
    std::optional<int> m_swapping;
    SteadyTime m_swapDoneAt{};
    bool m_bPipelined = false;
    bool m_bRoundOpen = false;
    int m_nPlugged = 0;
    int m_nEnded = 0;
    int m_nDone = 0;
    int m_nProblems = 0;
    SteadyTime m_started{};
    SteadyTime m_lastEnd{};
    std::vector<std::string> m_lines;
};

}  // namespace

std::optional<ShiftResult> MeasureShift(const BenchArguments& args,
                                        const std::vector<emulator::ChosenImage>& chosen,
                                        EmulatedBench& bench, int& refused) {
    HeadlessStation station({bench.Directory(), bench.Serial(), bench.Bulk(),
                             bench.OffersBulkLinks(), bench.GetClock(), bench.Hotplug()},
                            args);
    if (bench.EmulatedCount() == 0 || !args.shift) {
        Note("a shift needs at least one emulated handset's socket");
        refused = kExitBadArguments;
        return std::nullopt;
    }
    if (const auto armRefused = station.Arm(chosen)) {
        refused = *armRefused;
        return std::nullopt;
    }
    Shift shift(args, chosen, bench, station);
    const bool bEnded = shift.Run();
    return shift.Result(bEnded);
}

int RunShift(const BenchArguments& args, const std::vector<emulator::ChosenImage>& chosen,
             EmulatedBench& bench) {
    int refused = kExitFailed;
    const std::optional<ShiftResult> result = MeasureShift(args, chosen, bench, refused);
    if (!result) {
        return refused;
    }
    for (const std::string& line : result->lines) {
        std::printf("%s\n", line.c_str());
    }
    std::printf("shift (%s): %d handset(s), %d done, %d failed, %d byte problem(s)%s\n",
                result->bPipelined ? "slots run on their own" : "batches", result->nHandsets,
                result->nDone, result->nFailed, result->nByteProblems,
                result->bEnded ? "" : ", timed out before every handset ended");
    std::printf("handsets per hour: %.1f (%.0f s of protocol time, swap %.1f s, spread %d %%)\n",
                result->handsetsPerHour, result->protocolSeconds, args.shift->swapSeconds,
                args.shift->spreadPercent);
    std::fflush(stdout);
    const bool bPassed =
        result->bEnded && result->nDone == result->nHandsets && result->nByteProblems == 0;
    return bPassed ? kExitPassed : kExitFailed;
}

}  // namespace vantorel::bench
