#pragma once

#include <QDialog>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "base/clock.h"
#include "console/colorref.h"
#include "console/console_environment.h"
#include "console/control_ids.h"
#include "console/control_registry.h"
#include "console/dialog_message_sink.h"
#include "console/failure_reasons.h"
#include "console/log_book.h"
#include "console/options_record.h"
#include "console/slot_pace.h"
#include "console/slot_state.h"
#include "console/stack_int.h"
#include "console/station_observer.h"
#include "engine/attach_handshake.h"
#include "engine/download_batch.h"
#include "engine/slot_port_map.h"
#include "engine/slot_status.h"
#include "images/image_selection.h"
#include "link/link_platform.h"
#include "link/platform/hotplug_monitor.h"
#include "link/usb_interface.h"
#include "records/batch_records.h"

class QGroupBox;
class QLabel;
class QLayout;
class QSocketNotifier;
class QTimer;

namespace vantorel::console {

class CColorStaticST;
class CLogView;
class CTextProgressCtrl;

// The station's only window: the eight slots, the download options, the operator buttons,
// the device count and the logs. Its members are public as the workers and the attach
// handshake work on them; the dialog thread owns every widget and counter.
//
// The class is split by concern over several source files: construction and layout
// (vantorel_dlg.cpp, vantorel_dlg_layout.cpp), slots and resets (_slots), options and Detect
// (_options), status notifications (_status), logs (_logs), closing (_close), the hot-plug
// hook (_devices) and the download start (_start).
class CVantorelDlg : public QDialog, public engine::DownloadHost, public engine::AttachHost {
    Q_OBJECT

public:
    explicit CVantorelDlg(const ConsoleEnvironment& environment, QWidget* parent = nullptr);
    ~CVantorelDlg() override;

    // Initialises the dialog and runs it modally; returns the dialog's result.
    int DoModal();
    // One-time initialisation before the window shows (DoModal runs it).
    void OnInitDialog();

    // --- Controls and data exchange ---
    QWidget* GetDlgItem(int id) const { return m_controls.Get(id); }
    const ControlRegistry& Controls() const { return m_controls; }
    // false: members to controls; true: controls to members.
    void UpdateData(bool bSaveAndValidate);

    // --- Slots and resets ---
    void ResetSlot(int slot);
    void ResetAllSlots();
    void OnBnClickedResetAll();           // "reset all" (1069)
    void OnBnClickedResetSlot(int slot);  // 1049, 1062..1068
    void EnableSlotResetButton(int slot);
    // The label's background, with the caption in black or white, whichever reads better on it.
    void SetSlotLabelColour(int slot, COLORREF background);
    void EnableOperatorControls(bool bEnable);
    void RefreshDetectedCount();  // control 1025

    // --- Options and Detect ---
    void OnBnClickedDetect();  // 1021
    // After Detect: tells how many handsets were already plugged in (they are not attached).
    void ReportHandsetsAlreadyPresent();
    void OnBnClickedSmdBinary();      // 1097
    void OnBnClickedControlSector();  // 1104
    void OnBnClickedSetUgm();         // 1088

    // "Start downloading" (1022): starts a worker for every ready slot.
    void OnStartDownloading();
    // Asks every running worker to stop, closes the links and waits for the workers while
    // the dialog keeps handling their notifications.
    void StopWorkers();

    // --- Device arrival and removal ---
    void OnDeviceChange(link::DeviceEventKind kind, const std::string& name);
    // The first slot whose recorded detection path equals `name` ignoring case; 8 if none.
    int FindDetectSlot(const std::string& name) const;
    // Binds the handset that just arrived to the next free slot.
    int AttachHandset(const std::string& arrivalName);
    void ReportArrivalDuringRun(const std::string& name);

    // --- What a worker and the attach handshake ask of the dialog ---
    void SetImageKind(int slot, int32_t kind, bool resetPartIndex) override;
    void SetTurns(int slot, int32_t turn, int32_t turnTotal) override;
    bool WaitForDetection(int slot, std::chrono::nanoseconds bound, std::stop_token stop) override;
    void ClearDetectedDeviceName(int slot) override;
    void SetDetectionName(int slot, const std::string& devicePath) override;
    void SetDeviceName(int slot, const std::string& deviceName) override;
    std::string DeviceName(int slot) const override;
    int32_t SlotState(int slot) const override;

