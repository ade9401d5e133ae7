#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vantorel::records {

// A file opened for appending: each Append is one write of the whole text at the end of the
// file, so a crash leaves at most the text in flight torn, never an earlier line.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(AppendFile&& other) noexcept;
    AppendFile& operator=(AppendFile&& other) noexcept;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Creates the file if needed. False with `error` (the system's words) on failure.
    bool Open(const std::filesystem::path& path, std::string& error);
    bool IsOpen() const { return m_fd >= 0; }
    // False with `error` when the text did not all reach the file.
    bool Append(std::string_view text, std::string& error);
    void Close();

private:
    int m_fd = -1;
};

// Writes `text` to a new file at `path` through a temporary file and a rename, so readers
// see the old whole file or the new whole file.
bool ReplaceFile(const std::filesystem::path& path, std::string_view text, std::string& error);

}  // namespace vantorel::records
