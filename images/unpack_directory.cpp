#include "images/unpack_directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <utility>
#include <vector>

#include "base/text_format.h"
#include "base/xdg_folders.h"

namespace vantorel::images {

namespace {

constexpr size_t kCopyChunk = 1 << 20;
constexpr int kTemporaryNameTries = 16;

// Closes a descriptor when the scope ends.
class ScopedFd {
public:
    explicit ScopedFd(int fd) : m_fd(fd) {}
    ~ScopedFd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Creates every missing directory of `path`, each with mode 0700.
void MakeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    }
    ::mkdir(path.c_str(), 0700);
}

// Opens the directory itself (never through a link at its last name), checks that it is the
// user's own and closes it to everyone else.
int OpenPrivateDirectory(const std::string& path, bool create) {
    if (create) {
        MakeDirectories(path);
    }
    ScopedFd dir(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.Get() < 0) {
        return -1;
    }
    struct stat status {};
    if (::fstat(dir.Get(), &status) != 0 || status.st_uid != ::geteuid()) {
        return -1;
    }
    if ((status.st_mode & 07777) != 0700 && ::fchmod(dir.Get(), 0700) != 0) {
        return -1;
    }
    return dir.Release();
}

std::string TemporaryName(std::string_view name) {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    return FormatText(".%.*s.%016llx", static_cast<int>(name.size()), name.data(),
                      static_cast<unsigned long long>(generator()));
}

bool WriteAll(int fd, const uint8_t* bytes, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, bytes, length);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

bool CopyRange(const ByteSource& source, uint64_t offset, uint64_t length, int fd) {
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(length, kCopyChunk)));
    while (length > 0) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(length, chunk.size()));
        if (!source.ReadAt(offset, chunk.data(), count) || !WriteAll(fd, chunk.data(), count)) {
            return false;
        }
        offset += count;
        length -= count;
    }
    return true;
}

}  // namespace

std::string UnpackDirectory::DefaultPath() {
    return StationFolder(XdgFolder::kCache, "unpacked").string();
}

std::string_view UnpackDirectory::FileName(ImageKind kind) {
    switch (kind) {
        case IMG_EBOOT:
            return "eboot.eb0";
        case IMG_PDA:
            return "pda.nb0";
        case IMG_PHONE:
            return "phone.bin";
        default:
            return {};
    }
}

std::string UnpackDirectory::FilePath(ImageKind kind) const {
    const std::string_view name = FileName(kind);
    return name.empty() || m_path.empty() ? std::string{} : m_path + "/" + std::string(name);
}

UnpackWrite UnpackDirectory::Write(ImageKind kind, const ByteSource& source, uint64_t offset,
                                   uint64_t length) {
    const std::string name(FileName(kind));
    if (name.empty()) {
        return UnpackWrite::kCreateFailed;
    }
    ScopedFd dir(OpenPrivateDirectory(m_path, true));
    if (dir.Get() < 0) {
        return UnpackWrite::kCreateFailed;
    }
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kTemporaryNameTries && fd < 0; ++attempt) {
        temporary = TemporaryName(name);
        fd = ::openat(dir.Get(), temporary.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return UnpackWrite::kCreateFailed;
    }
    ScopedFd file(fd);
    const bool written = CopyRange(source, offset, length, file.Get());
    const bool closed = ::close(file.Release()) == 0;
    if (!written || !closed ||
        ::renameat(dir.Get(), temporary.c_str(), dir.Get(), name.c_str()) != 0) {
        ::unlinkat(dir.Get(), temporary.c_str(), 0);
        return UnpackWrite::kWriteFailed;
    }
    return UnpackWrite::kOk;
}

void UnpackDirectory::Remove(ImageKind kind) const {
    const std::string name(FileName(kind));
    ScopedFd dir(OpenPrivateDirectory(m_path, false));
    if (name.empty() || dir.Get() < 0) {
        return;
    }
    ::unlinkat(dir.Get(), name.c_str(), 0);
}

void UnpackDirectory::RemoveAll() const {
    for (const ImageKind kind : {IMG_EBOOT, IMG_PDA, IMG_PHONE}) {
        Remove(kind);
    }
}

}  // namespace vantorel::images
