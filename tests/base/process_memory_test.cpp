#include "base/process_memory.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vantorel {
namespace {

// The arenas the C library has opened so far, from its own report.
int ArenaCount() {
    char* report = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&report, &size);
    malloc_info(0, stream);
    std::fclose(stream);
    const std::string text(report, size);
    std::free(report);
    int count = 0;
    for (size_t at = text.find("<heap nr="); at != std::string::npos;
         at = text.find("<heap nr=", at + 1)) {
        ++count;
    }
    return count;
}

// Sixteen threads alive at once, each allocating, as eight workers and their links are:
// unbounded, each would open an arena of its own.
TEST(ProcessMemoryTest, ManyLiveThreadsShareOneArenaPerProcessor) {
    LimitAllocatorArenas();
    constexpr int kThreads = 16;
    std::latch allAllocated(kThreads);
    std::latch measured(1);
    std::vector<std::jthread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            std::vector<char> block(64 * 1024, 1);
            allAllocated.count_down();
            measured.wait();
        });
    }
    allAllocated.wait();
    const int arenas = ArenaCount();
    measured.count_down();
    const int processors = static_cast<int>(std::thread::hardware_concurrency());
    EXPECT_GE(arenas, 1);
    EXPECT_LE(arenas, std::max(2, processors));
}

long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

// A batch's worth of small buffers freed below one that lives on: the arena cannot shrink
// from its top, and the freed pages stay with the process until they are handed back.
TEST(ProcessMemoryTest, FreedMemoryInTheMiddleOfAnArenaGoesBackToTheSystem) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers bring allocators of their own";
#endif
    constexpr size_t kBlock = 16 * 1024;
    constexpr int kBlocks = 4096;  // 64 MiB
    std::vector<std::unique_ptr<char[]>> freed;
    for (int i = 0; i < kBlocks; ++i) {
        freed.push_back(std::make_unique<char[]>(kBlock));
        std::fill_n(freed.back().get(), kBlock, static_cast<char>(i));
    }
    const auto kept = std::make_unique<char[]>(kBlock);
    kept[0] = 1;
    freed.clear();
    const long before = ResidentKb();
    ReturnFreedMemory();
    EXPECT_GT(before - ResidentKb(), 32 * 1024) << "kB handed back of some 64 MiB freed";
}

}  // namespace
}  // namespace vantorel
