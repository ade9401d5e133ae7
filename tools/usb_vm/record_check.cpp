#include "tools/usb_vm/record_check.h"

#include <signal.h>

#include <chrono>
#include <thread>

#include "tools/usb_vm/record_files.h"

namespace vantorel::usb_vm {

namespace {

constexpr std::chrono::seconds kDumpBound{20};

// Where two byte runs first differ, or that they are equal.
std::string Compare(const std::vector<uint8_t>& flashed, const std::vector<uint8_t>& sent) {
    if (flashed == sent) {
        return {};
    }
    size_t at = 0;
    while (at < flashed.size() && at < sent.size() && flashed[at] == sent[at]) {
        ++at;
    }
    return "flashed " + std::to_string(flashed.size()) + " bytes, sent " +
           std::to_string(sent.size()) + ", first difference at byte " + std::to_string(at);
}

}  // namespace

bool AwaitRecordDump(const std::filesystem::path& recordDir, pid_t gadgetPid) {
    const uint64_t before = ReadDumpCount(recordDir);
    if (::kill(gadgetPid, SIGUSR1) != 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + kDumpBound;
    while (ReadDumpCount(recordDir) <= before) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::vector<std::string> CheckRecords(const ProbeOptions& options,
                                      const std::vector<ExpectedRecord>& expected) {
    std::vector<std::string> problems;
    if (!AwaitRecordDump(options.recordDir, options.gadgetPid)) {
        problems.push_back("the gadget program wrote no records within " +
                           std::to_string(kDumpBound.count()) + " s");
        return problems;
    }
    for (const ExpectedRecord& record : expected) {
        const std::pair<RecordImage, const std::vector<uint8_t>*> images[]{
            {RecordImage::Eboot, &record.images->eboot},
            {RecordImage::Phone, &record.images->phone},
            {RecordImage::Csc, &record.images->csc},
        };
        for (const auto& [image, sent] : images) {
            const auto flashed = ReadRecordImage(options.recordDir, record.name, image);
            const std::string what = record.name + " " + RecordImageName(image);
            if (!flashed) {
                problems.push_back(what + ": not flashed");
            } else if (const std::string difference = Compare(*flashed, *sent);
                       !difference.empty()) {
                problems.push_back(what + ": " + difference);
            }
        }
    }
    return problems;
}

}  // namespace vantorel::usb_vm
