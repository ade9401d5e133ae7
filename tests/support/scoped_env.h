#pragma once

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantorel::test {

// Sets or unsets environment variables for a scope and puts back what was there before.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ~ScopedEnv() {
        for (auto kept = m_kept.rbegin(); kept != m_kept.rend(); ++kept) {
            Put(kept->first, kept->second);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    // std::nullopt unsets the variable.
    void Set(const std::string& name, const std::optional<std::string>& value) {
        const char* old = ::getenv(name.c_str());
        m_kept.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        Put(name, value);
    }

private:
    static void Put(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> m_kept;
};

// The home the password database gives this user: the home of a station started without an
// absolute HOME. Empty when it gives none.
inline std::filesystem::path PasswordHome() {
    const passwd* user = ::getpwuid(::geteuid());
    return user != nullptr && user->pw_dir[0] == '/' ? std::filesystem::path(user->pw_dir)
                                                     : std::filesystem::path();
}

}  // namespace vantorel::test
