#include "base/allocator_arenas.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <latch>
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
TEST(AllocatorArenasTest, ManyLiveThreadsShareOneArenaPerProcessor) {
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

}  // namespace
}  // namespace vantorel
