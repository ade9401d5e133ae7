#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace vantorel::benchmarks {

// A private directory for one benchmark run's image files and link paths, removed with
// everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Writes `length` bytes of a pattern that differs from packet to packet, so a payload put in
// the wrong place or summed wrongly shows up as a sum the handset does not echo.
bool WritePatternFile(const std::string& path, uint64_t length, uint32_t seed);

// A file of `length` bytes that is all hole: it costs no disk and reads as zeros.
bool WriteSparseFile(const std::string& path, uint64_t length);

// An application image of `imageSize` bytes: the 20-byte header with both markers, the
// size and `lastCheck`, then a hole.
bool WriteSparsePdaImage(const std::string& path, uint32_t imageSize, uint32_t lastCheck);

}  // namespace vantorel::benchmarks
