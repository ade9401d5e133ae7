#include "tools/usb_vm/ffs_descriptors.h"

#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>

namespace vantorel::usb_vm {

namespace {

constexpr uint8_t kInterfaceNameIndex = 1;
constexpr uint16_t kLanguageUsEnglish = 0x0409;
// Endpoint numbers only pair the descriptors of the two speeds; the controller picks the
// addresses the host sees.
constexpr uint8_t kInAddress = 1 | USB_DIR_IN;
constexpr uint8_t kOutAddress = 2 | USB_DIR_OUT;
constexpr uint32_t kDescriptorsPerSpeed = 3;

void PutLe16(std::vector<uint8_t>& blob, uint16_t value) {
    blob.push_back(static_cast<uint8_t>(value));
    blob.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLe32(std::vector<uint8_t>& blob, uint32_t value) {
    PutLe16(blob, static_cast<uint16_t>(value));
    PutLe16(blob, static_cast<uint16_t>(value >> 16));
}

void SetLe32(std::vector<uint8_t>& blob, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        blob[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void PutInterface(std::vector<uint8_t>& blob) {
    blob.push_back(USB_DT_INTERFACE_SIZE);
    blob.push_back(USB_DT_INTERFACE);
    blob.push_back(0);  // bInterfaceNumber
    blob.push_back(0);  // bAlternateSetting
    blob.push_back(2);  // bNumEndpoints
    blob.push_back(kDownloadInterfaceClass);
    blob.push_back(0);  // bInterfaceSubClass
    blob.push_back(0);  // bInterfaceProtocol
    blob.push_back(kInterfaceNameIndex);
}

void PutBulkEndpoint(std::vector<uint8_t>& blob, uint8_t address, uint16_t maxPacket) {
    blob.push_back(USB_DT_ENDPOINT_SIZE);
    blob.push_back(USB_DT_ENDPOINT);
    blob.push_back(address);
    blob.push_back(USB_ENDPOINT_XFER_BULK);
    PutLe16(blob, maxPacket);
    blob.push_back(0);  // bInterval
}

void PutSpeedSet(std::vector<uint8_t>& blob, uint16_t maxPacket) {
    PutInterface(blob);
    PutBulkEndpoint(blob, kInAddress, maxPacket);
    PutBulkEndpoint(blob, kOutAddress, maxPacket);
}

}  // namespace

std::vector<uint8_t> BuildFfsDescriptors() {
    std::vector<uint8_t> blob;
    PutLe32(blob, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    PutLe32(blob, 0);  // length, set below
    PutLe32(blob, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
    PutLe32(blob, kDescriptorsPerSpeed);
    PutLe32(blob, kDescriptorsPerSpeed);
    PutSpeedSet(blob, kFullSpeedBulkPacket);
    PutSpeedSet(blob, kHighSpeedBulkPacket);
    SetLe32(blob, 4, static_cast<uint32_t>(blob.size()));
    return blob;
}

std::vector<uint8_t> BuildFfsStrings(std::string_view interfaceName) {
    std::vector<uint8_t> blob;
    PutLe32(blob, FUNCTIONFS_STRINGS_MAGIC);
    PutLe32(blob, 0);  // length, set below
    PutLe32(blob, 1);  // strings per language
    PutLe32(blob, 1);  // languages
    PutLe16(blob, kLanguageUsEnglish);
    // A string ends at its first NUL, so none may hide inside the name.
    for (const char c : interfaceName) {
        if (c != '\0') {
            blob.push_back(static_cast<uint8_t>(c));
        }
    }
    blob.push_back(0);
    SetLe32(blob, 4, static_cast<uint32_t>(blob.size()));
    return blob;
}

}  // namespace vantorel::usb_vm
