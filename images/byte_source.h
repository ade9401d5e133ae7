#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vantorel::images {

// Random-access reads from an image, whether a file or bytes in memory. Readers take this so
// that the same parsing code serves the console, the tests and the fuzzers.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The length that every offset and size found inside the image is checked against.
    virtual uint64_t Length() const = 0;
    // Reads exactly `length` bytes at `offset`; false when fewer are there (or a read fails).
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t length) const = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    uint64_t Length() const override { return m_bytes.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t length) const override;

private:
    std::span<const uint8_t> m_bytes;
};

// A regular file opened read-only. Opening refuses anything but a regular file, so a FIFO
// or a device chosen by mistake cannot block or feed endless bytes.
class ReadOnlyFile final : public ByteSource {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile() override;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    void Close();

    // The length when the file was opened; a file truncated since then reads short.
    uint64_t Length() const override { return m_length; }
    bool ReadAt(uint64_t offset, void* buffer, size_t length) const override;

private:
    int m_fd = -1;
    uint64_t m_length = 0;
};

}  // namespace vantorel::images
