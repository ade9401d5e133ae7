#include "link/platform/linux/download_match.h"

#include <cstring>

#include "link/platform/device_path.h"
#include "link/platform/linux/download_ids.h"

namespace vantorel::link::linux_platform {

std::optional<uint16_t> ParseUsbId(const char* text) {
    if (text == nullptr || std::strlen(text) != 4) {
        return std::nullopt;
    }
    uint16_t value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        unsigned digit = 0;
        if (*c >= '0' && *c <= '9') {
            digit = static_cast<unsigned>(*c - '0');
        } else if (*c >= 'a' && *c <= 'f') {
            digit = static_cast<unsigned>(*c - 'a' + 10);
        } else if (*c >= 'A' && *c <= 'F') {
            digit = static_cast<unsigned>(*c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = static_cast<uint16_t>(value << 4 | digit);
    }
    return value;
}

std::optional<std::string> DownloadInterfacePath(const char* idVendor, const char* idProduct,
                                                 const char* downloadTag, const char* sysname) {
    const auto vendorId = ParseUsbId(idVendor);
    const auto productId = ParseUsbId(idProduct);
    if (!vendorId || !productId || sysname == nullptr || *sysname == '\0') {
        return std::nullopt;
    }
    const bool tagged = downloadTag != nullptr && std::strcmp(downloadTag, "1") == 0;
    if (!tagged && !IsDownloadId(*vendorId, *productId)) {
        return std::nullopt;
    }
    return MakeDevicePath(*vendorId, *productId, sysname);
}

}  // namespace vantorel::link::linux_platform
