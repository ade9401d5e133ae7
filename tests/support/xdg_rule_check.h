#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/scoped_env.h"

namespace vantorel::test {

// Checks that `lookup` finds its file or folder `underHome` (".local/state/vantorel/batches")
// by the one XDG rule of base/xdg_folders.h: a relative `variable` is ignored for an absolute
// HOME, a relative HOME gives way to the password database's home, and an absolute
// `variable` wins over both.
inline void ExpectTheXdgRule(const char* variable, const std::string& underHome,
                             const std::string& underXdg,
                             const std::function<std::filesystem::path()>& lookup) {
    namespace fs = std::filesystem;
    ScopedEnv env;
    env.Set("HOME", "/home/op");
    env.Set(variable, "relative/folder");
    EXPECT_EQ(lookup(), fs::path("/home/op") / underHome) << "a relative " << variable;
    env.Set("HOME", "op");
    env.Set(variable, std::nullopt);
    EXPECT_EQ(lookup(), PasswordHome().empty() ? fs::path() : PasswordHome() / underHome)
        << "a relative HOME";
    env.Set(variable, "/srv/folder");
    EXPECT_EQ(lookup(), fs::path("/srv/folder") / underXdg) << "an absolute " << variable;
}

}  // namespace vantorel::test
