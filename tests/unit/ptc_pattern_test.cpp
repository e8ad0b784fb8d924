// The braking curves, the distances counting down, the pattern speed shown to the driver,
// and the fall-back to spot protection.
#include "tests/support/ptc_rig.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace velqa3 {
namespace {

using test::PtcRig;

TEST(PtcPattern, CurveFiguresAndFloors) {
    const struct {
        float speed, sigDis, limSpd, limDis;
        std::int32_t gradient; // per mille, as a gradient beacon gives it
        float PTC::*field;
        float expected, tolerance;
    } cases[] = {
        {72, 250, 45, 0, 0, &PTC::sigPtnDis, 277.07f, 0.01f},
        {72, 250, 45, 0, 0, &PTC::patternSpd, 68.26f, 0.01f},
        {72, 250, 45, 0, 40, &PTC::sigPtnDis, 190.99f, 0.01f}, // the gradient eases the curve
        {90, 4096, 45, 300, 0, &PTC::limPtnDis, 326.25f, 0.01f},
        {90, 4096, 45, 300, 0, &PTC::limPtnSpd, 87.10f, 0.01f},
        {0, 4096, 45, 0, 0, &PTC::sigPtnSpd, 284.6f, 0.05f},
        {0, 4096, 45, 0, 0, &PTC::patternSpd, 120, 0},    // capped by the maximum speed
        {0, 0.01f, 45, 0.01f, 0, &PTC::sigPtnSpd, 10, 0}, // never below 10 km/h
        {0, 0.01f, 45, 0.01f, 0, &PTC::limPtnSpd, 45, 0}, // nor below the limit itself
    };
    for (const auto& c : cases) {
        PtcRig rig{.speed = c.speed};
        rig.ptc.sigDis = c.sigDis;
        rig.ptc.limSpd = c.limSpd;
        rig.ptc.limDis = c.limDis;
        rig.ptc.BeaconIn(rig.Frame(), 75, 0, 0, c.gradient, false);
        rig.Run(0);
        EXPECT_NEAR(rig.ptc.*c.field, c.expected, c.tolerance) << c.speed << " " << c.sigDis;
    }
}

// At 90 km/h a 20 ms frame covers exactly 0.5 m in float32, so a whole-metre distance runs out
// exactly at the end of a frame: that frame has reached it, one frame short of it has not.
TEST(PtcPattern, DistancesEndingExactlyOnAFrameReachTheirEvent) {
    const struct {
        float limDis, limDoDis, targetDis;
        int frames;
        float limDoSpd, limDoLeft, targetLeft;
    } cases[] = {
        {3.0f, 0, 0, 6, 45.0f, 400.0f, 0},     // limit start reached exactly
        {3.25f, 0, 0, 6, 999.9f, 0.0f, 0},     // a quarter metre short: not yet
        {3.25f, 0, 0, 7, 45.0f, 399.75f, 0},   // one frame on, with the overshoot
        {0, 2.0f, 0, 4, 999.9f, 0.0f, 0},      // limit in force cleared exactly
        {0, 2.25f, 0, 4, 45.0f, 0.25f, 0},     // not yet cleared
        {0, 0, 2.0f, 4, 999.9f, 0.0f, 100.0f}, // target reached exactly: next block
        {0, 0, 2.25f, 4, 999.9f, 0.0f, 0.25f}, // not yet
    };
    for (const auto& c : cases) {
        PtcRig rig;
        rig.atsMode = 71; // pattern without a checker
        rig.speed = 90.0f;
        rig.ptc.limSpd = 45.0f;
        rig.ptc.limDis = c.limDis;
        rig.ptc.limLength = 400.0f;
        rig.ptc.limDoDis = c.limDoDis;
        if (c.limDoDis > 0) rig.ptc.limDoSpd = 45.0f;
        if (c.targetDis > 0) {
            rig.ptc.patternKind = 1;
            rig.ptc.targetDis = c.targetDis;
            rig.ptc.nextBlockDis = 100.0f;
            rig.ptc.limSpd = 999.9f;
        }
        rig.Run(20, c.frames);
        EXPECT_EQ(rig.ptc.limDoSpd, c.limDoSpd) << c.limDis << " " << c.limDoDis;
        EXPECT_EQ(rig.ptc.limDoDis, c.limDoLeft) << c.limDis << " " << c.limDoDis;
        EXPECT_EQ(rig.ptc.targetDis, c.targetLeft) << c.targetDis;
    }
}

TEST(PtcPattern, PatternSpeedTakesTheLowestCap) {
    const struct {
        float sigDis, nsdDis, aspectSpd, limDoMax, limDoSpd, expected;
    } cases[] = {
        {100000, 50, 999.9f, 120, 999.9f, 15}, // zone speed
        {100000, 0, 55, 120, 999.9f, 55},      // aspect speed
        {0, 50, 999.9f, 200, 999.9f, 15},      // no stop pattern: zone still counts
        {0, 0, 999.9f, 200, 45, 45},           // a limit in force
        {0, 0, 999.9f, 200, 999.9f, 160},      // nothing in force
    };
    for (const auto& c : cases) {
        PtcRig rig{.atsMode = 71};
        rig.ptc.sigDis = c.sigDis;
        rig.ptc.nsdDis = c.nsdDis;
        rig.ptc.aspectSpd = c.aspectSpd;
        rig.ptc.limDoMax = c.limDoMax;
        rig.ptc.limDoSpd = c.limDoSpd;
        rig.ptc.limDoDis = c.limDoSpd < 999.0f ? 400.0f : 0.0f;
        rig.Run(0);
        EXPECT_EQ(rig.ptc.patternSpd, c.expected);
    }
}

TEST(PtcPattern, PassingTheStopPoint) {
    const struct {
        std::uint8_t atsMode, nsdArmed;
        float nsdDis, sigDis;
        std::uint8_t modeAfter, nsdModeAfter;
        float sigDisAfter;
    } cases[] = {
        {4, 0, 0, 5, 0x02, 0, 100000},  // nothing to guard: spot protection takes over
        {4, 0, 0, 10, 0x02, 0, 100000}, // a frame that ends exactly at the stop point passes it
        {5, 0, 0, 5, 5, 0, 0},          // the margin variant keeps its pattern protection
        {7, 1, 30, 5, 7, 1, 0},         // a zone beyond the stop point: run through it
    };
    for (const auto& c : cases) {
        PtcRig rig{.atsMode = c.atsMode};
        rig.speed = 36; // 10 m
        rig.ptc.sigDis = c.sigDis;
        rig.ptc.nsdArmed = c.nsdArmed;
        rig.ptc.nsdDis = c.nsdDis;
        rig.ptc.nsdSpd = 25;
        rig.Run(1000);
        EXPECT_EQ(rig.atsMode, c.modeAfter);
        EXPECT_EQ(rig.ptc.nsdMode, c.nsdModeAfter);
        EXPECT_EQ(rig.ptc.nsdLamp, c.nsdModeAfter);
        EXPECT_EQ(rig.ptc.sigDis, c.sigDisAfter);
    }
}

TEST(PtcPattern, AspectTablesAndTargets) {
    // Aspects in turn: on a drop the aspect before it is held until the target.
    const struct {
        std::int32_t aspect;
        float aspectSpd, targetSpd;
    } steps[] = {{3, 75, 75}, {1, 75, 25}, {-7, 25, 110}};
    PtcRig rig;
    rig.atsMode = 0x14; // aspect-table variant, no checker
    for (const auto& step : steps) {
        rig.aspect = step.aspect;
        rig.Run(0);
        EXPECT_EQ(rig.ptc.aspectSpd, step.aspectSpd) << step.aspect;
        EXPECT_EQ(rig.ptc.targetSpd, step.targetSpd) << step.aspect;
    }

    PtcRig target;
    target.atsMode = 0x81; // target variant without a checker
    target.aspect = 9;
    target.ptc.BeaconIn(target.Frame(), 102, 0, 15, 0, false);
    target.ptc.nextBlockDis = 300;
    target.ptc.limSpd = 65;
    target.speed = 36; // 10 m a second
    target.Run(1000);
    EXPECT_NEAR(target.ptc.targetDis, 5.0f, 0.001f);
    EXPECT_EQ(target.ptc.targetSpd, 160.0f);
    target.Run(1000);
    EXPECT_NEAR(target.ptc.targetDis, 295.0f, 0.01f); // into the next block
    EXPECT_EQ(target.ptc.limDoSpd, 65.0f);
    target.ptc.nextBlockDis = 2; // shorter than the overshoot: the target is here
    target.ptc.targetDis = 1;
    target.Run(1000);
    EXPECT_EQ(target.ptc.targetDis, 0.0f);
    EXPECT_FALSE(std::isnan(target.ptc.sigPtnSpd));
}

TEST(PtcPattern, BrokenFramesMoveNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float speed;
        std::int32_t ms;
    } cases[] = {{nan, 1000}, {60, 0}, {60, -1000}, {60, INT_MIN}};
    for (const auto& c : cases) {
        PtcRig rig{.speed = c.speed, .atsMode = 71};
        rig.ptc.limDis = 500;
        rig.Run(c.ms);
        EXPECT_EQ(rig.ptc.sigDis, 4096.0f) << c.speed << " " << c.ms;
        EXPECT_EQ(rig.ptc.limDis, 500.0f);
    }
}

} // namespace
} // namespace velqa3
