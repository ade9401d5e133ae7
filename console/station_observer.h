#pragma once

#include <string>

namespace vantorel::console {

// One slot as the window shows it now.
struct ShownSlot {
    int slot = 0;            // 0 to 7
    std::string caption;     // the label's text, "PDA 1", "OK 3"...
    std::string background;  // the label's colour, "#rrggbb"
    std::string barText;     // the bar's own text ("" when it shows only its percentage)
    int progress = 0;        // the bar's position, 0 to 100
    std::string lineUnderBar;
    std::string device;  // the link's device path; empty while no handset is bound
    std::string port;    // the USB port location of the device; empty when it names none
    std::string state;   // "waiting", "ready", "downloading", "done" or "failed"

    friend bool operator==(const ShownSlot&, const ShownSlot&) = default;
};

struct ShownCounts {
    int detected = 0;
    int succeeded = 0;
    int failed = 0;

    friend bool operator==(const ShownCounts&, const ShownCounts&) = default;
};

// Who is told what the station shows besides its window (a live page, a broker). The dialog
// calls it on its own thread whenever a slot may have changed, so an observer drops what did
// not change; the records may call the two ends from their own threads. No call may block:
// the dialog thread and, through it, every worker would wait.
class StationObserver {
public:
    virtual ~StationObserver() = default;

    virtual void SlotShown(const ShownSlot& slot) = 0;
    virtual void CountsShown(const ShownCounts& counts) = 0;
    // A handset's slot ended: its report line, one compact JSON object as the records write it.
    virtual void HandsetEnded(const std::string& reportLine) = 0;
    // A batch ended: its summary, a JSON object as the records write it.
    virtual void BatchEnded(const std::string& summary) = 0;
};

}  // namespace vantorel::console
