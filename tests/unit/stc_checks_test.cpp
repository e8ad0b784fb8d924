// The speed checks of the spot protection: thresholds, timed pairs, aspect-dependent checks,
// the overspeed relay, and the protection's place in a frame.
#include "ats_st/stc.h"
#include "tests/support/spot_rig.h"
#include "vehicle/supervision.h"

#include <gtest/gtest.h>

namespace velqa3 {
namespace {

using test::SpotRig;

constexpr std::int32_t kNoon = 43'200'000;

// Thresholds are in 0.1 km/h with the tenths digit dropped; aspect-dependent checks (type 12)
// act at their aspect only, and a limit unknown for the aspect allows no running; stop
// beacons (type 1) act at a stop aspect only, standing trains included.
TEST(SpotChecks, EachBeaconBrakesOnlyAboveItsSpeedAndAtItsAspect) {
    const struct {
        std::int32_t type, signal, optional;
        float speed;
        bool emergency, pair;
    } cases[] = {{10, 0, 450, 45.0f, false, true},     {10, 0, 450, 45.1f, true, true},
                 {10, 0, 459, 45.1f, true, true},      {10, 3, 0, 200.0f, false, true},
                 {10, 0, 10000, 1200.0f, false, true}, {10, 1, 10000, 1000.5f, true, true},
                 {10, 0, -10, 0.0f, true, true},       {12, 3, 20003, 91.0f, true, true},
                 {12, 3, 20003, 90.0f, false, true},   {12, 2, 20003, 91.0f, false, true},
                 {12, 0, 20000, 20.5f, true, true},    {12, 9, 20009, 0.5f, true, true},
                 {12, 3, 30002, 200.0f, false, false}, {12, 2, 30002, 200.0f, false, true},
                 {12, 5, 10005, 200.0f, false, true},  {12, 4, 10005, 200.0f, false, false},
                 {12, 0, 0, 200.0f, false, true},      {12, 0, 350, 35.5f, true, true},
                 {12, 0, -350, 0.0f, true, true},      {1, 0, 0, 0.0f, true, false},
                 {1, 1, 0, 80.0f, false, false},       {2, 0, 0, 80.0f, false, false},
                 {14, 0, 0, 80.0f, false, false}};
    for (const auto& c : cases) {
        SpotRig rig(kNoon);
        rig.speed = c.speed;
        rig.stc.Beacon(rig.Frame(), c.type, c.signal, c.optional);
        SCOPED_TRACE(testing::Message()
                     << c.type << "/" << c.signal << "/" << c.optional << " at " << c.speed);
        EXPECT_EQ(rig.stc.emergency != 0, c.emergency);
        EXPECT_EQ(rig.stc.pairArmed != 0, c.pair);
    }
    SpotRig rig(kNoon);
    rig.stc.Beacon(rig.Frame(), 0, 2, 0); // the alarm beacon at a proceed aspect
    EXPECT_EQ(rig.stc.armed, 0);
}

TEST(SpotChecks, APairCoveredInUnderHalfASecondBrakes) {
    const struct {
        std::int32_t second, afterMs;
        bool emergency;
    } cases[] = {{11, 400, true},  {13, 400, true},   {11, 480, true},  {11, 600, false},
                 {13, 600, false}, {11, 1100, false}, {13, 1100, false}};
    for (const auto& c : cases) {
        SpotRig rig(kNoon);
        rig.stc.Beacon(rig.Frame(), 10, 0, 0);
        rig.Run(c.afterMs);
        rig.stc.Beacon(rig.Frame(), c.second, 0, 0);
        EXPECT_EQ(rig.stc.emergency != 0, c.emergency) << c.second << " after " << c.afterMs;
        EXPECT_EQ(rig.stc.pairArmed, 0);
    }

    // A pair is forgotten only once more than a second has passed; a new one times afresh.
    SpotRig rig(kNoon);
    rig.stc.Beacon(rig.Frame(), 12, 0, 0);
    rig.Run(1000);
    EXPECT_EQ(rig.stc.pairArmed, 1);
    rig.Run(20);
    EXPECT_EQ(rig.stc.pairArmed, 0);
    rig.stc.Beacon(rig.Frame(), 11, 0, 0);
    EXPECT_EQ(rig.stc.emergency, 0);
    rig.stc.Beacon(rig.Frame(), 10, 0, 0);
    rig.Run(200);
    rig.stc.Beacon(rig.Frame(), 13, 0, 0);
    EXPECT_EQ(rig.stc.emergency, 1);
}

TEST(SpotChecks, TheOverspeedRelayFollowsItsMode) {
    const struct {
        std::int32_t mode;
        float speed;
        bool overspeed;
    } cases[] = {{1, 115.0f, true}, {1, 114.9f, false}, {2, 124.9f, false},
                 {2, 125.0f, true}, {0, 300.0f, false}, {3, 300.0f, false}};
    for (const auto& c : cases) {
        SpotRig rig(kNoon);
        rig.stc.osrMode = c.mode;
        rig.speed = c.speed;
        rig.FrameAt(kNoon + 20);
        EXPECT_EQ(rig.stc.overspeed != 0, c.overspeed) << c.mode << " at " << c.speed;
    }
}

TEST(SpotChecks, TheFrameStepRunsTheProtectionOnlyWithTheCircuitOnAndTheKeyIn) {
    SpotRig rig(kNoon);
    rig.stc.Beacon(rig.Frame(), 0, 0, 0);
    rig.clock = kNoon + 6000;
    rig.interval = 6000;
    const auto run = [&rig](std::uint8_t cabSwitches, bool breakerOn, std::int32_t key) {
        return RunSpotProtection(rig.stc, rig.Frame(), cabSwitches, breakerOn, key);
    };

    EXPECT_FALSE(run(0x81, true, 1));  // key not in position 2: not run
    EXPECT_FALSE(run(0x81, false, 2)); // circuit breaker off
    EXPECT_FALSE(run(0x89, true, 2));  // change-over switch at 8
    EXPECT_EQ(rig.stc.emergency, 0);

    EXPECT_TRUE(run(0x85, true, 2));
    EXPECT_TRUE(run(0x89, true, 2)); // not run, but still braking
    EXPECT_FALSE(run(0x81, true, 3));
    rig.stc.Clear();
    EXPECT_FALSE(run(0x81, true, 2));
}

} // namespace
} // namespace velqa3
