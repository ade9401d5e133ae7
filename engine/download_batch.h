#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>

#include "base/clock.h"
#include "engine/slot_status.h"
#include "link/usb_interface.h"

namespace vantorel::engine {

// Image kinds, as the worker tells them to the boot loader and the console words them.
enum ImageKind : int32_t {
    IMG_EBOOT = 0,
    IMG_PDA = 1,
    IMG_CSC = 2,
    IMG_LANGPACK = 3,
    IMG_PHONE = 4,
    IMG_SMD = 5,
    IMG_FINISHED = 6,
};

// The RAM sector size in bytes used for PDA turns, shared by all workers (they all write the
// same value). 45 × 2048000 until "Control Sector" sets it.
inline constexpr uint32_t kDefaultPdaSectorSize = 92160000;
extern std::atomic<uint32_t> g_dwPdaSectorSize;

// Where each image goes and how much of it is sent.
struct ImageInfo {
    uint32_t dwDownloadAddr = 0;
    uint32_t dwLaunchAddr = 0;
    uint32_t dwEbootStart = 0, dwEbootSize = 0;
    uint32_t dwPdaStart = 0, dwPdaSize = 0;
    uint32_t dwCscStart = 0, dwCscSize = 0;
    uint32_t dwLangStart = 0, dwLangSize = 0;
    uint32_t dwPhoneStart = 0, dwPhoneSize = 0;
    uint32_t dwSmdStart = 0, dwSmdSize = 0;
};

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
    virtual void StopSyncProcesses() = 0;
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
