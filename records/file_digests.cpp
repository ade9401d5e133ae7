#include "records/file_digests.h"

#include <fstream>
#include <vector>

#include "base/sha256.h"

namespace vantorel::records {

namespace {
constexpr size_t kChunk = 1 << 20;
}

FileDigests::~FileDigests() {
    Stop();
}

void FileDigests::Stop() {
    std::list<Reader> readers;
    {
        std::lock_guard lock(m_mutex);
        readers.swap(m_readers);
        m_onDone = nullptr;
        m_bStopped = true;
    }
    // The jthreads ask their digests to stop and join as they go.
}

std::optional<FileDigests::Version> FileDigests::VersionOf(const std::filesystem::path& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) {
        return std::nullopt;
    }
    const auto modified = std::filesystem::last_write_time(path, error);
    if (error) {
        return std::nullopt;
    }
    return Version{size, modified};
}

void FileDigests::Request(const std::filesystem::path& path) {
    const std::optional<Version> version = VersionOf(path);
    std::lock_guard lock(m_mutex);
    if (m_bStopped) {
        return;
    }
    if (!version) {
        m_entries[path] = Entry{{}, FileDigest{}};
        return;
    }
    if (const auto found = m_entries.find(path);
        found != m_entries.end() && found->second.version == *version) {
        return;
    }
    ReapFinished();
    m_entries[path] = Entry{*version, std::nullopt};
    Reader& reader = m_readers.emplace_back();
    reader.thread = std::jthread(
        [this, path, version = *version, finished = reader.bFinished](std::stop_token stop) {
            Compute(stop, path, version);
            *finished = true;
        });
}

void FileDigests::ReapFinished() {
    m_readers.remove_if([](const Reader& reader) { return reader.bFinished->load(); });
}

void FileDigests::Compute(std::stop_token stop, std::filesystem::path path, Version version) {
    FileDigest digest{version.size, {}};
    std::ifstream file(path, std::ios::binary);
    Sha256 sha;
    std::vector<char> chunk(kChunk);
    uint64_t total = 0;
    while (file && !stop.stop_requested()) {
        file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto count = static_cast<size_t>(file.gcount());
        sha.Update(reinterpret_cast<const uint8_t*>(chunk.data()), count);
        total += count;
    }
    if (stop.stop_requested()) {
        return;
    }
    // A file that changed while it was read names no digest rather than a wrong one.
    if (file.bad() || total != version.size || VersionOf(path) != std::optional(version)) {
        digest.sha256.clear();
    } else {
        digest.sha256 = sha.Final().ToHex();
    }
    std::function<void()> onDone;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_entries.find(path);
        if (found == m_entries.end() || !(found->second.version == version)) {
            return;  // a newer version was asked for meanwhile
        }
        found->second.digest = digest;
        onDone = m_onDone;
    }
    if (onDone) {
        onDone();
    }
}

std::optional<FileDigest> FileDigests::Get(const std::filesystem::path& path) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(path);
    if (found == m_entries.end()) {
        return std::nullopt;
    }
    return found->second.digest;
}

void FileDigests::SetOnDone(std::function<void()> onDone) {
    std::lock_guard lock(m_mutex);
    m_onDone = std::move(onDone);
}

}  // namespace vantorel::records