    // --- Status notifications ---
    // The handler of one WM_SLOT_STATUS notification; runs on the dialog thread.
    int OnSlotStatus(uint32_t wParam, uint32_t lParam);
    // Keeps the slot's pace in step with a status notification, and shows it.
    void TrackSlotPace(int slot, uint32_t code, uint32_t value);
    // The signalled slot's handset is back after its reboot: the link's re-opening begins.
    void TrackReconnection(int slot);
    void ShowSlotPace(int slot);
    // A slot's worker has ended. A failed slot then adds its status text and the last line its
    // worker logged (the reason) to its own log, and the reason to its bar's tooltip.
    void OnWorkerEnded(int slot);
    void ShowFailureAdvice(int slot, uint32_t code, uint32_t value);
    bool IsWorkerRunning(int slot) const;
    // Stops the slot's worker if it still runs, and joins it.
    void EndWorker(int slot);
    void JoinWorker(int slot);
    // One worker per slot, and whether it has returned (tests join and fake them).
    std::array<std::jthread, kSlotCount> m_workers;
    std::array<std::shared_ptr<std::atomic<bool>>, kSlotCount> m_workerDone;
    // From a worker: a blocking hand-over to the dialog thread; on it: a direct call.
    void SendSlotStatus(uint32_t code, uint32_t lParam) override;

