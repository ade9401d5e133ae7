#pragma once

#include <QJsonObject>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "console/colorref.h"
#include "emulator/flash_check.h"
#include "emulator/handset_config.h"
#include "tests/station/station_fixture.h"
#include "tests/support/temp_dir.h"
#include "tools/make_images/sample_images.h"

namespace vantorel::console::test {

// Option boxes the runs set that have no handler of their own.
inline constexpr int kWaitAfterDownloadBox = 1096;
inline constexpr int kNoLaunchBox = 1102;

// Whole download runs: the operator's choices made through the dialog's own buttons, the
// handsets attached one by one (handset n lands in slot n - 1), the batch started and run
// to its end line, then every slot's outcome and every handset's flash compared with the
// image files.
class E2eTest : public StationTest {
protected:
    // Fast enough that a batch's protocol sleeps take a fraction of a second; slow enough
    // that the bounded waits of a healthy run (greeting replies, the return after the
    // reboot) leave room for a busy machine.
    static constexpr double kE2eTimeScale = 0.002;

    E2eTest() : StationTest(kE2eTimeScale) {}

    void SetUp() override;
    void TearDown() override;
    // A new dialog that leaves its batches' records under `root`.
    void MakeRecordingDialog(const std::filesystem::path& root);

    // Writes the synthetic image set into the test's directory.
    tools::SampleSet WriteSamples(const tools::SampleSizes& sizes = {});

    // --- The operator ---
    // Presses a browse button and answers its open-file dialog with `path`.
    void ChooseImage(int buttonId, const std::string& path);
    // Clicks an option box when its state differs from `bChecked`.
    void SetOption(int id, bool bChecked);
    // "Control Sector" with this many megabytes typed beside it.
    void SetSectorMegabytes(const std::string& megabytes);
    void PickCscEntry(int index);
    void PressDetect();
    // Chooses every image but SMD from `set`, unchecks "Wait after download" and presses
    // Detect; returns the choices as the flash checker takes them.
    std::vector<emulator::ChosenImage> ChooseEveryImageAndDetect(const tools::SampleSet& set);
    // Plugs a handset in at port "1-<n>" and waits until it holds slot n - 1.
    emulator::BusHandset& Attach(int n, emulator::HandsetConfig config = {},
                                 emulator::HandsetFaults faults = {});
    // Starts the batch unless it started by itself, and handles the dialog's events until
    // the batch's end line; false when `bound` passed first.
    bool RunBatch(std::chrono::milliseconds bound = std::chrono::seconds(90));
    bool BatchEnded() const;
    // Every image chosen and Detect pressed; handset 1's flash stalls after its first
    // progress report of the modem image (it fails), handset 2 is healthy.
    void AttachStalledFlashBesideAHealthyHandset();

    // --- What the slot table shows ---
    std::string BarText(int slot) const;
    std::string LabelText(int slot) const;
    COLORREF LabelColour(int slot) const;
    // "Job Done.Launched!!" on a blue "OK n" label.
    void ExpectDone(int slot) const;
    // `text` in the bar, on a red label captioned `label`.
    void ExpectFailed(int slot, const std::string& text, const std::string& label) const;
    bool MainLogHas(const std::string& part) const;
    // MainLogHas, handling the dialog's events until `part` is there, for at most `bound`: a
    // worker writes some lines after the notification that ends its slot, so they may not be
    // in yet when the batch is seen to end.
    bool WaitForMainLog(const std::string& part,
                        std::chrono::milliseconds bound = std::chrono::seconds(10));

    // --- What a handset saw and flashed ---
    std::vector<std::string> FlashProblems(const emulator::BusHandset& handset,
                                           const std::vector<emulator::ChosenImage>& chosen,
                                           std::span<const emulator::SmdRange> smdRanges = {});
    // The launch (command 2) that ends a run gets no reply, so the station may be done
    // before the handset has booted: waits until it has left the bus; true when the launch
    // was the last command it got.
    static bool WaitForLaunch(const emulator::BusHandset& handset);
    // The command codes the handset received, in order.
    static std::vector<uint32_t> CommandCodes(const emulator::BusHandset& handset);
    static size_t CountOf(const std::vector<uint32_t>& codes, uint32_t code);
    // The little-endian word at `offset` of a file.
    static uint32_t FileWord(const std::string& path, uint64_t offset);

    vantorel::test::TempDir files;
};

std::string LinkName(const ::testing::TestParamInfo<bool>& info);

// A record's JSON object (a report line, a summary); empty when the text is none.
QJsonObject Json(const std::string& text);

}  // namespace vantorel::console::test
