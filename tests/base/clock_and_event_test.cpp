#include <gtest/gtest.h>

#include <thread>

#include "base/auto_reset_event.h"
#include "base/clock.h"
#include "base/text_format.h"

namespace vantorel {
namespace {

using namespace std::chrono_literals;

TEST(Clock, ScalesProtocolTimeAndRejectsNegativeScales) {
    EXPECT_EQ(Clock().ToReal(4000ms), 4000ms);
    EXPECT_EQ(Clock(0.01).ToReal(4000ms), 40ms);
    EXPECT_EQ(Clock(0.0).ToReal(350000ms), 0ms);
    EXPECT_THROW(Clock(-1.0), std::invalid_argument);
}

TEST(Clock, StopCutsALongSleepShort) {
    const Clock clock;  // real time: the sleep below would take almost six minutes
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        stop.request_stop();
    });
    EXPECT_FALSE(clock.SleepUnlessStopped(350000ms, stop.get_token()));
    stopper.join();
    EXPECT_TRUE(Clock(0.0).SleepUnlessStopped(350000ms, std::stop_source().get_token()));
}

TEST(AutoResetEvent, OneSetReleasesOneWaitAndThenResets) {
    AutoResetEvent event;
    EXPECT_FALSE(event.WaitFor(1ms));
    event.Set();
    EXPECT_TRUE(event.WaitFor(1ms));
    EXPECT_FALSE(event.WaitFor(1ms)) << "the event must reset itself";
    event.Set();
    event.Reset();
    EXPECT_FALSE(event.WaitFor(1ms));
}

TEST(AutoResetEvent, SetFromAnotherThreadWakesTheWaiterAndStopEndsTheWait) {
    AutoResetEvent event;
    std::thread setter([&] { event.Set(); });
    EXPECT_TRUE(event.WaitFor(10s));
    setter.join();

    std::stop_source stop;
    std::thread stopper([&] { stop.request_stop(); });
    EXPECT_FALSE(event.WaitFor(10min, stop.get_token()));
    stopper.join();
}

TEST(FormatText, FormatsLinesOfAnyLength) {
    const std::string longPath(1000, 'p');
    const std::string line = FormatText("[Setup:%d] Device name:%s\r\n", 3, longPath.c_str());
    EXPECT_EQ(line.size(), std::string("[Setup:3] Device name:\r\n").size() + 1000);
    EXPECT_EQ(FormatText("%c%c", 'O', 'K'), "OK");
}

}  // namespace
}  // namespace vantorel
