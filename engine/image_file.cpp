#include "engine/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vantorel::engine {

ImageFile::~ImageFile() {
    Close();
}

bool ImageFile::Open(const std::string& path) {
    Close();
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        return false;
    }
    if (!m_buffer) {
        m_buffer = std::make_unique<uint8_t[]>(kBufferSize);
    }
    m_position = 0;
    m_bufferStart = 0;
    m_bufferLength = 0;
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return true;
}

void ImageFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_bufferLength = 0;
}

bool ImageFile::Seek(uint64_t offset) {
    if (m_fd < 0) {
        return false;
    }
    // Seeking never fails on a regular file, even past its end; a later read then reads short.
    m_position = offset;
    return true;
}

uint64_t ImageFile::Length() const {
    struct stat status {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0) {
        return 0;
    }
    return static_cast<uint64_t>(status.st_size);
}

size_t ImageFile::Read(void* buffer, size_t length) {
    if (m_fd < 0) {
        return 0;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < length) {
        const bool inBuffer =
            m_position >= m_bufferStart && m_position < m_bufferStart + m_bufferLength;
        if (inBuffer) {
            const size_t offset = static_cast<size_t>(m_position - m_bufferStart);
            const size_t count = std::min(length - done, m_bufferLength - offset);
            std::memcpy(out + done, m_buffer.get() + offset, count);
            done += count;
            m_position += count;
            continue;
        }
        // Large reads go straight to the caller; small ones refill the buffer.
        if (length - done >= kBufferSize) {
            const ssize_t got =
                ::pread(m_fd, out + done, length - done, static_cast<off_t>(m_position));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            done += static_cast<size_t>(got);
            m_position += static_cast<uint64_t>(got);
            continue;
        }
        const ssize_t got =
            ::pread(m_fd, m_buffer.get(), kBufferSize, static_cast<off_t>(m_position));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            m_bufferLength = 0;
            break;
        }
        m_bufferStart = m_position;
        m_bufferLength = static_cast<size_t>(got);
    }
    return done;
}

}  // namespace vantorel::engine
