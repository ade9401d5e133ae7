#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vantorel::records {

// A batch folder's lock, held by the station whose batch it is for as long as the batch
// runs: another station on the same records folder neither prunes it nor marks it
// interrupted. The system lets go of it when the process ends, however it ends.
class BatchFolderLock {
public:
    BatchFolderLock() = default;
    ~BatchFolderLock();
    BatchFolderLock(BatchFolderLock&& other) noexcept;
    BatchFolderLock& operator=(BatchFolderLock&& other) noexcept;
    BatchFolderLock(const BatchFolderLock&) = delete;
    BatchFolderLock& operator=(const BatchFolderLock&) = delete;

    // The lock of `folder`, or nothing when another holds it or the folder cannot be opened.
    static std::optional<BatchFolderLock> TryTake(const std::filesystem::path& folder);

private:
    int m_fd = -1;
};

// A new batch folder under `root` (made if needed), claimed at once: the first of `name`,
// `name-2`, `name-3`... that this call creates itself, so two stations never share one.
struct ClaimedFolder {
    std::filesystem::path folder;
    BatchFolderLock lock;
};
std::optional<ClaimedFolder> ClaimBatchFolder(const std::filesystem::path& root,
                                              const std::string& name, std::string& error);

// Whether `folder` under a records root is one of the station's batch folders: a real
// folder (no link) with a batch folder's name that holds nothing but the files the station
// writes there. Anything else is the operator's and is left alone.
bool IsStationBatchFolder(const std::filesystem::path& folder);

}  // namespace vantorel::records
