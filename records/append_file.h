#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel::records {

// How bytes reach a file: ::write unless a test puts a full disk in its place.
using WriteFunction = std::function<ssize_t(int fd, const void* data, size_t size)>;

// A file opened for appending: each Append puts the whole text at the end of the file or
// nothing: a write that fails part way (a full disk) is cut back to where the text began,
// so a reader never sees a torn line and the caller can send the same text again later.
class AppendFile {
public:
    explicit AppendFile(WriteFunction write = {}) : m_write(std::move(write)) {}
    ~AppendFile();
    AppendFile(AppendFile&& other) noexcept;
    AppendFile& operator=(AppendFile&& other) noexcept;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Creates the file if needed; only a regular file is taken, and opening never blocks
    // (a FIFO is refused). False with `error` (the system's words) on failure.
    bool Open(const std::filesystem::path& path, std::string& error);
    bool IsOpen() const { return m_fd >= 0; }
    // False with `error` when the text did not all reach the file; the file is then as it
    // was before.
    bool Append(std::string_view text, std::string& error);
    void Close();

private:
    WriteFunction m_write;
    int m_fd = -1;
    // Where the file ended before a failed write that could not be cut back at once: the
    // next Append cuts it back first.
    std::optional<off_t> m_tornFrom;
};

// Writes `text` to a new file at `path` through a temporary file and a rename, so readers
// see the old whole file or the new whole file.
bool ReplaceFile(const std::filesystem::path& path, std::string_view text, std::string& error,
                 const WriteFunction& write = {});

// The whole of a regular file of at most `maxBytes`, read without blocking and without
// following a link; nothing for anything else.
std::optional<std::string> ReadRecordFile(const std::filesystem::path& path, uint64_t maxBytes);

// Why `path` cannot take appended lines, or nothing when it can: a folder, a folder that is
// missing or cannot be written, something that is not a regular file, a file that cannot be
// written. Nothing is created.
std::optional<std::string> AppendTargetProblem(const std::filesystem::path& path);

}  // namespace vantorel::records
