#include "tools/link_demo/demo_image.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace demo {

DemoImage::DemoImage(size_t size) : m_bytes(size) {
    uint32_t state = 12345;
    for (auto& byte : m_bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantorel-demo-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        throw std::runtime_error("cannot create a temporary file");
    }
    m_path = pattern;
    size_t written = 0;
    while (written < m_bytes.size()) {
        const ssize_t count = ::write(fd, m_bytes.data() + written, m_bytes.size() - written);
        if (count <= 0) {
            ::close(fd);
            throw std::runtime_error("cannot write the demo image");
        }
        written += static_cast<size_t>(count);
    }
    ::close(fd);
}

DemoImage::~DemoImage() {
    std::remove(m_path.c_str());
}

}  // namespace demo
