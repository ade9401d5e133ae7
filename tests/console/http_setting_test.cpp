#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "console/http_setting.h"
#include "tests/support/temp_dir.h"

namespace vantorel::console::test {
namespace {

TEST(HttpSettingTest, TheAddressComesFromTheLineGroupOfARegularFileOnly) {
    vantorel::test::TempDir dir;
    const std::filesystem::path ini = dir / "vantorel.ini";
    EXPECT_EQ(LoadHttpSetting(ini), "") << "no file";
    std::ofstream(ini) << "[ports]\nmap=1=1-1\n[line]\nhttp = 127.0.0.1:8080 \n";
    EXPECT_EQ(LoadHttpSetting(ini), "127.0.0.1:8080");
    std::ofstream(ini) << "[ports]\nmap=1=1-1\n";
    EXPECT_EQ(LoadHttpSetting(ini), "");

    const std::filesystem::path fifo = dir / "fifo.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(LoadHttpSetting(fifo), "") << "a FIFO is never opened";
}

}  // namespace
}  // namespace vantorel::console::test
