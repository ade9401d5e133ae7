#include "images/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantorel::images {

bool MemorySource::ReadAt(uint64_t offset, void* buffer, size_t length) const {
    if (offset > m_bytes.size() || length > m_bytes.size() - offset) {
        return false;
    }
    if (length > 0) {
        std::memcpy(buffer, m_bytes.data() + offset, length);
    }
    return true;
}

ReadOnlyFile::~ReadOnlyFile() {
    Close();
}

bool ReadOnlyFile::Open(const std::string& path) {
    Close();
    // Non-blocking only for the open itself: opening a FIFO must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_length = static_cast<uint64_t>(status.st_size);
    return true;
}

void ReadOnlyFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_length = 0;
}

bool ReadOnlyFile::ReadAt(uint64_t offset, void* buffer, size_t length) const {
    if (m_fd < 0 || offset > m_length || length > m_length - offset) {
        return false;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < length) {
        const ssize_t got =
            ::pread(m_fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

}  // namespace vantorel::images
