#include "bench/private_directory.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace vantorel::bench {

PrivateDirectory::PrivateDirectory(const std::string& prefix) {
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    std::string pattern = ((error ? std::filesystem::path("/tmp") : temp) / prefix).string();
    pattern += "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkdtemp makes it with mode 0700.
    if (::mkdtemp(name.data()) != nullptr) {
        m_path = name.data();
    }
}

PrivateDirectory::~PrivateDirectory() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

}  // namespace vantorel::bench
