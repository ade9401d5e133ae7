#pragma once

#include <cstdint>
#include <string>

namespace vantorel::images {

// The dialog's image-information record, in its field order, with its initial values. The
// selection writes the sizes; the start words are only ever cleared.
struct ImageInfo {
    std::string strModel = "T4K9";
    uint32_t dwReserved0 = 0xE0000;  // carried unchanged
    uint32_t dwPhoneLen = 0;         // the Phone image's length, as dwPhoneSize
    std::string strToolVersion = "20090110";
    uint32_t dwDownloadAddr = 0;
    uint32_t dwReserved1 = 0;
    uint32_t dwReserved2 = 0;
    uint32_t dwLaunchAddr = 0x80028000;
    uint32_t dwEbootStart = 0, dwEbootSize = 0;
    uint32_t dwPdaStart = 0, dwPdaSize = 0;
    uint32_t dwCscStart = 0, dwCscSize = 0;
    uint32_t dwLangStart = 0, dwLangSize = 0;
    uint32_t dwPhoneStart = 0, dwPhoneSize = 0;
    uint32_t dwSmdStart = 0, dwSmdSize = 0;
};

}  // namespace vantorel::images
