#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vantorel::records {

// What a report says of one image file.
struct FileDigest {
    uint64_t size = 0;
    std::string sha256;  // lower-case hex, as sha256sum prints it; empty when unreadable
};

// The SHA-256 of each chosen image file, computed once per file version (path, size and
// modification time), streaming, on a thread of its own: choosing a file starts it, and
// nobody waits for it but the report that names the file.
class FileDigests {
public:
    FileDigests() = default;
    ~FileDigests();  // stops and joins the threads still reading
    FileDigests(const FileDigests&) = delete;
    FileDigests& operator=(const FileDigests&) = delete;

    // Starts the digest of `path` unless the same version is done or under way.
    void Request(const std::filesystem::path& path);
    // The digest when it is done; a file that could not be read is done with an empty value.
    std::optional<FileDigest> Get(const std::filesystem::path& path) const;
    // Called on the digest's thread each time one is done.
    void SetOnDone(std::function<void()> onDone);
    // Stops and joins the threads still reading; the digests they were computing stay
    // unknown, and no more are started.
    void Stop();

private:
    struct Version {
        uint64_t size = 0;
        std::filesystem::file_time_type modified;
        bool operator==(const Version&) const = default;
    };
    struct Entry {
        Version version;
        std::optional<FileDigest> digest;
    };
    static std::optional<Version> VersionOf(const std::filesystem::path& path);
    void Compute(std::stop_token stop, std::filesystem::path path, Version version);

    mutable std::mutex m_mutex;
    std::map<std::filesystem::path, Entry> m_entries;
    std::function<void()> m_onDone;
    bool m_bStopped = false;
    struct Reader {
        std::shared_ptr<std::atomic<bool>> bFinished = std::make_shared<std::atomic<bool>>(false);
        std::jthread thread;
    };
    // Under the lock: joins the readers that are done, so finished threads do not pile up.
    void ReapFinished();

    std::list<Reader> m_readers;  // last member: joined before the rest goes
};

}  // namespace vantorel::records
