// What each beacon writes into the pattern protection, its Optional encodings and the
// beacons a route should never contain.
#include "tests/support/ptc_rig.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace velqa3 {
namespace {

using test::PtcRig;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct BeaconCase {
    const char* what;
    std::int32_t type, signal;
    float distance;
    std::int32_t optional;
    float speed;
    std::uint8_t atsMode;
    float PTC::*field;
    float expected;
};

TEST(PtcBeacon, EachTypeWritesItsField) {
    const BeaconCase cases[] = {
        {"3 stop signal", 3, 0, 120, 0, 50, 4, &PTC::sigDis, 120},
        {"3 proceed", 3, 1, 120, 0, 50, 4, &PTC::sigDis, 100000},
        {"60 stop at 45 m", 60, 0, 45, 0, 50, 4, &PTC::sigDis, 45},
        {"60 middle group for signal 1..2", 60, 2, 100, 5'006, 50, 4, &PTC::sigDis, 120},
        {"60 both groups from 3, clamped", 60, 3, 5000, 2'003, 50, 4, &PTC::sigDis, 4016},
        {"60 raised to 4 m", 60, 1, -5, 0, 50, 4, &PTC::sigDis, 4},
        {"60 at a stand", 60, 1, 300, 0, 0, 4, &PTC::sigDis, 4096},
        {"62 close stop only sets the distance", 62, 0, 20, 0, 50, 4, &PTC::sigDis, 20},
        {"61 maximum", 61, 4, 0, 95, 0, 4, &PTC::limDoMax, 95},
        {"64 kind 0", 64, 1, 10, 50, 50, 4, &PTC::sigDis, 60},
        {"64 kind 1", 64, 1, 10, 10'030, 50, 4, &PTC::nsdDis, 40},
        {"64 kind 1 speed", 64, 1, 10, 10'030, 50, 4, &PTC::nsdSpd, 35},
        {"64 kind 2 speed", 64, 1, 10, 20'030, 50, 4, &PTC::nsdSpd, 25},
        {"64 kind 3 speed", 64, 1, 10, 30'030, 50, 4, &PTC::nsdSpd, 35},
        {"64 kind 4 ignored", 64, 1, 10, 40'030, 50, 4, &PTC::nsdDis, 0},
        {"68 hold", 68, 0, 0, 0, 50, 4, &PTC::limSpd, 10000},
        {"70 limit speed", 70, 0, 0, 9'062'999, 50, 4, &PTC::limSpd, 45},
        {"70 limit distance", 70, 0, 0, 9'062'999, 50, 4, &PTC::limDis, 248},
        {"70 length with the train", 70, 0, 0, 9'062'999, 50, 4, &PTC::limLength, 4196},
        {"70 at a stand", 70, 0, 0, 9'062'999, 0, 4, &PTC::limSpd, 999.9f},
        {"105 at a stand", 105, 0, 0, 9'062'999, 0, 4, &PTC::limSpd, 45},
        {"70 starting at the beacon", 70, 0, 0, 9'000'010, 50, 4, &PTC::limDis, 0.01f},
        {"75 up", 75, 0, 0, 25, 0, 4, &PTC::gradeDecel, 0.244923f},
        {"75 down", 75, 0, 0, -25, 0, 4, &PTC::gradeDecel, 0.244923f},
        {"75 out of range", 75, 0, 0, 51, 0, 4, &PTC::gradeDecel, 0},
        {"100 aspect variant target", 100, 1, 0, 1'002'003, 50, 0x14, &PTC::targetDis, 4},
        {"100 aspect variant next block", 100, 1, 0, 1'002'003, 50, 0x14, &PTC::nextBlockDis, 8},
        {"100 clears the stop point", 100, 1, 0, 1'002'003, 0, 0x14, &PTC::sigDis, 0},
        {"100 target variant, plain", 100, 1, 300, 0, 50, 0x85, &PTC::targetDis, 300},
        {"100 target variant, plain block", 100, 1, 300, 0, 50, 0x85, &PTC::nextBlockDis, 10000},
        {"100 target variant, groups", 100, 1, 300, 3'004'000, 50, 0x85, &PTC::targetDis, 12},
        {"101 target here", 101, 0, 300, 77, 0, 4, &PTC::targetDis, 0.01f},
        {"102 target at the distance", 102, 0, 300, 77, 0, 4, &PTC::targetDis, 300},
        {"103 target from Optional", 103, 0, 300, 77, 0, 4, &PTC::targetDis, 77},
        {"111 limit here", 111, 0, 0, 40, 0, 4, &PTC::limDis, 0.01f},
        {"112 limit at 600 m", 112, 0, 0, 40, 0, 4, &PTC::limDis, 600},
        {"112 limit speed", 112, 0, 0, 40, 0, 4, &PTC::limSpd, 40},
        {"113 end of limit", 113, 0, 0, 0, 0, 4, &PTC::limDoDis, 200.01f},
        {"131 signal 2", 131, 2, 0, 0, 0, 4, &PTC::limDoMax, 65},
        {"131 signal 7 leaves it", 131, 7, 0, 0, 0, 4, &PTC::limDoMax, 120},
        {"132 signal 1", 132, 1, 0, 0, 0, 4, &PTC::limDoMax, 30},
        {"132 signal 7", 132, 7, 0, 0, 0, 4, &PTC::limDoMax, 130},
        {"133 signal 0", 133, 0, 0, 0, 0, 4, &PTC::limDoMax, 45},
        {"133 signal 2", 133, 2, 0, 0, 0, 4, &PTC::limDoMax, 95},
        {"130-149 kind has no stop point", 140, 0, 0, 0, 0, 4, &PTC::sigDis, 10000},
    };
    for (const BeaconCase& c : cases) {
        PtcRig rig;
        rig.speed = c.speed;
        rig.atsMode = c.atsMode;
        rig.ptc.BeaconIn(c.type, c.signal, c.distance, c.optional, true);
        EXPECT_NEAR(rig.ptc.*c.field, c.expected, 1e-4f) << c.what;
    }
}

TEST(PtcBeacon, SpotBeaconsOnlyWhenAccepted) {
    PtcRig rig;
    rig.speed = 40;
    rig.ptc.BeaconIn(3, 0, 120, 0, false);
    rig.ptc.BeaconIn(4, 0, 30, 0, false);
    EXPECT_EQ(rig.ptc.sigDis, 4096.0f);
    EXPECT_EQ(rig.ptc.emergencyLatch, 0);

    rig.ptc.BeaconIn(4, 0, 60, 0, true); // far enough to stop
    EXPECT_EQ(rig.ptc.emergencyLatch, 0);
    rig.ptc.BeaconIn(4, 0, 30, 0, true);
    EXPECT_EQ(rig.ptc.emergencyLatch, 1);
    EXPECT_EQ(rig.ptc.state, 1);
    EXPECT_EQ(rig.ptc.brakeLamp, 1);
}

TEST(PtcBeacon, CloseStopSignalBrakesOrOpensAZone) {
    {
        PtcRig rig; // sub-kind 0: too close, brake and let the train into an 80 m zone
        rig.speed = 40;
        rig.ptc.BeaconIn(60, 0, 30, 0, true);
        EXPECT_EQ(rig.ptc.emergencyLatch, 1);
        EXPECT_EQ(rig.ptc.nsdArmed, 1);
        EXPECT_EQ(rig.ptc.nsdDis, 80.0f);
        EXPECT_EQ(rig.ptc.nsdSpd, 15.0f);
        EXPECT_EQ(rig.ptc.sigDis, 4096.0f);
    }
    {
        PtcRig rig; // sub-kind 1 in the plain variant: a zone of the middle group, no brake
        rig.speed = 40;
        rig.ptc.BeaconIn(60, 0, 30, 1'000'010'000, true);
        EXPECT_EQ(rig.ptc.emergencyLatch, 0);
        EXPECT_EQ(rig.ptc.nsdDis, 44.0f);
        EXPECT_EQ(rig.ptc.nsdSpd, 25.0f);
    }
    {
        PtcRig rig; // sub-kind 1 elsewhere, and other sub-kinds: no zone
        rig.speed = 40;
        rig.atsMode = 7;
        rig.ptc.nsdArmed = 1;
        rig.ptc.BeaconIn(60, 0, 30, 1'000'010'000, true);
        EXPECT_EQ(rig.ptc.nsdArmed, 0);
        EXPECT_EQ(rig.ptc.nsdDis, 0.0f);
        EXPECT_EQ(rig.ptc.emergencyLatch, 0);
    }
    {
        PtcRig rig; // beyond the stop point nothing of types 60 and 62 is taken
        rig.speed = 40;
        rig.ptc.nsdMode = 1;
        rig.ptc.BeaconIn(60, 0, 30, 0, true);
        rig.ptc.BeaconIn(62, 1, 300, 0, true);
        EXPECT_EQ(rig.ptc.emergencyLatch, 0);
        EXPECT_EQ(rig.ptc.sigDis, 4096.0f);
    }
}

TEST(PtcBeacon, ZoneBeaconWithStopSignalBrakes) {
    PtcRig rig;
    rig.ptc.BeaconIn(64, 0, 5, 20'100, true);
    EXPECT_EQ(rig.ptc.emergencyLatch, 1);
    EXPECT_EQ(rig.ptc.nsdArmed, 1);
    EXPECT_EQ(rig.ptc.nsdDis, 105.0f);
}

TEST(PtcBeacon, HoldStopsTheCountUntilReleased) {
    PtcRig rig;
    rig.speed = 72;
    rig.ptc.BeaconIn(68, 0, 0, 0, true);
    rig.ptc.limDoDis = 500;
    rig.Run(1000);
    EXPECT_EQ(rig.ptc.sigDis, 10000.0f);
    EXPECT_EQ(rig.ptc.limDoDis, 500.0f);
    rig.ptc.BeaconIn(75, 0, 0, 99, true); // gradient ignored, hold released
    EXPECT_EQ(rig.ptc.patternHold, 0);
    rig.Run(1000);
    EXPECT_NEAR(rig.ptc.sigDis, 9980.0f, 0.01f);
    EXPECT_NEAR(rig.ptc.limDoDis, 480.0f, 0.01f);
}

TEST(PtcBeacon, PatternKindChangeRingsOnce) {
    PtcRig rig;
    rig.ptc.BeaconIn(101, 0, 0, 0, false);
    EXPECT_EQ(rig.ptc.patternKind, 1);
    EXPECT_EQ(rig.ptc.bellCode, 1); // forced: rings at a stand too
    rig.ptc.bellCode = 0;
    rig.ptc.BeaconIn(102, 0, 100, 0, false);
    EXPECT_EQ(rig.ptc.bellCode, 0);
    rig.ptc.BeaconIn(131, 3, 0, 0, false);
    EXPECT_EQ(rig.ptc.patternKind, 2);
    EXPECT_EQ(rig.ptc.bellCode, 1);
}

TEST(PtcBeacon, LastBeaconIsKeptAsGiven) {
    PtcRig rig;
    rig.ptc.BeaconIn(999, -3, -12.5f, INT_MIN, false);
    EXPECT_EQ(rig.ptc.lastBeacon.Type, 999);
    EXPECT_EQ(rig.ptc.lastBeacon.Signal, -3);
    EXPECT_EQ(rig.ptc.lastBeacon.Distance, -12.5f);
    EXPECT_EQ(rig.ptc.lastBeacon.Optional, INT_MIN);
}

TEST(PtcBeacon, NegativeOptionalsDecodeTheirMagnitude) {
    PtcRig rig;
    rig.speed = 40;
    // |INT_MIN| modulo 10^9 is 147 483 648: groups 147, 483 and 648 of 4 m.
    rig.ptc.BeaconIn(60, 3, 100, INT_MIN, true);
    EXPECT_EQ(rig.ptc.sigDis, 100.0f + 483 * 4 + 648 * 4);
    rig.ptc.BeaconIn(70, 0, 0, INT_MIN, true);
    EXPECT_EQ(rig.ptc.limSpd, 2147.0f * 5);
    EXPECT_EQ(rig.ptc.limDis, 483.0f * 4);
    EXPECT_EQ(rig.ptc.limLength, 648.0f * 4 + 200);
    rig.ptc.BeaconIn(70, 0, 0, -9'062'999, true);
    EXPECT_EQ(rig.ptc.limSpd, 45.0f);
    // A negative zone code is no zone at all, and a negative target no distance.
    rig.ptc.BeaconIn(64, 0, 10, -40'000, true);
    EXPECT_EQ(rig.ptc.emergencyLatch, 0);
    rig.ptc.BeaconIn(64, 1, 10, -500, true);
    EXPECT_EQ(rig.ptc.sigDis, 0.0f);
    rig.ptc.BeaconIn(103, 0, 0, INT_MIN, false);
    EXPECT_EQ(rig.ptc.targetDis, 0.0f);
}

TEST(PtcBeacon, BrokenDistancesNeverLeaveANonNumber) {
    const float distances[] = {kNaN, -kInf, kInf, -1e30f, 1e30f, -0.0f};
    for (const float d : distances) {
        PtcRig rig;
        rig.speed = 60;
        rig.atsMode = 0x85;
        for (const std::int32_t type : {3, 60, 62, 64, 100, 102})
            rig.ptc.BeaconIn(type, 0, d, type == 64 ? 20'000 : 0, true);
        rig.Run(20, 50);
        for (const float value : {rig.ptc.sigDis, rig.ptc.nsdDis, rig.ptc.targetDis,
                                  rig.ptc.sigPtnSpd, rig.ptc.patternSpd}) {
            EXPECT_FALSE(std::isnan(value)) << d;
            EXPECT_GE(value, 0.0f) << d;
        }
    }
    PtcRig rig;
    rig.speed = 60;
    rig.ptc.BeaconIn(3, 0, kInf, 0, true);
    EXPECT_EQ(rig.ptc.sigDis, 100000.0f); // no stop point in range
    rig.ptc.BeaconIn(3, 0, kNaN, 0, true);
    EXPECT_EQ(rig.ptc.sigDis, 0.0f); // at the beacon itself
}

TEST(PtcBeacon, LineTypeFromTheLineBeacon) {
    PtcRig rig;
    rig.ptc.BeaconIn(50, 0, 0, 0x185, false);
    EXPECT_EQ(rig.ptc.lineType, 0x85);
    rig.ptc.lineType = 133; // this line rings at every change of aspect
    rig.aspect = 2;
    rig.ptc.BeaconIn(999, 2, 0, 0, false);
    EXPECT_EQ(rig.ptc.bellCode, 1);
    rig.ptc.bellCode = 0;
    rig.ptc.BeaconIn(999, 2, 0, 0, false);
    EXPECT_EQ(rig.ptc.bellCode, 0);
}

} // namespace
} // namespace velqa3
