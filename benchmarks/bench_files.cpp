#include "benchmarks/bench_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "engine/boot_loader_protocol.h"
#include "images/pda_image.h"
#include "link/platform/linux/unique_fd.h"

namespace vantorel::benchmarks {

namespace {

using link::linux_platform::UniqueFd;

bool WriteAll(int fd, const uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written <= 0) {
            return false;
        }
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

UniqueFd CreateFile(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
}

}  // namespace

ScratchDir::ScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantorel-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a scratch directory under " + pattern);
    }
    m_path = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

bool WritePatternFile(const std::string& path, uint64_t length, uint32_t seed) {
    UniqueFd file = CreateFile(path);
    if (!file) {
        return false;
    }
    std::vector<uint8_t> block(1 << 20);
    uint32_t state = seed * 2654435761u + 1;
    for (uint64_t done = 0; done < length;) {
        for (size_t i = 0; i < block.size(); i += 4) {
            state = state * 1664525u + 1013904223u;  // a plain LCG: fast and never constant
            engine::StoreLe32(block.data() + i, state);
        }
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(block.size(), length - done));
        if (!WriteAll(file.Get(), block.data(), piece)) {
            return false;
        }
        done += piece;
    }
    return true;
}

bool WriteSparseFile(const std::string& path, uint64_t length) {
    UniqueFd file = CreateFile(path);
    return file && ::ftruncate(file.Get(), static_cast<off_t>(length)) == 0;
}

bool WriteSparsePdaImage(const std::string& path, uint32_t imageSize, uint32_t lastCheck) {
    UniqueFd file = CreateFile(path);
    if (!file) {
        return false;
    }
    uint8_t header[images::kPdaHeaderSize]{};
    engine::StoreLe32(header, 0x55555555u);
    engine::StoreLe32(header + 4, imageSize);
    engine::StoreLe32(header + 12, lastCheck);
    engine::StoreLe32(header + 16, 0xEEEEEEEEu);
    return WriteAll(file.Get(), header, sizeof header) &&
           ::ftruncate(file.Get(), static_cast<off_t>(sizeof header + uint64_t{imageSize})) == 0;
}

}  // namespace vantorel::benchmarks
