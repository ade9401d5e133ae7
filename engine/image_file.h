#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vantorel::engine {

// An image file opened for reading by one worker, read sequentially through a buffer of
// its own so that a 2032-byte packet costs no system call of its own.
class ImageFile {
public:
    ImageFile() = default;
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Moves to `offset`; false unless the position really is `offset` afterwards.
    bool Seek(uint64_t offset);
    uint64_t Position() const { return m_position; }
    // The file's length now (it may change under us: a truncated file reads short).
    uint64_t Length() const;
    // Reads up to `length` bytes at the position; fewer only at the end of the file.
    size_t Read(void* buffer, size_t length);

private:
    static constexpr size_t kBufferSize = 256 * 1024;

    int m_fd = -1;
    uint64_t m_position = 0;  // the caller's position in the file
    std::unique_ptr<uint8_t[]> m_buffer;
    uint64_t m_bufferStart = 0;  // file offset of m_buffer[0]
    size_t m_bufferLength = 0;
};

}  // namespace vantorel::engine
