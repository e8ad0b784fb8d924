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

TEST(PtcPattern, StopPatternFigures) {
    PtcRig rig;
    rig.speed = 72;
    rig.ptc.sigDis = 250;
    rig.Run(0);
    EXPECT_NEAR(rig.ptc.sigPtnDis, 277.07f, 0.01f);
    EXPECT_NEAR(rig.ptc.sigPtnSpd, 68.26f, 0.01f);
    EXPECT_NEAR(rig.ptc.patternSpd, 68.26f, 0.01f);
    EXPECT_EQ(rig.ptc.emergencyLatch, 1); // 277 m needed, 250 m left
    EXPECT_EQ(rig.ptc.approachNo, 21);

    PtcRig standing;
    standing.Run(20);
    EXPECT_EQ(standing.ptc.sigDis, 4096.0f);
    EXPECT_NEAR(standing.ptc.sigPtnSpd, 284.6f, 0.05f);
    EXPECT_EQ(standing.ptc.patternSpd, 120.0f); // the maximum speed caps it
}

TEST(PtcPattern, LimitPatternFigures) {
    PtcRig rig;
    rig.speed = 90;
    rig.ptc.limSpd = 45;
    rig.ptc.limDis = 300;
    rig.Run(0);
    EXPECT_NEAR(rig.ptc.limPtnDis, 326.25f, 0.01f);
    EXPECT_NEAR(rig.ptc.limPtnSpd, 87.10f, 0.01f);
}

TEST(PtcPattern, FloorsOfThePatternSpeeds) {
    PtcRig rig;
    rig.ptc.sigDis = 0.01f;
    rig.ptc.limSpd = 45;
    rig.ptc.limDis = 0.01f;
    rig.Run(0);
    EXPECT_EQ(rig.ptc.sigPtnSpd, 10.0f);
    EXPECT_EQ(rig.ptc.limPtnSpd, 45.0f);
    EXPECT_EQ(rig.ptc.patternSpd, 10.0f);
}

TEST(PtcPattern, GradientEasesTheCurve) {
    PtcRig flat, graded;
    for (PtcRig* rig : {&flat, &graded}) {
        rig->speed = 72;
        rig->ptc.sigDis = 1000;
    }
    graded.ptc.BeaconIn(75, 0, 0, 40, false);
    flat.Run(0);
    graded.Run(0);
    EXPECT_LT(graded.ptc.sigPtnDis, flat.ptc.sigPtnDis);
    EXPECT_GT(graded.ptc.sigPtnSpd, flat.ptc.sigPtnSpd);
}

TEST(PtcPattern, LimitComesIntoForceWithTheOvershoot) {
    PtcRig rig;
    rig.atsMode = 71; // pattern without a checker: only the distances matter here
    rig.ptc.limSpd = 45;
    rig.ptc.limDis = 3;
    rig.ptc.limLength = 400;
    rig.speed = 18; // 5 m/s, 5 m in this frame
    rig.Run(1000);
    EXPECT_EQ(rig.ptc.limDis, 0.0f);
    EXPECT_NEAR(rig.ptc.limDoDis, 398.0f, 0.001f);
    EXPECT_EQ(rig.ptc.limDoSpd, 45.0f);
    EXPECT_NEAR(rig.ptc.patternSpd, 45.0f, 0.001f);

    rig.Run(1000, 80); // 400 m on: the train has cleared it
    EXPECT_EQ(rig.ptc.limDoDis, 0.0f);
    EXPECT_EQ(rig.ptc.limDoSpd, 999.9f);
    EXPECT_EQ(rig.ptc.patternSpd, 120.0f);
}

