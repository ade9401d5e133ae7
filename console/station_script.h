#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <string>

#include "console/control_ids.h"
#include "console/slot_outcome.h"
#include "images/image_kind.h"

namespace vantorel::console {

class CVantorelDlg;
class OperatorPrompts;

// Works the station window the way an operator does: chooses image files, sets option check
// boxes by their captions, presses Detect and Start downloading, and reads the slot table.
// Buttons are pressed through their own click, so the dialog's handlers run as they do for
// a hand on the mouse. Runs on the dialog's thread.
class StationScript {
public:
    StationScript(console::CVantorelDlg& dlg, console::OperatorPrompts& prompts)
        : m_dlg(dlg), m_prompts(prompts) {}

    // Chooses `path` for `kind` as the open-file dialog would; false, with the station's
    // own reason, when the file is refused.
    bool ChooseImage(images::ImageKind kind, const std::string& path, std::string& error);
    // Sets the option box whose caption is `caption` (ignoring case); false for a caption
    // no box has, or a box that is locked now.
    bool SetOption(const std::string& caption, bool bChecked, std::string& error);
    // The captions of every option box, for an operator who asked for another.
    static std::string OptionCaptions();

    // False when Detect is disabled (no valid image chosen).
    bool PressDetect(std::string& error);
    // Presses Start downloading when it is enabled and a handset is ready; true if pressed.
    bool PressStartIfReady();

    // Handles the dialog's events until `done` holds; false when `bound` passed first.
    static bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds bound);
    // The same, blocked in the event loop between events as the application's own loop is
    // (checking `done` at least every 50 ms), so that the waiting costs no CPU of its own.
    static bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds bound);

    int AttachedCount() const;
    // Slots ready or downloading.
    int BusyCount() const;
    // Every handset attached so far has ended, one way or the other.
    bool AllAttachedEnded() const;
    std::array<SlotOutcome, console::kSlotCount> Outcomes() const;
    std::string MainLog() const;

private:
    console::CVantorelDlg& m_dlg;
    console::OperatorPrompts& m_prompts;
};

}  // namespace vantorel::console
