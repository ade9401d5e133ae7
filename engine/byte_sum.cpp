#include "engine/byte_sum.h"

#if defined(__x86_64__)
#include <immintrin.h>
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

// The same with 32-byte registers and four independent accumulators, for processors that
// have AVX2: memory bandwidth, not the adds, is then the limit.
__attribute__((target("avx2"))) uint32_t Avx2Sum(uint32_t sum, const uint8_t* bytes,
                                                 size_t length) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i total0 = _mm256_setzero_si256();
    __m256i total1 = _mm256_setzero_si256();
    __m256i total2 = _mm256_setzero_si256();
    __m256i total3 = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + 128 <= length; i += 128) {
        const auto* at = reinterpret_cast<const __m256i*>(bytes + i);
        total0 = _mm256_add_epi64(total0, _mm256_sad_epu8(_mm256_loadu_si256(at), zero));
        total1 = _mm256_add_epi64(total1, _mm256_sad_epu8(_mm256_loadu_si256(at + 1), zero));
        total2 = _mm256_add_epi64(total2, _mm256_sad_epu8(_mm256_loadu_si256(at + 2), zero));
        total3 = _mm256_add_epi64(total3, _mm256_sad_epu8(_mm256_loadu_si256(at + 3), zero));
    }
    const __m256i total =
        _mm256_add_epi64(_mm256_add_epi64(total0, total1), _mm256_add_epi64(total2, total3));
    alignas(32) uint64_t lanes[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), total);
    sum += static_cast<uint32_t>(lanes[0] + lanes[1] + lanes[2] + lanes[3]);
    return Sse2Sum(sum, bytes + i, length - i);
}

using SumFunction = uint32_t (*)(uint32_t, const uint8_t*, size_t);

SumFunction ChooseSum() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? Avx2Sum : Sse2Sum;
}
#endif

}  // namespace

uint32_t ByteSumContinue(uint32_t sum, const void* buffer, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
#if defined(__x86_64__)
    static const SumFunction chosen = ChooseSum();
    return chosen(sum, bytes, length);
#else
    return PortableSum(sum, bytes, length);
#endif
}

const char* ByteSumVariant() {
#if defined(__x86_64__)
    return ChooseSum() == Avx2Sum ? "avx2" : "sse2";
#else
    return "portable";
#endif
}

uint32_t ByteSumPortable(const void* buffer, size_t length) {
    return PortableSum(0, static_cast<const uint8_t*>(buffer), length);
}

uint32_t ByteSum(const void* buffer, size_t length) {
    return ByteSumContinue(0, buffer, length);
}

}  // namespace vantorel::engine
