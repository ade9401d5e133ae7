#include "base/bounded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/unique_fd.h"

namespace vantorel {

namespace {

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "of an unknown kind";
}

// Whether `status` is a regular file within the bound; `error` says why not.
bool IsBoundedRegular(const struct stat& status, size_t maxBytes, std::string& error) {
    if (!S_ISREG(status.st_mode)) {
        error = std::string("not a regular file but ") + KindOf(status.st_mode);
        return false;
    }
    if (static_cast<unsigned long long>(status.st_size) > maxBytes) {
        error = "too large: " + std::to_string(status.st_size) + " bytes, at most " +
                std::to_string(maxBytes) + " are read";
        return false;
    }
    return true;
}

std::string CannotRead(int code) {
    return std::string("cannot read the file (") + std::strerror(code) + ")";
}

}  // namespace

FileCheck CheckBoundedRegularFile(const std::string& path, size_t maxBytes, std::string& error) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        const int code = errno;
        error = CannotRead(code);
        return code == ENOENT ? FileCheck::Missing : FileCheck::Unusable;
    }
    return IsBoundedRegular(status, maxBytes, error) ? FileCheck::Usable : FileCheck::Unusable;
}

std::optional<std::string> ReadBoundedRegularFile(const std::string& path, size_t maxBytes,
                                                  std::string& error) {
    // Looked at before opening: opening some devices has effects of its own.
    if (CheckBoundedRegularFile(path, maxBytes, error) != FileCheck::Usable) {
        return std::nullopt;
    }
    // Non-blocking and checked again once open, for a file swapped for a FIFO meanwhile.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat status {};
    if (!fd || ::fstat(fd.Get(), &status) != 0) {
        error = CannotRead(errno);
        return std::nullopt;
    }
    if (!IsBoundedRegular(status, maxBytes, error)) {
        return std::nullopt;
    }
    // Up to one byte beyond the bound, which tells a file that grew while it was read.
    std::string text;
    char chunk[16384];
    while (text.size() <= maxBytes) {
        const size_t wanted = std::min(sizeof chunk, maxBytes + 1 - text.size());
        const ssize_t count = ::read(fd.Get(), chunk, wanted);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            error = CannotRead(errno);
            return std::nullopt;
        }
        if (count == 0) {
            return text;
        }
        text.append(chunk, static_cast<size_t>(count));
    }
    error = "too large: it grew beyond " + std::to_string(maxBytes) + " bytes while read";
    return std::nullopt;
}

}  // namespace vantorel
