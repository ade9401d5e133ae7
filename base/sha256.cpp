#include "base/sha256.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vantorel {

namespace {

// A digest context that cannot be made or fed means libcrypto itself is broken; a record
// that silently compared wrong would be worse than stopping.
void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "vantorel: SHA-256 %s failed in libcrypto\n", what);
        std::abort();
    }
}

}  // namespace

std::string Sha256Digest::ToHex() const {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

Sha256::Sha256() : m_context(EVP_MD_CTX_new()) {
    Require(m_context != nullptr, "context");
    Require(EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) == 1, "init");
}

void Sha256::Update(const uint8_t* data, size_t length) {
    Require(EVP_DigestUpdate(m_context.get(), data, length) == 1, "update");
}

void Sha256::UpdateZeros(size_t count) {
    static constexpr uint8_t kZeros[4096]{};
    while (count > 0) {
        const size_t piece = std::min(count, sizeof kZeros);
        Update(kZeros, piece);
        count -= piece;
    }
}

Sha256Digest Sha256::Final() const {
    std::unique_ptr<EVP_MD_CTX, ContextFree> copy(EVP_MD_CTX_new());
    Require(copy != nullptr && EVP_MD_CTX_copy_ex(copy.get(), m_context.get()) == 1, "copy");
    Sha256Digest digest;
    unsigned int length = 0;
    Require(EVP_DigestFinal_ex(copy.get(), digest.bytes.data(), &length) == 1 &&
                length == digest.bytes.size(),
            "final");
    return digest;
}

Sha256Digest Sha256::Of(std::span<const uint8_t> bytes) {
    Sha256 digest;
    digest.Update(bytes.data(), bytes.size());
    return digest.Final();
}

}  // namespace vantorel
