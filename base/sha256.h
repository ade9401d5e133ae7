#pragma once

#include <openssl/evp.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vantorel {

// A SHA-256 value: for a file, the same value `sha256sum` prints.
struct Sha256Digest {
    std::array<uint8_t, 32> bytes{};
    friend bool operator==(const Sha256Digest&, const Sha256Digest&) = default;
    std::string ToHex() const;
};

// SHA-256 of a byte stream fed in pieces of any size (OpenSSL's libcrypto).
class Sha256 {
public:
    Sha256();
    Sha256(Sha256&&) noexcept = default;
    Sha256& operator=(Sha256&&) noexcept = default;

    void Update(const uint8_t* data, size_t length);
    // Feeds `count` zero bytes (RAM that was never written).
    void UpdateZeros(size_t count);
    // The digest of everything fed so far; feeding may go on afterwards.
    Sha256Digest Final() const;

    static Sha256Digest Of(std::span<const uint8_t> bytes);

private:
    struct ContextFree {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, ContextFree> m_context;
};

}  // namespace vantorel
