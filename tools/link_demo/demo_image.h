#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// A modem image of pseudo-random bytes in a temporary file, removed again at the end.
class DemoImage {
public:
    explicit DemoImage(size_t size);
    ~DemoImage();
    DemoImage(const DemoImage&) = delete;
    DemoImage& operator=(const DemoImage&) = delete;

    const std::string& Path() const { return m_path; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::string m_path;
    std::vector<uint8_t> m_bytes;
};

}  // namespace demo