TEST(PtcPattern, PatternSpeedTakesTheLowestCap) {
    PtcRig rig;
    rig.atsMode = 71;
    rig.ptc.sigDis = 100000;
    rig.ptc.nsdDis = 50;
    rig.ptc.nsdSpd = 25;
    rig.Run(0);
    EXPECT_EQ(rig.ptc.patternSpd, 25.0f);
    rig.ptc.nsdDis = 0;
    rig.ptc.aspectSpd = 55;
    rig.Run(0);
    EXPECT_EQ(rig.ptc.patternSpd, 55.0f);
    rig.ptc.sigDis = 0; // no stop point: 160 until something else caps it
    rig.ptc.aspectSpd = 999.9f;
    rig.ptc.limDoMax = 200;
    rig.Run(0);
    EXPECT_EQ(rig.ptc.patternSpd, 160.0f);
}

TEST(PtcPattern, PassingTheStopPointFallsBackToSpotProtection) {
    {
        PtcRig rig;
        rig.speed = 36; // 10 m in a second
        rig.ptc.sigDis = 5;
        rig.Run(1000);
        EXPECT_EQ(rig.atsMode, 0x02);
        EXPECT_EQ(rig.ptc.sigDis, 100000.0f);
        EXPECT_EQ(rig.ptc.nsdMode, 0);
    }
    {
        PtcRig rig; // the margin variant keeps its pattern protection
        rig.atsMode = 5;
        rig.speed = 36;
        rig.ptc.sigDis = 5;
        rig.Run(1000);
        EXPECT_EQ(rig.atsMode, 5);
        EXPECT_EQ(rig.ptc.sigDis, 0.0f);
    }
    {
        PtcRig rig; // a zone beyond the stop point: run through it at its speed
        rig.atsMode = 7;
        rig.speed = 18;
        rig.ptc.sigDis = 2;
        rig.ptc.nsdArmed = 1;
        rig.ptc.nsdDis = 30;
        rig.ptc.nsdSpd = 25;
        rig.Run(1000);
        EXPECT_EQ(rig.ptc.nsdMode, 1);
        EXPECT_EQ(rig.ptc.nsdLamp, 1);
        EXPECT_NEAR(rig.ptc.nsdDis, 25.0f, 0.001f);
        EXPECT_EQ(rig.ptc.patternSpd, 25.0f);
        rig.Run(1000, 5);
        EXPECT_EQ(rig.ptc.nsdMode, 0);
        EXPECT_EQ(rig.ptc.nsdLamp, 0);
        EXPECT_EQ(rig.atsMode, 7);
    }
}

TEST(PtcPattern, AspectTablesHoldTheAspectBeforeADrop) {
    PtcRig rig;
    rig.atsMode = 0x14; // aspect-table variant, no checker
    rig.aspect = 3;
    rig.Run(0);
    EXPECT_EQ(rig.ptc.aspectSpd, 75.0f);
    EXPECT_EQ(rig.ptc.targetSpd, 75.0f);
    rig.aspect = 1;
    rig.Run(0);
    EXPECT_EQ(rig.ptc.aspectSpd, 75.0f); // held until the target
    EXPECT_EQ(rig.ptc.targetSpd, 25.0f);
    rig.aspect = -7;
    rig.Run(0);
    EXPECT_EQ(rig.ptc.targetSpd, 110.0f);

    PtcRig target;
    target.atsMode = 0x85;
    target.ptc.patternKind = 1;
    target.aspect = 2;
    target.Run(0);
    EXPECT_EQ(target.ptc.aspectSpd, 55.0f);
    target.aspect = 9;
    target.Run(0);
    EXPECT_EQ(target.ptc.targetSpd, 160.0f);

    PtcRig plain; // the plain variant keeps what it has
    plain.aspect = 2;
    plain.Run(0);
    EXPECT_EQ(plain.ptc.aspectSpd, 999.9f);
}

