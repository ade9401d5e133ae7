#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantorel::bench {

// One emulated handset as the bench panel shows it.
struct BenchHandsetView {
    std::string port;     // the port it plugs into
    bool bPlugged;        // plugged in by the operator (it may be rebooting or gone since)
    std::string state;    // "in download mode", "rebooting", ...
    std::string flashed;  // what it has flashed so far
    uint32_t protocolVersion;
    std::string bootLoaderVersion;
    int faultChoice;             // index into FaultCaptions(); FaultCaptions().size(): custom
    std::string customSettings;  // the command line's settings of this handset, if any
    int slot = -1;               // the station slot (0..7) that holds it; -1 none
};

// An external handset (a tty named on the command line).
struct BenchExternalView {
    std::string path;
    bool bPresent;
};

// What the bench panel works: the emulated handsets, the external ones, and the clock.
class BenchControl {
public:
    virtual ~BenchControl() = default;

    virtual int EmulatedCount() const = 0;
    virtual BenchHandsetView Handset(int row) const = 0;
    virtual void Plug(int row) = 0;
    virtual void Unplug(int row) = 0;
    // Takes effect when the handset is next plugged in. False, with the reason, for a
    // setting the emulator does not take.
    virtual bool SetHandsetSetup(int row, uint32_t protocolVersion,
                                 const std::string& bootLoaderVersion, int faultChoice,
                                 std::string& error) = 0;
    virtual std::vector<std::string> FaultCaptions() const = 0;

    virtual std::vector<BenchExternalView> ExternalHandsets() const = 0;

    // Protocol time per real time: 1, 0.1, 0.01.
    virtual double TimeScale() const = 0;
    // Only while no handset is attached to the station: the station starts afresh.
    virtual bool CanChangeTimeScale() const = 0;
    virtual void SetTimeScale(double scale) = 0;

    virtual std::string SampleDirectory() const = 0;

    // The station window shows: while it does, closing the panel closes the station first.
    virtual bool IsStationShown() const = 0;
};

}  // namespace vantorel::bench
