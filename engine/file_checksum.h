#pragma once

#include <cstdint>

#include "engine/image_file.h"

namespace vantorel::engine {

// Sums the whole file from offset 0 and leaves the file at 0. Streams in chunks, so memory
// does not grow with the file.
uint32_t FileByteSum(ImageFile& file);

// Sums `length` bytes from `offset` (what the file has of them) and leaves the file at `offset`.
uint32_t FileRangeByteSum(ImageFile& file, uint64_t offset, uint64_t length);

}  // namespace vantorel::engine
