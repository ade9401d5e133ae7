#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace vantorel::usb_vm {

// The download-mode handset's USB function as FunctionFS wants it written to ep0: interface 0
// of class 0xff with two bulk endpoints, bulk IN listed first and bulk OUT second, because the
// station reads the first pipe of interface 0 and writes the second. FunctionFS numbers the
// endpoint files in the same order, so ep1 is the IN endpoint and ep2 the OUT endpoint.
inline constexpr uint8_t kDownloadInterfaceClass = 0xff;
inline constexpr uint8_t kFullSpeedBulkPacket = 64;
inline constexpr uint16_t kHighSpeedBulkPacket = 512;

// The endpoint files that carry the handset's replies and the station's packets.
inline constexpr const char* kInEndpointFile = "ep1";
inline constexpr const char* kOutEndpointFile = "ep2";

// The descriptors blob (v2 format: a full-speed and a high-speed set).
std::vector<uint8_t> BuildFfsDescriptors();

// The strings blob: one string, the interface name, in US English.
std::vector<uint8_t> BuildFfsStrings(std::string_view interfaceName);

}  // namespace vantorel::usb_vm
