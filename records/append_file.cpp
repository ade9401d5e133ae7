#include "records/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace vantorel::records {

namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// The whole text, through interrupted and partial writes.
bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

AppendFile::~AppendFile() {
    Close();
}

AppendFile::AppendFile(AppendFile&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool AppendFile::Open(const std::filesystem::path& path, std::string& error) {
    Close();
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        error = SystemError(path.string());
        return false;
    }
    return true;
}

bool AppendFile::Append(std::string_view text, std::string& error) {
    if (m_fd < 0) {
        error = "not open";
        return false;
    }
    if (!WriteAll(m_fd, text)) {
        error = SystemError("write");
        return false;
    }
    return true;
}

void AppendFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool ReplaceFile(const std::filesystem::path& path, std::string_view text, std::string& error) {
    const std::filesystem::path temporary = path.string() + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = SystemError(temporary.string());
        return false;
    }
    const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    if (!written) {
        error = SystemError(temporary.string());
    }
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        if (written) {
            error = SystemError(path.string());
        }
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace vantorel::records
