// The kept port settings: a settings file written by hand is read as the operator meant it,
// and one that is no regular file of a settings file's size is neither read nor written.
#include "console/port_settings.h"
#include "console/remembered_folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QSettings>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "console/operator_prompts.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xdg_rule_check.h"

namespace vantorel::console::test {
namespace {

namespace fs = std::filesystem;

engine::SlotPortMap MapOf(std::string_view text) {
    engine::SlotPortMap map;
    std::string error;
    EXPECT_TRUE(engine::ParsePortMap(text, map, error)) << error;
    return map;
}

class PortSettingsTest : public ::testing::Test {
protected:
    PortSettings LoadWritten(const std::string& ini) {
        std::ofstream(file) << ini;
        notes.clear();
        return LoadPortSettings(file, notes);
    }
    vantorel::test::TempDir dir;
    const fs::path file = dir / "vantorel.ini";
    std::vector<std::string> notes;
};

// "map=1=1-1, 2=1-2" reaches QSettings as a list: it is one map all the same. The mode takes
// the usual spellings of on and off, and anything else leaves it off and names the key.
TEST_F(PortSettingsTest, AHandWrittenFileIsReadAsTheOperatorMeantIt) {
    PortSettings kept = LoadWritten("[ports]\nmap=1=1-1, 2=1-2\nslots-follow-ports=yes\n");
    EXPECT_EQ(kept.map, MapOf("1=1-1,2=1-2"));
    EXPECT_TRUE(kept.bSlotsFollowPorts);
    EXPECT_EQ(notes, std::vector<std::string>{});

    for (const char* on : {"true", "1", "On", "YES"}) {
        EXPECT_TRUE(
            LoadWritten(std::string("[ports]\nslots-follow-ports=") + on + "\n").bSlotsFollowPorts)
            << on;
    }
    for (const char* off : {"false", "0", "off", "No"}) {
        EXPECT_FALSE(
            LoadWritten(std::string("[ports]\nslots-follow-ports=") + off + "\n").bSlotsFollowPorts)
            << off;
        EXPECT_EQ(notes, std::vector<std::string>{}) << off;
    }

    for (const char* unusable : {"banana", "true, false", "2"}) {
        kept =
            LoadWritten(std::string("[ports]\nslots-follow-ports=") + unusable + "\nmap=1=1-4\n");
        EXPECT_FALSE(kept.bSlotsFollowPorts) << unusable;
        EXPECT_EQ(kept.map, MapOf("1=1-4")) << "the map is kept all the same";
        ASSERT_EQ(notes.size(), 1u) << unusable;
        EXPECT_EQ(notes[0], "Settings file " + file.string() + ": slots-follow-ports=" + unusable +
                                " is unusable (true or false, 1 or 0, on or off, yes or no): "
                                "slots do not follow ports.");
    }

    kept = LoadWritten("[ports]\nmap=1=1-1, 2=hub\n");
    EXPECT_TRUE(kept.map.IsEmpty());
    EXPECT_EQ(notes, std::vector<std::string>{"The kept port map was dropped: '2=hub': the port "
                                              "is no USB port location such as 1-2 or 1-2.3"});
}

// A FIFO, a device or an oversized file in the settings file's place is not read (no waiting,
// no flood), the defaults are used, the note says why, and saving leaves it as it is.
TEST_F(PortSettingsTest, AFileThatIsNoSmallRegularFileIsNeitherReadNorWritten) {
    const fs::path fifo = dir / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path huge = dir / "huge.ini";
    std::ofstream(huge) << "[ports]\nslots-follow-ports=true\n";
    fs::resize_file(huge, kSettingsFileBytes + 1);
    const std::vector<std::pair<fs::path, std::string>> unusable{
        {fifo, "not a regular file but a FIFO"},
        {"/dev/zero", "not a regular file but a character device"},
        {huge, "too large: 1048577 bytes, at most 1048576 are read"},
    };
    const PortSettings settings{true, MapOf("1=1-1")};
    for (const auto& [path, why] : unusable) {
        notes.clear();
        const PortSettings kept = LoadPortSettings(path, notes);
        EXPECT_FALSE(kept.bSlotsFollowPorts);
        EXPECT_TRUE(kept.map.IsEmpty());
        EXPECT_EQ(notes,
                  std::vector<std::string>{"Settings file " + path.string() + " not read: " + why +
                                           ". The defaults are used and nothing is kept "
                                           "in it."});
        SavePortSettings(path, settings);
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(fs::file_size(huge), kSettingsFileBytes + 1);

    // The file dialogs keep their folders in the same file: they open in the first folder.
    const QString first = QString::fromStdString(dir.Path().string());
    EXPECT_EQ(
        RememberedFolders(first, fifo).StartFolder(QStringLiteral("Port map (*.ports)|*.ports|")),
        first);

    // A missing file is the usual first start: the defaults, no note, and saving creates it.
    notes.clear();
    EXPECT_FALSE(LoadPortSettings(file, notes).bSlotsFollowPorts);
    EXPECT_EQ(notes, std::vector<std::string>{});
    SavePortSettings(file, settings);
    EXPECT_EQ(LoadPortSettings(file, notes).map, settings.map);
}

TEST(SettingsFiles, BothAreInTheUsersConfigFolder) {
    vantorel::test::ExpectTheXdgRule("XDG_CONFIG_HOME", ".config/vantorel/vantorel.ini",
                                     "vantorel/vantorel.ini", [] { return DefaultSettingsFile(); });
    vantorel::test::ExpectTheXdgRule("XDG_CONFIG_HOME", ".config/vantorel/vantorel-bench.ini",
                                     "vantorel/vantorel-bench.ini",
                                     [] { return BenchSettingsFile(); });
}

// The default file is the one QSettings keeps the user's settings in, named without reading it.
TEST_F(PortSettingsTest, TheDefaultFileIsQtsUserIniFile) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string kept = old != nullptr ? old : "";
    ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    const QSettings user(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("vantorel"),
                         QStringLiteral("vantorel"));
    EXPECT_EQ(DefaultSettingsFile(), dir / "vantorel" / "vantorel.ini");
    EXPECT_EQ(DefaultSettingsFile().string(), user.fileName().toStdString());
    if (old != nullptr) {
        ::setenv("XDG_CONFIG_HOME", kept.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace
}  // namespace vantorel::console::test
