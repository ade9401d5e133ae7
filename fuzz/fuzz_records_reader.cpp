// The records reader: report lines as a batch folder found without a summary holds them
// (torn, binary, anything), and the names the station takes for its own batch folders.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "records/records_location.h"
#include "records/slot_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantorel::records;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string& line : ReportLinesOf(text)) {
        if (line.find('\n') != std::string::npos || line.size() > size) {
            __builtin_trap();
        }
    }
    const BatchSummary summary = SummaryOfReport(text);
    if (summary.succeeded + summary.failed > summary.detected || summary.detected < 0) {
        __builtin_trap();
    }
    // A name taken for a batch folder is never a path of more than one part.
    const std::string_view name = text.substr(0, 64);
    if (IsBatchFolderName(name) &&
        (name.find('/') != std::string_view::npos || name.find('.') != std::string_view::npos ||
         name.find('\0') != std::string_view::npos)) {
        __builtin_trap();
    }
    return 0;
}
