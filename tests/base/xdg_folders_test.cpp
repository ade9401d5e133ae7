// One rule for the user's folders: an absolute XDG_* value, else the home's default folder,
// where the home is an absolute HOME or else the password database's.
#include "base/xdg_folders.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/scoped_env.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;
using Value = std::optional<std::string>;

struct Kind {
    XdgFolder folder;
    const char* variable;
    const char* underHome;
};
constexpr Kind kKinds[] = {
    {XdgFolder::kConfig, "XDG_CONFIG_HOME", ".config"},
    {XdgFolder::kData, "XDG_DATA_HOME", ".local/share"},
    {XdgFolder::kState, "XDG_STATE_HOME", ".local/state"},
    {XdgFolder::kCache, "XDG_CACHE_HOME", ".cache"},
};

TEST(XdgFolders, EveryKindFollowsTheOneRuleForEachEnvironment) {
    enum class Expect { kXdgValue, kUnderHome, kUnderDatabaseHome };
    struct Case {
        const char* what;
        Value xdg;
        Value home;
        Expect expect;
    };
    const Case cases[] = {
        {"an absolute XDG value", "/srv/x", "/home/op", Expect::kXdgValue},
        {"an absolute XDG value without a home", "/srv/x", std::nullopt, Expect::kXdgValue},
        {"a relative XDG value is ignored", "rel/x", "/home/op", Expect::kUnderHome},
        {"an empty XDG value is ignored", "", "/home/op", Expect::kUnderHome},
        {"no XDG value", std::nullopt, "/home/op", Expect::kUnderHome},
        {"a relative HOME is no home", std::nullopt, "op", Expect::kUnderDatabaseHome},
        {"an empty HOME is no home", "rel/x", "", Expect::kUnderDatabaseHome},
        {"no HOME", std::nullopt, std::nullopt, Expect::kUnderDatabaseHome},
    };
    for (const Kind& kind : kKinds) {
        for (const Case& each : cases) {
            SCOPED_TRACE(std::string(kind.variable) + ": " + each.what);
            test::ScopedEnv env;
            env.Set(kind.variable, each.xdg);
            env.Set("HOME", each.home);
            fs::path expected;
            switch (each.expect) {
                case Expect::kXdgValue:
                    expected = *each.xdg;
                    break;
                case Expect::kUnderHome:
                    expected = fs::path(*each.home) / kind.underHome;
                    break;
                case Expect::kUnderDatabaseHome:
                    expected = test::PasswordHome().empty() ? fs::path()
                                                            : test::PasswordHome() / kind.underHome;
                    break;
            }
            EXPECT_EQ(XdgBaseFolder(kind.folder), expected);
            EXPECT_EQ(StationFolder(kind.folder, "leaf"),
                      expected.empty() ? expected : expected / "vantorel" / "leaf");
        }
    }
}

TEST(XdgFolders, EachKindReadsOnlyItsOwnVariable) {
    test::ScopedEnv env;
    env.Set("HOME", "/home/op");
    for (const Kind& kind : kKinds) {
        env.Set(kind.variable, std::nullopt);
    }
    env.Set("XDG_STATE_HOME", "/srv/state");
    EXPECT_EQ(XdgBaseFolder(XdgFolder::kState), fs::path("/srv/state"));
    EXPECT_EQ(XdgBaseFolder(XdgFolder::kConfig), fs::path("/home/op/.config"));
    EXPECT_EQ(XdgBaseFolder(XdgFolder::kData), fs::path("/home/op/.local/share"));
    EXPECT_EQ(XdgBaseFolder(XdgFolder::kCache), fs::path("/home/op/.cache"));
}

}  // namespace
}  // namespace vantorel