    // --- Logs (printf-style, lines of any length) ---
    void AppendMainLog(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void AppendSlotLog(int slot, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void AppendAuxLog(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Safe from any thread.
    void AppendMainLogText(std::string_view text) override;
    void AppendFailureLogText(std::string_view text) override;
    void NoteWrongChecksumAt(int slot, uint32_t packet) override {
        m_failureReasons.NoteWrongChecksumAt(slot, packet);
    }
    void AppendSlotLogText(int slot, std::string_view text) override;
    void AppendAuxLogText(std::string_view text);
    void ClearAuxLog();
    void OnBnClickedSeeLog(int slot);

    // --- Host programs competing for the handsets ---
    int StopSyncProcesses() override;
    int RestartSyncProcesses();

    // --- About and closing ---
    void OnAboutBox();
    // The close request: true when the dialog is to close (it then has closed the links and
    // brought the host's programs back). Asks first while handsets are still downloading.
    bool OnClose();
    void OnDestroy();

    // --- Slot table ---
    std::array<CColorStaticST*, kSlotCount> m_lblSlot{};
    std::array<CTextProgressCtrl*, kSlotCount> m_prgSlot{};
    // Beside each bar: rate and time left, or the time in a wait (slot_pace.h).
    std::array<QLabel*, kSlotCount> m_lblPace{};
    std::array<SlotPace, kSlotCount> m_slotPace;
    std::array<SLOT_STATUS, kSlotCount> m_aSlotStatus;
    std::array<std::atomic<int32_t>, kSlotCount> m_nTurn{};
    std::array<std::atomic<int32_t>, kSlotCount> m_nTurnTotal{};
    std::array<std::unique_ptr<link::CUsbInterface>, kSlotCount> m_pUsb;
    std::array<std::string, kSlotCount> m_strDeviceName;  // instance part of each slot's path

    int32_t m_nDetectedCount = 0;
    int32_t m_nSuccessCount = 0;
    int32_t m_nFailCount = 0;
    int32_t m_nSlotsLeft = kSlotCount;
    int32_t m_bDetecting = 0;
    int32_t m_bWinUsbMode = 0;
    CStackInt m_stackFreeSlots;
    LogBook m_logs;  // m_strMainLog, m_strAuxLog, m_strSlotLog
    // Held while a line goes to a log and to its file in the records, so both get the lines
    // of every thread in the same order; recursive for the records' own notes.
    std::recursive_mutex m_logOrder;
    FailureReasons m_failureReasons;

    // --- Options ---
    OptionsRecord m_options;
    uint32_t m_dwEraseNvCase = 0;
    uint32_t m_dwToolVersion = 0;

    // --- Image selection ---
    // (vantorel_dlg_images.cpp) Each handler asks the selection and then shows it.
    // The browse buttons 1019, 1035, 1037, 1075, 1036, 1074 and 1080: each a toggle that
    // withdraws a chosen image or lets the operator choose one.
    void OnBnClickedEboot();
    void OnBnClickedPda();
    void OnBnClickedCsc();
    void OnBnClickedLang();
    void OnBnClickedPhone();
    void OnBnClickedSmd();
    void OnBnClickedImg();
    void OnBrowseImage(images::ImageKind kind);
    void OnCbnSelchangeCsc();       // 1100
    void OnCbnSelchangeLanguage();  // 1090
    // Copies the selection's paths, drop-downs, boot-loader version and second-log
    // visibility into their controls. The path boxes are read-only: nothing is read back.
    void ShowImageSelection();
    // True while an image that a download sends is chosen (the IMG choice alone is none).
    bool HasChosenImages() const;
    // Deletes the files unpacked from an integrated image, if any were.
    void DeleteUnpackedImages();
    // The snapshot of the chosen images that the workers of a batch are handed.
    engine::DownloadImages CurrentDownloadImages() const;
    // The chosen images: the one record of paths, flags, sizes, the CSC entry and the
    // language lists; the controls only show it.
    images::ImageSelection m_selection;

    // --- What the station shows beyond its window (vantorel_dlg_observer.cpp) ---
    // Who else is told each slot's look and each handset's and batch's end (a live page, a
    // broker); none by default. It outlives the dialog.
    void SetStationObserver(StationObserver* observer);
    // Tells the observer how the slot and the counts look now.
    void ShowSlotToObserver(int slot);

    // --- Records on disk (vantorel_dlg_records.cpp) ---
    // Null when the environment names no records folder.
    records::BatchRecords* Records() const { return m_records.get(); }
    void OnOpenRecordsFolder();
    void OnSaveMainLogAs();

    const Clock& GetClock() const { return m_clock; }
    const link::LinkPlatform& LinkPlatform() const { return m_linkPlatform; }

    // --- Slots that follow ports (vantorel_dlg_ports.cpp) ---
    void OnBnClickedSlotsFollowPorts();  // 1201
    // "Learn ports" (1202): starts teaching the map from PDA 1, or stops it.
    void OnBnClickedLearnPorts();
    void OnBnClickedClearPorts();  // 1203
    // "Load ports..." (1204): a map file that the operator picks.
    void OnBnClickedLoadPorts();
    // The mode and the map as a command line gives them; kept as the operator's own are.
    void SetSlotsFollowPorts(bool bFollow);
    void SetPortMap(const engine::SlotPortMap& map);
    // False, with the reason, when the file cannot be read or holds no map.
    bool LoadPortMapFile(const std::string& path, std::string& error);
    void StopPortLearning();
    // While learning: binds the next slot to the arrival's port, and says so in the main log.
    void LearnPortOf(const std::string& arrivalName);
    // The slot a new arrival attaches to: the top of the free-slot stack, or, when slots
    // follow ports, the one bound to its port. -1 when there is none; when slots follow
    // ports, the main log then says which port and why.
    int SlotForArrival(const std::string& arrivalName);
    // Each slot label's port in its tooltip, and the whole map beside the mode's box.
    void ShowPortMap();
    engine::SlotPortMap m_portMap;
    engine::PortLearning m_portLearning;

public slots:
    // The window's close button comes here (Escape does not close the station).
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Hot-plug registration (step 7 of the initialisation): false when it failed.
    bool RegisterDeviceNotifications();
    void CreateLinks();
    void BindMembers();
    void AppendShownLog(ShownLog log, std::string_view text);
    // Hands both edits what their logs gained since the last frame.
    void FlushShownLogs();
    void FlushShownLog(ShownLog log);
    void CloseLinks();
    // Records (vantorel_dlg_records.cpp).
    void StartBatchRecords();
    void RecordBatchImages(const engine::DownloadImages& images);
    void RecordSlotStart(int slot);
    void RecordSlotEnd(int slot, uint32_t code, const std::string& statusText);
    // How the batch ended, as its summary says ("finished", "quit", "reset all").
    void RecordBatchEnd(const char* end);

    // Layout (vantorel_dlg_layout.cpp).
    void BuildLayout();
    QGroupBox* BuildImagesGroup();
    QGroupBox* BuildOptionsGroup();
    QLayout* BuildOperatorButtons();
    QGroupBox* BuildSlotTable();
    QWidget* BuildLogArea();
    void ConnectHandlers();
    // Keyboard (vantorel_dlg_keys.cpp).
    void SetUpKeyboard();
    // Slots that follow ports (vantorel_dlg_ports.cpp).
    QGroupBox* BuildPortsGroup();
    void RestoreKeptPorts();
    void KeepPorts() const;
    void OfferSlotsFollowPorts();

    ConsoleEnvironment m_env;
    Clock m_clock;
    DialogMessageSink m_messageSink;
    link::LinkPlatform m_linkPlatform;
    ControlRegistry m_controls;
    DataExchange m_dataExchange;
    CLogView* m_pMainLogEdit = nullptr;  // 1017
    CLogView* m_pAuxLogEdit = nullptr;   // 1071
    QTimer* m_pLogFrameTimer = nullptr;  // feeds the edits at most once per frame
    std::array<bool, kSlotCount> m_bFailCounted{};
    std::array<std::optional<std::string>, kSlotCount> m_strFailureToExplain;
    std::array<std::chrono::system_clock::time_point, kSlotCount> m_slotStarted{};
    std::array<uint64_t, kSlotCount> m_slotBytesAtStart{};
    std::unique_ptr<records::BatchRecords> m_records;
    // Read by the records' threads too.
    std::atomic<StationObserver*> m_pObserver = nullptr;
    bool m_bInitialised = false;
    bool m_bSyncRestarted = false;

    // Device arrival and removal (vantorel_dlg_devices.cpp).
    void OnHotplugReadable();
    QSocketNotifier* m_pHotplugNotifier = nullptr;

    // The running batch's images and options (vantorel_dlg_start.cpp), kept alive by each of
    // its workers for as long as it runs.
    struct Batch {
        engine::DownloadImages images;
        engine::DownloadOptions options;
    };
};

}  // namespace vantorel::console