TEST(PtcPattern, TargetRunsIntoTheNextBlock) {
    PtcRig rig;
    rig.atsMode = 0x81; // target variant without a checker
    rig.ptc.BeaconIn(102, 0, 15, 0, false);
    rig.ptc.nextBlockDis = 300;
    rig.ptc.limSpd = 65;
    rig.speed = 36; // 10 m a second
    rig.Run(1000);
    EXPECT_NEAR(rig.ptc.targetDis, 5.0f, 0.001f);
    EXPECT_EQ(rig.ptc.limDoSpd, 999.9f);
    rig.Run(1000);
    EXPECT_NEAR(rig.ptc.targetDis, 295.0f, 0.01f);
    EXPECT_EQ(rig.ptc.limDoSpd, 65.0f);
    EXPECT_EQ(rig.ptc.sigDis, 0.0f);
    EXPECT_GT(rig.ptc.sigPtnSpd, 0.0f);

    rig.ptc.nextBlockDis = 2; // shorter than the overshoot: the target is here
    rig.ptc.targetDis = 1;
    rig.Run(1000);
    EXPECT_EQ(rig.ptc.targetDis, 0.0f);
    EXPECT_FALSE(std::isnan(rig.ptc.sigPtnSpd));

    PtcRig other; // without a target pattern kind the target is not kept
    other.atsMode = 0x14;
    other.ptc.targetDis = 50;
    other.Run(0);
    EXPECT_EQ(other.ptc.targetDis, 0.0f);
}

TEST(PtcPattern, FramesOfNoTimeOrBrokenValuesMoveNothing) {
    const float speeds[] = {std::numeric_limits<float>::quiet_NaN(), 60.0f};
    const std::int32_t frames[] = {0, -1000, INT_MIN};
    for (const float speed : speeds) {
        for (const std::int32_t ms : frames) {
            PtcRig rig;
            rig.atsMode = 71;
            rig.speed = speed;
            rig.ptc.limDis = 500;
            rig.Run(ms);
            EXPECT_EQ(rig.ptc.sigDis, 4096.0f) << speed << " " << ms;
            EXPECT_EQ(rig.ptc.limDis, 500.0f);
        }
    }
    PtcRig nan;
    nan.speed = std::numeric_limits<float>::quiet_NaN();
    nan.Run(1000);
    EXPECT_EQ(nan.ptc.sigDis, 4096.0f); // a speed that is no number counts as a stand
}

TEST(PtcPattern, ExtremeSpeedsAndFramesKeepEveryDistanceANumber) {
    const float speeds[] = {std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 3e38f, -500.0f};
    for (const float speed : speeds) {
        PtcRig rig;
        rig.atsMode = 71;
        rig.speed = speed;
        rig.ptc.limDis = 500;
        rig.ptc.limSpd = 45;
        rig.ptc.nsdDis = 10;
        rig.ptc.targetDis = 10;
        for (int i = 0; i < 3; ++i) {
            rig.Run(INT_MAX);
            rig.speed = -rig.speed; // and back again
        }
        for (const float value :
             {rig.ptc.sigDis, rig.ptc.nsdDis, rig.ptc.limDis, rig.ptc.limDoDis, rig.ptc.targetDis,
              rig.ptc.sigPtnDis, rig.ptc.sigPtnSpd, rig.ptc.limPtnDis, rig.ptc.limPtnSpd}) {
            EXPECT_TRUE(std::isfinite(value)) << speed;
        }
        EXPECT_GE(rig.ptc.limDoDis, 0.0f);
    }
}

TEST(PtcPattern, UnboundProtectionReadsZeros) {
    PTC ptc;
    ptc.BeaconIn(60, 0, 30, 0, true); // at a stand: nothing
    ptc.Update();
    ptc.CheckMaxSpeed();
    ptc.Reset();
    EXPECT_EQ(ptc.sigDis, 100000.0f);
    EXPECT_EQ(ptc.resetReady, 1); // notch 0, and no vehicle has set the emergency notch yet
    EXPECT_EQ(ptc.ModeHighBits(), 0);
}

} // namespace
} // namespace velqa3
