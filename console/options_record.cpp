#include "console/options_record.h"

#include <array>
#include <charconv>

namespace vantorel::console {

namespace {

using R = OptionsRecord;

constexpr std::array<OptionCheckBox, 21> kCheckBoxes{{
    {1047, "Start downloading immediately", &R::m_bStartImmediately, true},
    {1096, "Wait after download", &R::m_bWaitAfterDownload, true},
    {1102, "NoLaunch", &R::m_bNoLaunch, true},
    {1210, "Slots run on their own", &R::m_bSlotsRunOnTheirOwn, true},
    {1097, "SMD Binary", &R::m_bSmdBinary, true},
    {1101, "Set priority bit", &R::m_bSetPriorityBit, true},
    {1084, "Erase CSC", &R::m_bEraseCsc, false},
    {1087, "Erase NV Data", &R::m_bEraseNvData, false},
    {1093, "Erase NV PDA", &R::m_bEraseNvPda, false},
    {1085, "Erase NV Backup", &R::m_bEraseNvBackup, false},
    {1078, "Erase EbootCFG", &R::m_bEraseEbootCfg, false},
    {1077, "Clean Boot", &R::m_bCleanBoot, false},
    {1051, "Bootloader Update", &R::m_bBootloaderUpdate, false},
    {1053, "EFS Clear", &R::m_bEfsClear, false},
    {1094, "Erase Phone Boot", &R::m_bErasePhoneBoot, false},
    {1095, "Keep Ebootcfg", &R::m_bKeepEbootCfg, false},
    {1098, "Write Modem NV", &R::m_bWriteModemNv, false},
    {1099, "Encryption Phone", &R::m_bEncryptionPhone, false},
    {1088, "SetUGM", &R::m_bSetUgm, false},
    {1089, "ClrUGM", &R::m_bClrUgm, false},
    {1104, "Control Sector", &R::m_bControlSector, false},
}};

struct EraseNvBit {
    uint32_t bit;
    int32_t OptionsRecord::*member;
};

constexpr std::array<EraseNvBit, 13> kEraseNvBits{{
    {0x00000001, &R::m_bEraseEbootCfg},
    {0x00000002, &R::m_bEraseCsc},
    {0x00000004, &R::m_bEraseNvData},
    {0x00000008, &R::m_bEraseNvBackup},
    {0x00000010, &R::m_bCleanBoot},
    {0x00000020, &R::m_bEraseNvPda},
    {0x00000040, &R::m_bEfsClear},
    {0x00000080, &R::m_bKeepEbootCfg},
    {0x00000100, &R::m_bWriteModemNv},
    {0x00000200, &R::m_bEncryptionPhone},
    {0x00000400, &R::m_bSetPriorityBit},
    {0x00000800, &R::m_bNoLaunch},
    {0x80000000, &R::m_bErasePhoneBoot},
}};

}  // namespace

std::span<const OptionCheckBox> OptionCheckBoxes() {
    return kCheckBoxes;
}

uint32_t BuildEraseNvCase(const OptionsRecord& options) {
    uint32_t word = 0;
    for (const EraseNvBit& entry : kEraseNvBits) {
        if (options.*entry.member != 0) {
            word |= entry.bit;
        }
    }
    return word;
}

bool IsRamSectorMbInRange(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return false;
    }
    const size_t last = text.find_last_not_of(' ');
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin < '0' || *begin > '9') {
        return false;  // no sign: from_chars would take a minus
    }
    uint64_t megabytes = 0;
    const auto [stop, error] = std::from_chars(begin, end, megabytes);
    return error == std::errc() && stop == end && megabytes >= kMinRamSectorMb &&
           megabytes <= kMaxRamSectorMb;
}

}  // namespace vantorel::console
