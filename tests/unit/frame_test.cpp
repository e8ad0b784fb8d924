// The frame clock and the values each frame captures from the host.
#include "host/frame.h"
#include "plugin/plugin.h"
#include "tests/support/vehicle_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace velqa3 {
namespace {

TEST(FrameClock, IntervalFollowsTheHostClockAcrossMidnightAndRestarts) {
    EXPECT_EQ(FrameInterval(1000, 1016), 16);
    EXPECT_EQ(FrameInterval(0, 36'000'000), 36'000'000); // first frame after load
    EXPECT_EQ(FrameInterval(500, 500), 0);
    EXPECT_EQ(FrameInterval(86'399'990, 6), 16); // midnight
    EXPECT_EQ(FrameInterval(86'399'990, 60'000 - 10), 60'000);
    EXPECT_EQ(FrameInterval(86'399'990, 60'000 - 9), 0); // too long for a frame: a restart
    EXPECT_EQ(FrameInterval(72'000'000, 36'000'000), 0); // restarted at an earlier time
    EXPECT_EQ(FrameInterval(INT32_MIN, INT32_MAX), INT32_MAX);
    EXPECT_EQ(FrameInterval(INT32_MAX, INT32_MIN), 0);
}

TEST(FrameClock, BoundaryCrossingsIncludeMidnight) {
    EXPECT_TRUE(CrossesBoundary(1016, 17, 1000));  // 999 -> 1016
    EXPECT_FALSE(CrossesBoundary(1033, 17, 1000)); // 1016 -> 1033
    EXPECT_TRUE(CrossesBoundary(1000, 16, 1000));  // landing on the boundary counts
    EXPECT_FALSE(CrossesBoundary(1016, 16, 1000)); // leaving it does not
    EXPECT_TRUE(CrossesBoundary(6, 16, 500));      // 86 399 990 -> 6
    EXPECT_FALSE(CrossesBoundary(1000, 0, 1000));  // a frame of no length crosses nothing
    EXPECT_TRUE(CrossesBoundary(INT32_MAX, INT32_MAX, 500));
    EXPECT_TRUE(CrossesBoundary(INT32_MIN, 1, 1 << 30)); // on a multiple, far below zero
    EXPECT_FALSE(CrossesBoundary(-10, 5, 500));          // -15 -> -10, before midnight
    EXPECT_TRUE(CrossesBoundary(-500, 1, 500));
}

using test::StateAt;

TEST(FrameCapture, ConsecutiveFramesGiveIntervalStepsAndAcceleration) {
    auto plugin = std::make_unique<Plugin>();
    std::int32_t panel[256] = {}, sound[256] = {};
    plugin->Elapse(StateAt(36'000'000, 36.0f, 1000.0), panel, sound);
    EXPECT_EQ(plugin->frame.interval, 36'000'000);
    EXPECT_DOUBLE_EQ(plugin->frame.panelLocation, 1000.0);

    plugin->Elapse(StateAt(36'000'020, 36.1f, 1000.2), panel, sound);
    EXPECT_EQ(plugin->frame.clock, 36'000'020);
    EXPECT_EQ(plugin->frame.interval, 20);
    // (36.1 - 36.0) * 1000 / 20 computed in single precision
    EXPECT_EQ(plugin->frame.acceleration, static_cast<double>((36.1f - 36.0f) * 1000.0f / 20.0f));
    EXPECT_NEAR(plugin->frame.acceleration, 5.0, 1e-3);
    EXPECT_EQ(plugin->frame.previousAcceleration, plugin->frame.acceleration);
    EXPECT_NEAR(plugin->frame.locationStep, 0.2, 1e-9);
    EXPECT_FLOAT_EQ(plugin->frame.distanceStep, 0.2f);
    EXPECT_NEAR(plugin->frame.panelLocation, 1000.2, 1e-6);
    EXPECT_FLOAT_EQ(plugin->frame.mrPressure, 800.0f);
    EXPECT_FLOAT_EQ(plugin->frame.previousSpeed, 36.1f);
}

TEST(FrameCapture, NonNumbersAndZeroLengthFramesKeepTheLastGoodValues) {
    auto plugin = std::make_unique<Plugin>();
    std::int32_t panel[256] = {}, sound[256] = {};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    plugin->Elapse(StateAt(1000, 50.0f, 10.0), panel, sound);
    plugin->Elapse(StateAt(1100, 51.0f, 11.0), panel, sound);
    const double acceleration = plugin->frame.acceleration;

    plugin->Elapse(StateAt(1100, 52.0f, 12.0), panel, sound); // same clock: no time passed
    EXPECT_EQ(plugin->frame.interval, 0);
    EXPECT_EQ(plugin->frame.acceleration, acceleration);

    VehicleState bad = StateAt(1200, nan, std::numeric_limits<double>::infinity());
    bad.BcPressure = nan;
    plugin->Elapse(bad, panel, sound);
    EXPECT_FLOAT_EQ(plugin->frame.speed, 52.0f);
    EXPECT_DOUBLE_EQ(plugin->frame.lastLocation, 12.0);
    EXPECT_TRUE(std::isfinite(plugin->frame.acceleration));
    EXPECT_TRUE(std::isfinite(plugin->frame.panelLocation));
    EXPECT_FALSE(std::isnan(plugin->frame.state.BcPressure));

    // A restart at an earlier time passes no time, and the next frame counts normally again.
    plugin->Initialize(0);
    EXPECT_EQ(plugin->frame.speed, 0.0f);
    plugin->Elapse(StateAt(500, 0.0f, 12.0), panel, sound);
    EXPECT_EQ(plugin->frame.interval, 0);
    plugin->Elapse(StateAt(516, 0.0f, 12.0), panel, sound);
    EXPECT_EQ(plugin->frame.interval, 16);
}

TEST(FrameCapture, SuspendedFrameKeepsEveryFrameValue) {
    auto plugin = std::make_unique<Plugin>();
    std::int32_t panel[256] = {}, sound[256] = {};
    plugin->Elapse(StateAt(1000, 20.0f, 5.0), panel, sound);
    plugin->Elapse(StateAt(1016, 21.0f, 5.1), panel, sound);
    const FrameValues before = plugin->frame;
    panel[kSuspendPanelIndex] = 1;
    plugin->Elapse(StateAt(1032, 60.0f, 50.0), panel, sound);
    EXPECT_EQ(plugin->frame.clock, before.clock);
    EXPECT_EQ(plugin->frame.interval, before.interval);
    EXPECT_EQ(plugin->frame.speed, before.speed);
    EXPECT_EQ(plugin->frame.panelLocation, before.panelLocation);
    panel[kSuspendPanelIndex] = 0;
    plugin->Elapse(StateAt(1048, 22.0f, 5.2), panel, sound);
    EXPECT_EQ(plugin->frame.interval, 32); // measured from the last full frame
}

} // namespace
} // namespace velqa3
