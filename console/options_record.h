#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vantorel::console {

// The download options, one member per check box (1 checked, 0 not), exchanged with the
// controls by the dialog's data exchange. Hidden check boxes keep their defaults.
struct OptionsRecord {
    int32_t m_bEraseCsc = 0;
    int32_t m_bEraseNvData = 0;
    int32_t m_bEraseNvPda = 0;
    int32_t m_bEraseNvBackup = 0;
    int32_t m_bEraseEbootCfg = 0;
    int32_t m_bStartImmediately = 0;
    int32_t m_bCleanBoot = 1;
    int32_t m_bBootloaderUpdate = 0;
    int32_t m_bEfsClear = 0;
    int32_t m_bErasePhoneBoot = 0;
    int32_t m_bKeepEbootCfg = 0;
    int32_t m_bWriteModemNv = 0;
    int32_t m_bEncryptionPhone = 1;
    int32_t m_bSetUgm = 0;
    int32_t m_bClrUgm = 0;
    int32_t m_bWaitAfterDownload = 1;
    int32_t m_bNoLaunch = 0;
    int32_t m_bSmdBinary = 0;
    int32_t m_bSetPriorityBit = 0;
    int32_t m_bControlSector = 0;
    // The "MB (5~100)" edit beside "Control Sector".
    std::string m_strRamSectorMb;
    // "Slots follow ports": each arrival takes the slot bound to its USB port instead of the
    // next free one. Kept across runs with the port map, so not among the boxes below.
    int32_t m_bSlotsFollowPorts = 0;
    // "Slots run on their own": each slot starts as its handset arrives and frees itself when
    // the handset is pulled, for a whole shift; off, the station works in batches.
    int32_t m_bSlotsRunOnTheirOwn = 0;
};

// One option check box: its control, caption, member and whether the operator sees it.
struct OptionCheckBox {
    int id;
    const char* caption;
    int32_t OptionsRecord::*member;
    bool bShown;
};

// Every option check box, in the order the options panel lists them.
std::span<const OptionCheckBox> OptionCheckBoxes();

// The option word sent to the boot loader: one bit per check box.
uint32_t BuildEraseNvCase(const OptionsRecord& options);

// The sector sizes "Control Sector" may set, in megabytes, and what Detect says otherwise.
inline constexpr uint32_t kMinRamSectorMb = 5;
inline constexpr uint32_t kMaxRamSectorMb = 100;
inline constexpr const char* kRamSectorRangeText = "Control Sector must be between 5 and 100 MB.";

// Whether `text` is a whole number of megabytes from kMinRamSectorMb to kMaxRamSectorMb
// (spaces around it allowed). Anything else would reach the workers as a sector of no bytes,
// of gigabytes, or wrapped round in 32 bits.
bool IsRamSectorMbInRange(const std::string& text);

}  // namespace vantorel::console
