#pragma once

#include <cstddef>
#include <cstdint>

namespace vantorel::engine {

// The checksum of this system: the sum of the bytes, each taken as 0..255, modulo 2^32.
uint32_t ByteSum(const void* buffer, size_t length);

// Continues a sum over a further piece, so that a stream can be summed in chunks.
uint32_t ByteSumContinue(uint32_t sum, const void* buffer, size_t length);

// Which implementation the processor runs ("avx2", "sse2" or "portable").
const char* ByteSumVariant();

// The plain byte loop, kept as the reference the fast paths are checked against.
uint32_t ByteSumPortable(const void* buffer, size_t length);

}  // namespace vantorel::engine
