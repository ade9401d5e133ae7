#include "records/batch_folders.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "records/records_location.h"

namespace vantorel::records {

namespace fs = std::filesystem;

namespace {

constexpr int kMostSuffixes = 1000;

// The names the station gives the files of a batch folder.
bool IsRecordFileName(const std::string& name) {
    if (name == "main.log" || name == "report.jsonl" || name == "summary.json" ||
        name == "summary.json.new") {
        return true;
    }
    return name.size() == 10 && name.starts_with("slot-") && name[5] >= '1' && name[5] <= '8' &&
           name.ends_with(".log");
}

}  // namespace

BatchFolderLock::~BatchFolderLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

BatchFolderLock::BatchFolderLock(BatchFolderLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

BatchFolderLock& BatchFolderLock::operator=(BatchFolderLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

std::optional<BatchFolderLock> BatchFolderLock::TryTake(const fs::path& folder) {
    BatchFolderLock lock;
    lock.m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (lock.m_fd < 0 || ::flock(lock.m_fd, LOCK_EX | LOCK_NB) != 0) {
        return std::nullopt;
    }
    return lock;
}

std::optional<ClaimedFolder> ClaimBatchFolder(const fs::path& root, const std::string& name,
                                              std::string& error) {
    std::error_code made;
    fs::create_directories(root, made);
    for (int n = 1; n <= kMostSuffixes; ++n) {
        const fs::path folder = root / (n == 1 ? name : name + "-" + std::to_string(n));
        if (::mkdir(folder.c_str(), 0755) != 0) {
            if (errno == EEXIST) {
                continue;  // another batch's, perhaps another station's this very second
            }
            error = folder.string() + ": " + std::strerror(errno);
            return std::nullopt;
        }
        std::optional<BatchFolderLock> lock = BatchFolderLock::TryTake(folder);
        if (!lock) {
            error = folder.string() + ": cannot be locked";
            return std::nullopt;
        }
        return ClaimedFolder{folder, std::move(*lock)};
    }
    error = (root / name).string() + ": every name is taken";
    return std::nullopt;
}

bool IsStationBatchFolder(const fs::path& folder) {
    std::error_code error;
    if (!IsBatchFolderName(folder.filename().string()) ||
        fs::symlink_status(folder, error).type() != fs::file_type::directory) {
        return false;
    }
    for (fs::directory_iterator it(folder, error), end; it != end; it.increment(error)) {
        if (error) {
            return false;
        }
        std::error_code entryError;
        if (it->symlink_status(entryError).type() != fs::file_type::regular ||
            !IsRecordFileName(it->path().filename().string())) {
            return false;
        }
    }
    return !error;
}

}  // namespace vantorel::records
