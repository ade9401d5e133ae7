#include "engine/file_checksum.h"

#include <algorithm>
#include <vector>

#include "engine/byte_sum.h"

namespace vantorel::engine {

namespace {
constexpr size_t kChunkSize = 256 * 1024;
}

uint32_t FileRangeByteSum(ImageFile& file, uint64_t offset, uint64_t length) {
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(kChunkSize, length)));
    uint32_t sum = 0;
    file.Seek(offset);
    uint64_t left = length;
    while (left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), left));
        const size_t got = file.Read(chunk.data(), want);
        sum = ByteSumContinue(sum, chunk.data(), got);
        if (got < want) {
            break;
        }
        left -= got;
    }
    file.Seek(offset);
    return sum;
}

uint32_t FileByteSum(ImageFile& file) {
    return FileRangeByteSum(file, 0, file.Length());
}

}  // namespace vantorel::engine
