#include "base/xdg_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace vantorel {

namespace {

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::filesystem::path Home() {
    if (const char* home = std::getenv("HOME"); IsAbsolute(home)) {
        return home;
    }
    // getpwuid_r with a buffer of our own: getpwuid's static record is not thread-safe.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && IsAbsolute(found->pw_dir)) {
        return found->pw_dir;
    }
    return {};
}

}  // namespace

std::filesystem::path XdgBaseFolder(XdgFolder kind) {
    struct Rule {
        const char* variable;
        const char* underHome;
    };
    static constexpr Rule kRules[] = {
        {"XDG_CONFIG_HOME", ".config"},
        {"XDG_DATA_HOME", ".local/share"},
        {"XDG_STATE_HOME", ".local/state"},
        {"XDG_CACHE_HOME", ".cache"},
    };
    const Rule& rule = kRules[static_cast<size_t>(kind)];
    if (const char* value = std::getenv(rule.variable); IsAbsolute(value)) {
        return value;
    }
    const std::filesystem::path home = Home();
    return home.empty() ? home : home / rule.underHome;
}

std::filesystem::path StationFolder(XdgFolder kind, std::string_view leaf) {
    const std::filesystem::path base = XdgBaseFolder(kind);
    return base.empty() ? base : base / "vantorel" / leaf;
}

}  // namespace vantorel
