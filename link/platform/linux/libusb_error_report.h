#pragma once

#include <string>

namespace vantorel::link::linux_platform {

// The line that tells what a libusb call on a handset failed with, by libusb's own name for
// the error: "libusb: bulk read, endpoint 0x81, 1-2.3: LIBUSB_ERROR_PIPE (Pipe error)".
// `code` is the libusb result (negative) or its magnitude.
std::string LibusbErrorLine(const std::string& operation, const std::string& where, int code);

// Writes that line to standard error: the operator is not asked, a maintainer can read it.
void ReportLibusbError(const std::string& operation, const std::string& where, int code);

}  // namespace vantorel::link::linux_platform
