#include "bench/sample_directory.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <vector>

#include "base/bounded_file.h"
#include "base/unique_fd.h"
#include "base/xdg_folders.h"
#include "samples/sample_images.h"

namespace vantorel::bench {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSampleSeed = 7;
// The marker says the folder is the set's own. It is claimed with kClaimText before the first
// file goes in, and says kMarkerText once the whole set is in place.
constexpr const char* kMarkerName = ".vantorel-sample-set";
constexpr const char* kMarkerPrefix = "vantorel sample set ";
constexpr const char* kMarkerText = "vantorel sample set 1, seed 7\n";
constexpr const char* kClaimText = "vantorel sample set 1, seed 7, being written\n";
// The files are written into a fresh folder of this name inside the set's folder first.
constexpr const char* kStagingPrefix = ".vantorel-sample-staging-";

enum class Folder {
    New,       // nothing there yet
    Empty,     // a folder with nothing in it
    Complete,  // the whole set, as the bench wrote it
    Ours,      // the bench's, but the set is not whole (an interrupted write)
    Foreign,   // holds files the bench did not write
};

// The marker's text; nullopt when there is none or it is no regular file of its own (a link
// or a FIFO in its place is not the bench's marker).
std::optional<std::string> MarkerText(const fs::path& directory) {
    const fs::path marker = directory / kMarkerName;
    struct stat status {};
    if (::lstat(marker.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    std::string ignored;
    return ReadBoundedRegularFile(marker.string(), 256, ignored);
}

// A few of the names in a folder, for the operator to recognise it.
std::string SomeNames(const fs::path& directory) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(directory, ignored)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string text;
    for (size_t i = 0; i < names.size() && i < 3; ++i) {
        text += (i == 0 ? "" : ", ") + names[i];
    }
    return names.size() > 3 ? text + ", ..." : text;
}

// What `directory` is to the set; false, with the reason, when it is no folder at all.
bool Inspect(const fs::path& directory, Folder& folder, std::string& error) {
    struct stat status {};
    if (::stat(directory.c_str(), &status) != 0) {
        const int code = errno;
        if (code == ENOENT) {
            folder = Folder::New;
            return true;
        }
        error = "cannot write the sample images into " + directory.string() + ": " +
                std::strerror(code);
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        error = directory.string() + " is no folder: the sample set goes into a folder";
        return false;
    }
    if (const auto marker = MarkerText(directory); marker && marker->starts_with(kMarkerPrefix)) {
        std::error_code ignored;
        const bool bWhole = *marker == kMarkerText &&
                            fs::is_regular_file(SampleEbootPath(directory), ignored) &&
                            fs::is_regular_file(SamplePdaPath(directory), ignored);
        folder = bWhole ? Folder::Complete : Folder::Ours;
        return true;
    }
    std::error_code failed;
    const bool bEmpty = fs::is_empty(directory, failed);
    if (failed) {
        error =
            "cannot write the sample images into " + directory.string() + ": " + failed.message();
        return false;
    }
    folder = bEmpty ? Folder::Empty : Folder::Foreign;
    return true;
}

// Creates `path` holding `text`, never opening a file that is there already nor following a
// link. False when something of that name exists; throws when it cannot be written.
bool CreateWithText(const fs::path& path, const char* text) {
    const UniqueFd fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd && errno == EEXIST) {
        return false;
    }
    const size_t length = std::strlen(text);
    if (!fd || ::write(fd.Get(), text, length) != static_cast<ssize_t>(length)) {
        throw fs::filesystem_error("cannot write", path,
                                   std::error_code(errno, std::generic_category()));
    }
    return true;
}

// Makes the marker say `text`: written aside in `staging`, renamed over the old one.
void PutMarker(const fs::path& directory, const fs::path& staging, const char* text) {
    CreateWithText(staging / kMarkerName, text);
    fs::rename(staging / kMarkerName, directory / kMarkerName);
}

// Claims a new or empty folder for the set. Another bench claiming it at the same moment is
// fine: the folder is the set's either way.
void Claim(const fs::path& directory) {
    fs::create_directories(directory);
    CreateWithText(directory / kMarkerName, kClaimText);
}

// A fresh folder of the bench's own inside `directory`, removed with what is left in it.
class StagingFolder {
public:
    explicit StagingFolder(const fs::path& directory) {
        std::string pattern = (directory / kStagingPrefix).string() + "XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw fs::filesystem_error("cannot make a folder to write the set in", directory,
                                       std::error_code(errno, std::generic_category()));
        }
        m_path = pattern;
    }
    ~StagingFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

// Staging folders an interrupted write left behind: the bench's own, in the set's folder.
void RemoveLeftStaging(const fs::path& directory) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(directory, ignored)) {
        if (entry.path().filename().string().starts_with(kStagingPrefix) &&
            entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
            fs::remove_all(entry.path(), ignored);
        }
    }
}

// Writes the set aside and renames each file into place; the marker says it is whole last.
void WriteSet(const fs::path& directory) {
    RemoveLeftStaging(directory);
    const StagingFolder staging(directory);
    samples::WriteSampleSet(staging.Path().string(), samples::SampleSizes{}, kSampleSeed);
    for (const auto& entry : fs::directory_iterator(staging.Path())) {
        fs::rename(entry.path(), directory / entry.path().filename());
    }
    PutMarker(directory, staging.Path(), kMarkerText);
}

}  // namespace

std::string DefaultSampleDirectory() {
    return StationFolder(XdgFolder::kData, "sample-images").string();
}

std::string SampleEbootPath(const std::string& directory) {
    return (fs::path(directory) / "eboot.eb0").string();
}

std::string SamplePdaPath(const std::string& directory) {
    return (fs::path(directory) / "pda.nb0").string();
}

bool EnsureSampleSet(const std::string& directory, std::string& error) {
    if (directory.empty()) {
        error = "no folder for the sample images: no home folder and no absolute XDG_DATA_HOME";
        return false;
    }
    Folder folder = Folder::New;
    if (!Inspect(directory, folder, error)) {
        return false;
    }
    switch (folder) {
        case Folder::Complete:
            return true;
        case Folder::Foreign:
            error = directory + " holds files the bench did not write (" + SomeNames(directory) +
                    "): the sample set is written only into a new or empty folder, never over "
                    "other files; give another folder, or choose the images with --eboot and "
                    "--pda";
            return false;
        case Folder::New:
        case Folder::Empty:
        case Folder::Ours:
            break;
    }
    try {
        if (folder != Folder::Ours) {
            Claim(directory);
        }
        WriteSet(directory);
    } catch (const std::exception& failure) {
        error = "cannot write the sample images into " + directory + ": " + failure.what();
        return false;
    }
    return true;
}

}  // namespace vantorel::bench
