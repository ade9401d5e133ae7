#pragma once

#include <string>

namespace vantorel::bench {

// A fresh directory only this user can enter (mode 0700), removed with its contents when
// dropped. Empty path when it could not be made.
class PrivateDirectory {
public:
    explicit PrivateDirectory(const std::string& prefix);
    ~PrivateDirectory();
    PrivateDirectory(const PrivateDirectory&) = delete;
    PrivateDirectory& operator=(const PrivateDirectory&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace vantorel::bench
