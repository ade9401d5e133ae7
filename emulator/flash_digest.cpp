#include "emulator/flash_digest.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace vantorel::emulator {

namespace {

constexpr uint64_t kPrime1 = 0x87C37B91114253D5ull;
constexpr uint64_t kPrime2 = 0x4CF5AD432745937Full;

uint64_t FinalMix(uint64_t value) {
    value ^= value >> 33;
    value *= 0xFF51AFD7ED558CCDull;
    value ^= value >> 33;
    value *= 0xC4CEB9FE1A85EC53ull;
    value ^= value >> 33;
    return value;
}

uint64_t LoadWord(const uint8_t* bytes) {
    uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap64(word);
    }
    return word;
}

}  // namespace

std::string Digest128::ToHex() const {
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(high),
                  static_cast<unsigned long long>(low));
    return text;
}

void FlashDigest::Mix(uint64_t word) {
    uint64_t k1 = std::rotl(word * kPrime1, 31) * kPrime2;
    m_lane1 = (std::rotl(m_lane1 ^ k1, 27) + m_lane2) * 5 + 0x52DCE729;
    uint64_t k2 = std::rotl(word * kPrime2, 33) * kPrime1;
    m_lane2 = (std::rotl(m_lane2 ^ k2, 31) + m_lane1) * 5 + 0x38495AB5;
}

void FlashDigest::Update(const uint8_t* data, size_t length) {
    m_length += length;
    if (m_tailLength > 0) {
        const size_t take = std::min(length, sizeof m_tail - m_tailLength);
        std::memcpy(m_tail + m_tailLength, data, take);
        m_tailLength += take;
        data += take;
        length -= take;
        if (m_tailLength < sizeof m_tail) {
            return;
        }
        Mix(LoadWord(m_tail));
        m_tailLength = 0;
    }
    for (; length >= 8; data += 8, length -= 8) {
        Mix(LoadWord(data));
    }
    std::memcpy(m_tail, data, length);
    m_tailLength = length;
}

void FlashDigest::UpdateZeros(size_t count) {
    static constexpr uint8_t kZeros[4096]{};
    while (count > 0) {
        const size_t piece = std::min(count, sizeof kZeros);
        Update(kZeros, piece);
        count -= piece;
    }
}

Digest128 FlashDigest::Final() const {
    FlashDigest copy = *this;
    // The tail is padded with a marker byte so "ab" and "ab\0" differ before the length
    // even comes in.
    uint8_t last[8]{};
    std::memcpy(last, copy.m_tail, copy.m_tailLength);
    last[copy.m_tailLength] = 0x80;
    copy.Mix(LoadWord(last) ^ copy.m_length);
    const uint64_t a = FinalMix(copy.m_lane1 + copy.m_lane2);
    const uint64_t b = FinalMix(copy.m_lane2 ^ std::rotl(copy.m_lane1, 17) ^ copy.m_length);
    return {a, b};
}

Digest128 FlashDigest::Of(std::span<const uint8_t> bytes) {
    FlashDigest digest;
    digest.Update(bytes.data(), bytes.size());
    return digest.Final();
}

}  // namespace vantorel::emulator
