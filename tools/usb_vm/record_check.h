#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tools/usb_vm/probe_arguments.h"
#include "tools/usb_vm/probe_support.h"

namespace vantorel::usb_vm {

struct ExpectedRecord {
    std::string name;
    const ProbeImages* images = nullptr;
};

// Asks the gadget program (SIGUSR1) to dump its handsets' records into `recordDir` and
// waits, bounded, until it has; false when it did not.
bool AwaitRecordDump(const std::filesystem::path& recordDir, pid_t gadgetPid);

// Asks the gadget program for its records and compares each handset's flashed boot loader,
// modem and CSC image with the bytes it was sent, byte for byte. One line per problem;
// none when everything matches.
std::vector<std::string> CheckRecords(const ProbeOptions& options,
                                      const std::vector<ExpectedRecord>& expected);

}  // namespace vantorel::usb_vm
