#include "records/batch_pruning.h"

#include <algorithm>

#include "records/batch_folders.h"

namespace vantorel::records {

namespace {

namespace fs = std::filesystem;

struct Folder {
    std::string name;
    uint64_t bytes = 0;
    fs::file_time_type changed;
};

uint64_t SizeOf(const fs::path& folder) {
    uint64_t bytes = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code sizeError;
        const auto size = it->file_size(sizeError);
        bytes += sizeError ? 0 : size;
    }
    return bytes;
}

}  // namespace

std::vector<std::string> PruneBatches(const fs::path& root, const std::string& keep,
                                      uint64_t sizeCap, std::chrono::hours maxAge,
                                      std::stop_token stop) {
    std::vector<Folder> folders;
    std::error_code error;
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        if (!IsStationBatchFolder(it->path())) {
            continue;
        }
        std::error_code entryError;
        const auto changed = fs::last_write_time(it->path(), entryError);
        folders.push_back({it->path().filename().string(), SizeOf(it->path()),
                           entryError ? fs::file_time_type::clock::now() : changed});
    }
    std::sort(folders.begin(), folders.end(),
              [](const Folder& left, const Folder& right) { return left.name < right.name; });
    uint64_t total = 0;
    for (const Folder& folder : folders) {
        total += folder.bytes;
    }
    const auto oldest = fs::file_time_type::clock::now() - maxAge;
    std::vector<std::string> removed;
    for (const Folder& folder : folders) {
        if (stop.stop_requested()) {
            break;
        }
        if (folder.name == keep || (total <= sizeCap && folder.changed >= oldest)) {
            continue;
        }
        const fs::path path = root / folder.name;
        // Held while it is looked at: a station that starts on it now cannot have it.
        const std::optional<BatchFolderLock> lock = BatchFolderLock::TryTake(path);
        if (!lock || !IsStationBatchFolder(path)) {
            continue;
        }
        std::error_code removeError;
        fs::remove_all(path, removeError);
        if (!removeError) {
            total -= folder.bytes;
            removed.push_back(folder.name);
        }
    }
    return removed;
}

}  // namespace vantorel::records
