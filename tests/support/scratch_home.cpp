#include "tests/support/scratch_home.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <system_error>

namespace vantorel::test {

namespace {

std::filesystem::path g_home;

void RemoveScratchHome() {
    std::error_code ignored;
    std::filesystem::remove_all(g_home, ignored);
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "scratch home: %s\n", what.c_str());
    std::exit(1);
}

void Set(const char* variable, const std::filesystem::path& path) {
    if (::setenv(variable, path.c_str(), 1) != 0) {
        Fail(std::string("cannot set ") + variable);
    }
}

}  // namespace

std::filesystem::path UseScratchHome() {
    if (!g_home.empty()) {
        return g_home;
    }
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error) {
        Fail("no temporary folder: " + error.message());
    }
    std::string pattern = (temp / "vantorel-home-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        Fail("cannot create " + pattern);
    }
    g_home = pattern;
    std::atexit(RemoveScratchHome);
    const std::pair<const char*, const char*> folders[]{
        {"XDG_CONFIG_HOME", ".config"},     {"XDG_DATA_HOME", ".local/share"},
        {"XDG_STATE_HOME", ".local/state"}, {"XDG_CACHE_HOME", ".cache"},
        {"XDG_RUNTIME_DIR", "run"},
    };
    for (const auto& [variable, folder] : folders) {
        std::filesystem::create_directories(g_home / folder, error);
        if (error) {
            Fail("cannot create " + (g_home / folder).string() + ": " + error.message());
        }
        Set(variable, g_home / folder);
    }
    // Qt refuses a runtime folder that others may enter.
    ::chmod((g_home / "run").c_str(), 0700);
    Set("HOME", g_home);
    return g_home;
}

}  // namespace vantorel::test
