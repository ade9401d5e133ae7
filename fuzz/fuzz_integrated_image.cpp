// The integrated-image header reader: whatever it accepts lies inside the file.
#include "fuzz/cyclic_source.h"
#include "images/integrated_image.h"

namespace {

void Exercise(const vantorel::images::ByteSource& source) {
    using namespace vantorel::images;
    const auto header = ReadContainerHeader(source);
    if (!header) {
        return;
    }
    uint8_t byte = 0;
    for (const ContainerEntry& entry : header.value.entries) {
        if (entry.dwSize == 0) {
            continue;
        }
        // The first and last byte of every accepted image can be read.
        if (!source.ReadAt(entry.dwOffset, &byte, 1) ||
            !source.ReadAt(uint64_t{entry.dwOffset} + entry.dwSize - 1, &byte, 1)) {
            __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Exercise(vantorel::images::MemorySource({data, size}));
    Exercise(vantorel::fuzz::CyclicSource(data, size));
    return 0;
}
