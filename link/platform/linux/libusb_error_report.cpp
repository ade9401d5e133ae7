#include "link/platform/linux/libusb_error_report.h"

#include <libusb.h>

#include <cstdio>

namespace vantorel::link::linux_platform {

std::string LibusbErrorLine(const std::string& operation, const std::string& where, int code) {
    const int result = code > 0 ? -code : code;
    std::string line = "libusb: " + operation;
    if (!where.empty()) {
        line += ", " + where;
    }
    line += ": ";
    line += libusb_error_name(result);
    line += " (";
    line += libusb_strerror(result);
    line += ")";
    return line;
}

void ReportLibusbError(const std::string& operation, const std::string& where, int code) {
    const std::string line = LibusbErrorLine(operation, where, code) + "\n";
    std::fputs(line.c_str(), stderr);
}

}  // namespace vantorel::link::linux_platform
