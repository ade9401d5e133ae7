#include "link/platform/emulated/byte_pipe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace vantorel::link::emulated {
namespace {

using namespace std::chrono_literals;

// Long enough that only a wait that never ends reaches it.
constexpr auto kHang = 10s;

const auto kNever = [] { return false; };

std::future<bool> WaitInThread(BytePipe& pipe, std::stop_token stop = {},
                               std::optional<std::chrono::nanoseconds> timeout = std::nullopt,
                               const std::atomic<bool>* abandon = nullptr) {
    return std::async(std::launch::async, [&pipe, stop, timeout, abandon] {
        return pipe.WaitForBytes(timeout, stop,
                                 [abandon] { return abandon != nullptr && abandon->load(); });
    });
}

// Bytes that come at once (caught while the waiter spins) and bytes that come late (after it
// went to sleep) both end the wait, and arrive whole and in order.
TEST(BytePipeTest, AWaiterGetsBytesPushedSoonOrLate) {
    for (const auto delay : {0ms, 50ms}) {
        BytePipe pipe;
        auto waited = WaitInThread(pipe);
        std::this_thread::sleep_for(delay);
        const uint8_t bytes[]{1, 2, 3, 4, 5};
        ASSERT_TRUE(pipe.Push(bytes, sizeof bytes));
        ASSERT_EQ(waited.wait_for(kHang), std::future_status::ready);
        EXPECT_TRUE(waited.get());
        uint8_t taken[8]{};
        EXPECT_EQ(pipe.Take(taken, 3), 3u);
        EXPECT_EQ(pipe.Queued(), 2u);
        EXPECT_EQ(pipe.Take(taken + 3, 8), 2u);
        EXPECT_EQ(taken[0], 1);
        EXPECT_EQ(taken[4], 5);
    }
}

// Every reason to give up ends a blocked wait with false, whether it comes at once or after
// the waiter went to sleep.
TEST(BytePipeTest, AStopACutOrAnAbandonEndsABlockedWait) {
    for (const auto delay : {0ms, 50ms}) {
        {
            BytePipe pipe;
            std::stop_source stop;
            auto waited = WaitInThread(pipe, stop.get_token());
            std::this_thread::sleep_for(delay);
            stop.request_stop();
            ASSERT_EQ(waited.wait_for(kHang), std::future_status::ready);
            EXPECT_FALSE(waited.get());
        }
        {
            BytePipe pipe;
            auto waited = WaitInThread(pipe);
            std::this_thread::sleep_for(delay);
            pipe.Cut();
            ASSERT_EQ(waited.wait_for(kHang), std::future_status::ready);
            EXPECT_FALSE(waited.get());
            const uint8_t byte = 7;
            EXPECT_FALSE(pipe.Push(&byte, 1));
        }
        {
            BytePipe pipe;
            std::atomic<bool> abandon{false};
            auto waited = WaitInThread(pipe, {}, std::nullopt, &abandon);
            std::this_thread::sleep_for(delay);
            abandon = true;
            pipe.WakeAll();
            ASSERT_EQ(waited.wait_for(kHang), std::future_status::ready);
            EXPECT_FALSE(waited.get());
        }
    }
}

TEST(BytePipeTest, AStopRequestedBeforeTheWaitEndsItAtOnce) {
    BytePipe pipe;
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(pipe.WaitForBytes(std::nullopt, stop.get_token(), kNever));
}

TEST(BytePipeTest, ABoundedWaitTimesOutWithNothingQueuedAndSeesWhatIs) {
    BytePipe pipe;
    EXPECT_FALSE(pipe.WaitForBytes(20ms, {}, kNever));
    EXPECT_FALSE(pipe.WaitForBytes(0ns, {}, kNever));
    const uint8_t byte = 9;
    ASSERT_TRUE(pipe.Push(&byte, 1));
    EXPECT_TRUE(pipe.WaitForBytes(0ns, {}, kNever));
}

}  // namespace
}  // namespace vantorel::link::emulated
