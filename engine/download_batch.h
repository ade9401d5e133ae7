#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>

#include "base/clock.h"
#include "engine/slot_status.h"
#include "images/image_info.h"
#include "images/image_kind.h"
#include "link/usb_interface.h"

namespace vantorel::engine {

// Image kinds, as the worker tells them to the boot loader and the console words them.
using images::ImageKind;
using images::IMG_CSC;
using images::IMG_EBOOT;
using images::IMG_LANGPACK;
using images::IMG_PDA;
using images::IMG_PHONE;
using images::IMG_SMD;
// The kind of a slot whose run has ended; no file is chosen for it.
inline constexpr int32_t IMG_FINISHED = 6;

// The RAM sector size in bytes used for PDA turns, shared by all workers (they all write the
// same value). 45 × 2048000 until "Control Sector" sets it.
inline constexpr uint32_t kDefaultPdaSectorSize = 92160000;
extern std::atomic<uint32_t> g_dwPdaSectorSize;

// Where each image goes and how much of it is sent.
using images::ImageInfo;

// The images of one batch, taken from the console when the download starts and read-only
// for the workers from then on.
struct DownloadImages {
    bool bEboot = false, bPda = false, bCsc = false, bLangPack = false, bPhone = false,
         bSmd = false;
    std::string strEbootPath, strPdaPath, strCscPath, strLangPath, strPhonePath, strSmdPath;
    ImageInfo info;
    uint32_t dwCscOffset = 0;
    bool bEbootLarge = false;  // the boot-loader file is larger than 2048000 bytes
    // The language choice sent with command 1007 (index and 4-character code).
    uint32_t dwLanguageIndex = 21;
    std::string strLanguageCode = "0000";
};

// The options of one batch.
struct DownloadOptions {
    uint32_t dwEraseNvCase = 0;
    bool bControlSector = false;
    std::string strRamSectorMb;  // the "MB (5~100)" edit
    uint32_t dwToolVersion = 24;
    bool bWinUsbMode = false;
};

// The console as a worker sees it. Everything here is safe to call from a worker thread.
class DownloadHost : public DownloadReporter {
public:
    // The slot's current image kind and part index, read by the status handler's texts.
    virtual void SetImageKind(int slot, int32_t kind, bool resetPartIndex) = 0;
    // `m_nTurn` and `m_nTurnTotal` of the slot.
    virtual void SetTurns(int slot, int32_t turn, int32_t turnTotal) = 0;
    // Waits for the slot's detection event (the handset came back after its reboot).
    virtual bool WaitForDetection(int slot, std::chrono::nanoseconds bound,
                                  std::stop_token stop) = 0;
    // Forgets the device name recorded for the slot's detection.
    virtual void ClearDetectedDeviceName(int slot) = 0;
    virtual int StopSyncProcesses() = 0;
};

// What one worker thread is handed.
struct SLOT_WORKER_PARAM {
    int nSlot = 0;
    DownloadHost* pDlg = nullptr;
    link::CUsbInterface* pUsb = nullptr;
    bool bWaitAfterDownload = false;
    const DownloadImages* pImages = nullptr;
    const DownloadOptions* pOptions = nullptr;
    const Clock* pClock = nullptr;
};

}  // namespace vantorel::engine
