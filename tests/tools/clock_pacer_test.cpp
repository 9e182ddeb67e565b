#include "kvrhost/core/clock_pacer.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kvrhost;
using namespace std::chrono_literals;

namespace {
const ClockPacer::Clock::time_point t0{};
}

TEST(ClockPacer, WaitsForTheRecordedGapLessTheTimeAlreadyPassed) {
    ClockPacer pacer;
    EXPECT_EQ(0s, pacer.wait_before(100.0, t0)) << "the first packet goes at once";
    pacer.sent(100.0, t0);
    EXPECT_EQ(2500ms, pacer.wait_before(102.5, t0));
    EXPECT_EQ(2000ms, pacer.wait_before(102.5, t0 + 500ms));
    EXPECT_EQ(0s, pacer.wait_before(102.5, t0 + 3s)) << "late: no wait";
    pacer.sent(102.5, t0 + 3s);
    EXPECT_EQ(1s, pacer.wait_before(103.5, t0 + 3s)) << "each gap counts from the last send";
}

TEST(ClockPacer, LongGapsAreCutAndBackwardStampsDoNotWait) {
    ClockPacer pacer;
    pacer.sent(1000.0, t0);
    EXPECT_EQ(ClockPacer::kMaxGap, pacer.wait_before(5000.0, t0));
    EXPECT_EQ(0s, pacer.wait_before(990.0, t0));
    pacer.sent(990.0, t0);
    EXPECT_EQ(5s, pacer.wait_before(995.0, t0)) << "the next gap starts at the backward stamp";
    EXPECT_EQ(0s, pacer.wait_before(std::numeric_limits<double>::infinity(), t0));
    pacer.sent(std::numeric_limits<double>::quiet_NaN(), t0 + 1s);
    EXPECT_EQ(5s, pacer.wait_before(995.0, t0)) << "a stamp that is no number is not noted";
}
