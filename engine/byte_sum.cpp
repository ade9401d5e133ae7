#include "engine/byte_sum.h"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace vantorel::engine {

namespace {

uint32_t PortableSum(uint32_t sum, const uint8_t* bytes, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        sum += bytes[i];
    }
    return sum;
}

#if defined(__x86_64__)
// psadbw against zero adds eight bytes into one 64-bit lane per instruction; the lanes
// cannot overflow for any buffer that fits in memory.
uint32_t Sse2Sum(uint32_t sum, const uint8_t* bytes, size_t length) {
    const __m128i zero = _mm_setzero_si128();
    __m128i total0 = _mm_setzero_si128();
    __m128i total1 = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 32 <= length; i += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 16));
        total0 = _mm_add_epi64(total0, _mm_sad_epu8(a, zero));
        total1 = _mm_add_epi64(total1, _mm_sad_epu8(b, zero));
    }
    const __m128i total = _mm_add_epi64(total0, total1);
    const uint64_t lanes =
        static_cast<uint64_t>(_mm_cvtsi128_si64(total)) +
        static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(total, total)));
    sum += static_cast<uint32_t>(lanes);
    return PortableSum(sum, bytes + i, length - i);
}
#endif

}  // namespace

uint32_t ByteSumContinue(uint32_t sum, const void* buffer, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
#if defined(__x86_64__)
    return Sse2Sum(sum, bytes, length);
#else
    return PortableSum(sum, bytes, length);
#endif
}

uint32_t ByteSum(const void* buffer, size_t length) {
    return ByteSumContinue(0, buffer, length);
}

}  // namespace vantorel::engine
