#include "records/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace vantorel::records {

namespace {

std::string SystemError(const std::string& what, int error = errno) {
    return what + ": " + std::strerror(error);
}

// The whole text, through interrupted and partial writes.
bool WriteAll(int fd, std::string_view text, const WriteFunction& write) {
    while (!text.empty()) {
        const ssize_t written =
            write ? write(fd, text.data(), text.size()) : ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;  // nothing moves: as good as a full disk
            return false;
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// Opens without blocking and takes only a regular file.
int OpenRegular(const std::filesystem::path& path, int flags, std::string& error) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = SystemError(path.string());
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = path.string() + ": not a regular file";
        ::close(fd);
        return -1;
    }
    // Blocking again for the writes: a regular file never waits anyway.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

AppendFile::~AppendFile() {
    Close();
}

AppendFile::AppendFile(AppendFile&& other) noexcept
    : m_write(std::move(other.m_write)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_tornFrom(std::exchange(other.m_tornFrom, std::nullopt)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_write = std::move(other.m_write);
        m_fd = std::exchange(other.m_fd, -1);
        m_tornFrom = std::exchange(other.m_tornFrom, std::nullopt);
    }
    return *this;
}

bool AppendFile::Open(const std::filesystem::path& path, std::string& error) {
    Close();
    m_fd = OpenRegular(path, O_WRONLY | O_CREAT | O_APPEND, error);
    return m_fd >= 0;
}

bool AppendFile::Append(std::string_view text, std::string& error) {
    if (m_fd < 0) {
        error = "not open";
        return false;
    }
    if (m_tornFrom) {
        if (::ftruncate(m_fd, *m_tornFrom) != 0) {
            error = SystemError("truncate");
            return false;
        }
        m_tornFrom.reset();
    }
    const off_t start = ::lseek(m_fd, 0, SEEK_END);
    if (start < 0) {
        error = SystemError("seek");
        return false;
    }
    if (!WriteAll(m_fd, text, m_write)) {
        const int writeError = errno;
        error = SystemError("write", writeError);
        if (::ftruncate(m_fd, start) != 0) {
            m_tornFrom = start;
        }
        return false;
    }
    return true;
}

void AppendFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_tornFrom.reset();
}

bool ReplaceFile(const std::filesystem::path& path, std::string_view text, std::string& error,
                 const WriteFunction& write) {
    const std::filesystem::path temporary = path.string() + ".new";
    const int fd = ::open(temporary.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) {
        error = SystemError(temporary.string());
        return false;
    }
    const bool written = WriteAll(fd, text, write) && ::fsync(fd) == 0;
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

std::optional<std::string> ReadRecordFile(const std::filesystem::path& path, uint64_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat status {};
    std::optional<std::string> text;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<uint64_t>(status.st_size) <= maxBytes) {
        text.emplace();
        char chunk[1 << 16];
        for (;;) {
            const ssize_t count = ::read(fd, chunk, sizeof chunk);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0 || text->size() + static_cast<size_t>(count) > maxBytes) {
                text.reset();  // unreadable, or it grew past the bound while read
                break;
            }
            if (count == 0) {
                break;
            }
            text->append(chunk, static_cast<size_t>(count));
        }
    }
    ::close(fd);
    return text;
}

std::optional<std::string> AppendTargetProblem(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            return "a folder, not a file";
        }
        if (!S_ISREG(status.st_mode)) {
            return "not a regular file";
        }
        if (::access(path.c_str(), W_OK) != 0) {
            return SystemError("cannot be written");
        }
        return std::nullopt;
    }
    if (errno != ENOENT) {
        return SystemError("cannot be reached");
    }
    const std::filesystem::path parent =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    if (::stat(parent.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return "its folder " + parent.string() + " does not exist";
    }
    if (::access(parent.c_str(), W_OK | X_OK) != 0) {
        return SystemError("its folder " + parent.string() + " cannot be written");
    }
    return std::nullopt;
}

}  // namespace vantorel::records
