// What each beacon writes into the pattern protection, its Optional encodings and the
// beacons a route should never contain.
#include "tests/support/ptc_rig.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <tuple>

namespace velqa3 {
namespace {

using test::PtcRig;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(PtcBeacon, EachTypeWritesItsField) {
    // |INT_MIN| modulo 10^9 is 147 483 648: groups 147, 483 and 648 of 4 m.
    const struct {
        std::int32_t type, signal;
        float distance;
        std::int32_t optional;
        float speed;
        std::uint8_t atsMode;
        float PTC::*field;
        float expected;
    } cases[] = {
        {60, 3, 100, INT_MIN, 40, 4, &PTC::sigDis, 100 + 483 * 4 + 648 * 4},
        {70, 0, 0, INT_MIN, 40, 4, &PTC::limSpd, 2147 * 5},
        {70, 0, 0, INT_MIN, 40, 4, &PTC::limDis, 483 * 4},
        {70, 0, 0, INT_MIN, 40, 4, &PTC::limLength, 648 * 4 + 200},
        {3, 0, 120, 0, 50, 4, &PTC::sigDis, 120},        // stop signal
        {3, 1, 120, 0, 50, 4, &PTC::sigDis, 100000},     // proceed
        {3, 0, kInf, 0, 50, 4, &PTC::sigDis, 100000},    // no stop point in range
        {3, 0, kNaN, 0, 50, 4, &PTC::sigDis, 0},         // taken as the beacon itself
        {60, 0, 45, 0, 50, 4, &PTC::sigDis, 45},         // far enough to stop
        {60, 2, 100, 5'006, 50, 4, &PTC::sigDis, 120},   // middle group from signal 1
        {60, 3, 5000, 2'003, 50, 4, &PTC::sigDis, 4016}, // clamped, both groups from 3
        {60, 1, -5, 0, 50, 4, &PTC::sigDis, 4},          // raised to 4 m
        {60, 1, 300, 0, 0, 4, &PTC::sigDis, 4096},       // at a stand: nothing
        {62, 0, 20, 0, 50, 4, &PTC::sigDis, 20},         // close stop only sets the distance
        {61, 4, 0, 95, 0, 4, &PTC::limDoMax, 95},
        {64, 1, 10, 50, 50, 4, &PTC::sigDis, 60},     // sub-kind 0: extra metres + distance
        {64, 1, 10, 10'030, 50, 4, &PTC::nsdDis, 40}, // sub-kind 1
        {64, 1, 10, 10'030, 50, 4, &PTC::nsdSpd, 35}, // sub-kind 1
        {64, 1, 10, 20'030, 50, 4, &PTC::nsdSpd, 25}, // sub-kind 2
        {64, 1, 10, 30'030, 50, 4, &PTC::nsdSpd, 35}, // sub-kind 3
        {64, 1, 10, 40'030, 50, 4, &PTC::nsdDis, 0},  // sub-kind 4: ignored
        {64, 1, 10, -500, 50, 4, &PTC::sigDis, 0},    // negative extra: not behind the train
        {68, 0, 0, 0, 50, 4, &PTC::limSpd, 10000},
        {70, 0, 0, 9'062'999, 50, 4, &PTC::limSpd, 45},
        {70, 0, 0, 9'062'999, 0, 4, &PTC::limSpd, 999.9f}, // at a stand: nothing
        {105, 0, 0, 9'062'999, 0, 4, &PTC::limSpd, 45},
        {70, 0, 0, 9'000'010, 50, 4, &PTC::limDis, 0.01f}, // starts at the beacon
        {70, 0, 0, -9'062'999, 50, 4, &PTC::limSpd, 45},   // magnitude of a negative code
        {75, 0, 0, 25, 0, 4, &PTC::gradeDecel, 0.244923f},
        {75, 0, 0, -25, 0, 4, &PTC::gradeDecel, 0.244923f},
        {75, 0, 0, 51, 0, 4, &PTC::gradeDecel, 0}, // out of range: ignored
        {100, 1, 0, 1'002'003, 50, 0x14, &PTC::targetDis, 4},
        {100, 1, 0, 1'002'003, 50, 0x14, &PTC::nextBlockDis, 8},
        {100, 1, 0, 1'002'003, 0, 0x14, &PTC::sigDis, 0},
        {100, 1, 300, 0, 50, 0x85, &PTC::targetDis, 300},
        {100, 1, 300, 0, 50, 0x85, &PTC::nextBlockDis, 10000},
        {100, 1, 300, 3'004'000, 50, 0x85, &PTC::targetDis, 12},
        {101, 0, 300, 77, 0, 4, &PTC::targetDis, 0.01f},
        {102, 0, 300, 77, 0, 4, &PTC::targetDis, 300},
        {103, 0, 300, 77, 0, 4, &PTC::targetDis, 77},
        {103, 0, 300, INT_MIN, 0, 4, &PTC::targetDis, 0},
        {111, 0, 0, 40, 0, 4, &PTC::limDis, 0.01f},
        {112, 0, 0, 40, 0, 4, &PTC::limDis, 600},
        {131, 2, 0, 0, 0, 4, &PTC::limDoMax, 65},
        {131, 7, 0, 0, 0, 4, &PTC::limDoMax, 120},
        {132, 1, 0, 0, 0, 4, &PTC::limDoMax, 30},
        {132, 7, 0, 0, 0, 4, &PTC::limDoMax, 130},
        {133, 0, 0, 0, 0, 4, &PTC::limDoMax, 45},
        {140, 0, 0, 0, 0, 4, &PTC::sigDis, 10000},
    };
    for (const auto& c : cases) {
        PtcRig rig{.speed = c.speed, .atsMode = c.atsMode};
        rig.ptc.BeaconIn(rig.Frame(), c.type, c.signal, c.distance, c.optional, true);
        EXPECT_NEAR(rig.ptc.*c.field, c.expected, 1e-4f) << c.type << " " << c.optional;
    }
}

TEST(PtcBeacon, BrakesAndProtectionZones) {
    const struct {
        std::int32_t type, signal;
        float distance;
        std::int32_t optional;
        float speed;
        std::uint8_t atsMode;
        bool accept;
        std::uint8_t emergency, nsdArmed; // then the zone: its length and speed
        float nsdDis, nsdSpd;
    } cases[] = {
        {4, 0, 30, 0, 40, 4, true, 1, 0, 0, 15},               // too close to stop
        {4, 0, 60, 0, 40, 4, true, 0, 0, 0, 15},               // far enough
        {4, 0, 30, 0, 40, 4, false, 0, 0, 0, 15},              // not taken
        {4, 0, 30, 0, 0, 4, true, 0, 0, 0, 15},                // at a stand
        {60, 0, 30, 0, 40, 4, true, 1, 1, 80, 15},             // sub-kind 0: brake, 80 m zone
        {60, 0, 30, 1'000'010'000, 40, 4, true, 0, 1, 44, 25}, // sub-kind 1: middle group
        {60, 0, 30, 1'000'010'000, 40, 7, true, 0, 0, 0, 0},   // not in this variant
        {60, 0, 30, INT_MIN, 40, 4, true, 0, 0, 0, 0},         // sub-kind -2
        {64, 0, 5, 20'100, 0, 4, true, 1, 1, 105, 25},         // zone behind a stop signal
        {64, 0, 10, -40'000, 0, 4, true, 0, 0, 0, 15},         // sub-kind -4: ignored
    };
    for (const auto& c : cases) {
        PtcRig rig{.speed = c.speed, .atsMode = c.atsMode};
        rig.ptc.BeaconIn(rig.Frame(), c.type, c.signal, c.distance, c.optional, c.accept);
        const PTC& p = rig.ptc; // a beacon brake is state 1
        EXPECT_EQ(std::tie(p.emergencyLatch, p.state, p.nsdArmed, p.nsdDis, p.nsdSpd),
                  std::tie(c.emergency, c.emergency, c.nsdArmed, c.nsdDis, c.nsdSpd))
            << c.type << " " << c.optional;
    }
    PtcRig beyond{.speed = 40}; // beyond the stop point types 60 and 62 are not taken
    beyond.ptc.nsdMode = 1;
    beyond.ptc.BeaconIn(beyond.Frame(), 60, 0, 30, 0, true);
    beyond.ptc.BeaconIn(beyond.Frame(), 62, 1, 300, 0, true);
    EXPECT_EQ(beyond.ptc.emergencyLatch, 0);
    EXPECT_EQ(beyond.ptc.sigDis, 4096.0f);
}

TEST(PtcBeacon, HoldAndKindBellAndLineType) {
    PtcRig rig{.speed = 72};
    rig.ptc.BeaconIn(rig.Frame(), 68, 0, 0, 0, true);
    rig.ptc.limDoDis = 500;
    rig.Run(1000);
    EXPECT_EQ(rig.ptc.sigDis, 10000.0f); // held
    EXPECT_EQ(rig.ptc.limDoDis, 500.0f);
    rig.ptc.BeaconIn(rig.Frame(), 75, 0, 0, 99, true); // gradient ignored, hold released
    rig.Run(1000);
    EXPECT_NEAR(rig.ptc.sigDis, 9980.0f, 0.01f);
    EXPECT_NEAR(rig.ptc.limDoDis, 480.0f, 0.01f);

    PtcRig kind; // the bell rings when the pattern kind changes, at a stand too
    kind.ptc.BeaconIn(kind.Frame(), 101, 0, 0, 0, false);
    EXPECT_EQ(kind.ptc.bellCode, 1);
    kind.ptc.bellCode = 0;
    kind.ptc.BeaconIn(kind.Frame(), 102, 0, 100, 0, false);
    EXPECT_EQ(kind.ptc.bellCode, 0);
    kind.ptc.BeaconIn(kind.Frame(), 131, 3, 0, 0, false);
    EXPECT_EQ(kind.ptc.bellCode, 1);

    PtcRig line;
    line.ptc.BeaconIn(line.Frame(), 50, 0, 0, 0x185, false);
    EXPECT_EQ(line.ptc.lineType, 0x85);
    EXPECT_EQ(line.ptc.lastBeacon.Optional, 0x185);
    line.ptc.lineType = 133; // this line rings at every change of aspect
    line.aspect = 2;
    line.ptc.BeaconIn(line.Frame(), 999, 2, 0, 0, false);
    EXPECT_EQ(line.ptc.bellCode, 1);
    line.ptc.bellCode = 0;
    line.ptc.BeaconIn(line.Frame(), 999, 2, 0, 0, false);
    EXPECT_EQ(line.ptc.bellCode, 0);
}

} // namespace
} // namespace velqa3
