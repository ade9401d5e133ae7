#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <sstream>

#include "host/linux_process_table.h"

namespace vantorel::host {
namespace {

// Our children that have not been reaped.
int LeftoverChildren() {
    int count = 0;
    DIR* proc = ::opendir("/proc");
    while (const dirent* entry = ::readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line)) {
            continue;
        }
        // pid (comm) state ppid ...
        std::istringstream rest(line.substr(line.rfind(')') + 2));
        char state = 0;
        int ppid = 0;
        rest >> state >> ppid;
        count += ppid == ::getpid() ? 1 : 0;
    }
    ::closedir(proc);
    return count;
}

TEST(LinuxProcessTableTest, ListsThisProcessWithItsExecutablePath) {
    LinuxProcessTable table;
    const auto processes = table.Snapshot();
    ASSERT_TRUE(processes.has_value());
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    const auto me = std::find_if(processes->begin(), processes->end(),
                                 [](const ProcessEntry& p) { return p.pid == ::getpid(); });
    ASSERT_NE(me, processes->end());
    EXPECT_EQ(me->strExeFile, std::string(self, static_cast<size_t>(length)));
    EXPECT_TRUE(std::is_sorted(processes->begin(), processes->end(),
                               [](const auto& a, const auto& b) { return a.pid < b.pid; }));
}

TEST(LinuxProcessTableTest, StartsRecordedProgramsDetachedAndReportsFailures) {
    LinuxProcessTable table;
    EXPECT_TRUE(table.StartProgram("/bin/true"));
    EXPECT_FALSE(table.StartProgram("/nonexistent/ModemManager"));
    EXPECT_FALSE(table.StartProgram("true")) << "a bare name is no recorded executable";
    EXPECT_TRUE(table.RunHidden({"true", "--ignored"})) << "commands are found through PATH";
    EXPECT_FALSE(table.RunHidden({"/nonexistent/systemctl", "stop"}));
    EXPECT_FALSE(table.RunHidden({}));
    EXPECT_EQ(LeftoverChildren(), 0) << "started programs are not the station's children";
}

}  // namespace
}  // namespace vantorel::host
