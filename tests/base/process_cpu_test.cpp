#include <gtest/gtest.h>

#include <thread>

#include "base/process_cpu.h"

namespace vantorel {
namespace {

using namespace std::chrono_literals;

// A worker burns CPU while this thread waits in join: the process is charged for the
// worker's time, this thread is not.
TEST(ProcessCpu, TheProcessCountsEveryThreadAndThisThreadOnlyItself) {
    const ProcessCpu processBefore = ProcessCpu::Now();
    const ProcessCpu threadBefore = ProcessCpu::ThisThread();
    ProcessCpu workerUsed;
    std::thread worker([&] {
        const ProcessCpu start = ProcessCpu::ThisThread();
        const auto giveUp = std::chrono::steady_clock::now() + 20s;
        do {
            workerUsed = ProcessCpu::ThisThread() - start;
        } while (workerUsed.Total() < 50ms && std::chrono::steady_clock::now() < giveUp);
    });
    worker.join();
    const ProcessCpu processUsed = ProcessCpu::Now() - processBefore;
    const ProcessCpu threadUsed = ProcessCpu::ThisThread() - threadBefore;

    ASSERT_GE(workerUsed.Total(), 50ms);
    EXPECT_GE(processUsed.Total(), workerUsed.Total());
    EXPECT_LT(threadUsed.Total(), workerUsed.Total());
    EXPECT_EQ(processUsed.Total(), processUsed.user + processUsed.system);
}

}  // namespace
}  // namespace vantorel
