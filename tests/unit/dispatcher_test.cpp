// The beacon dispatcher: where each beacon goes in each protection mode, the mode changes
// beacons make, and the packed forms beacons are converted into.
#include "plugin/dispatcher.h"
#include "tests/support/beacon_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

namespace velqa3 {
namespace {

using test::BeaconRig;

// Spot beacons reach the spot protection (seen by its emergency or a pair started) only in
// spot mode and never during the aspect-coded check; on dual equipment pair beacons go there
// only when they must act, and always clear the pattern's signal target.
TEST(BeaconRouting, SpotBeaconsReachTheSpotProtectionOnlyInSpotMode) {
    const struct {
        std::uint8_t atsMode, cabSignalMode, dual;
        std::int32_t type, signal, optional;
        bool taken, signalTargetCleared;
    } cases[] = {{2, 0, 0, 1, 0, 0, true, false},          {7, 0, 0, 1, 0, 0, true, false},
                 {2, 1, 0, 1, 0, 0, false, false},         {4, 0, 0, 1, 0, 0, false, false},
                 {8, 0, 0, 1, 0, 0, false, false},         {0x08, 0, 0, 12, 3, 20003, true, false},
                 {0x08, 1, 0, 12, 3, 20003, false, false}, {0x08, 0, 0, 13, 3, 0, true, false},
                 {0x0C, 0, 1, 12, 3, 20003, true, true},   {0x0C, 0, 1, 12, 3, 350, false, true},
                 {0x0C, 0, 1, 12, 0, 10000, true, true},   {0x0C, 0, 1, 13, 3, 0, true, true},
                 {0x08, 0, 1, 12, 3, 20003, false, true},  {0x04, 0, 0, 12, 3, 20003, false, false},
                 {0x0A, 0, 0, 12, 3, 20003, true, false}};
    for (const auto& c : cases) {
        BeaconRig rig;
        rig.mode.atsMode = c.atsMode;
        rig.mode.cabSignalMode = c.cabSignalMode;
        rig.mode.dualEquipped = c.dual;
        rig.frame.speed = 200.0f; // too fast for any check
        rig.ptc.sigDis = 500.0f;
        if (c.type == 13)
            rig.stc.Beacon(rig.StcView(), 10, 0, 0); // a pair for it to complete at once
        rig.Send(c.type, c.signal, 100.0f, c.optional);
        SCOPED_TRACE(testing::Message() << c.type << " with " << c.optional << " in "
                                        << int{c.atsMode} << (c.dual ? " dual" : ""));
        EXPECT_EQ(rig.stc.emergency != 0 || rig.stc.pairArmed != 0, c.taken);
        EXPECT_EQ(rig.ptc.sigDis == 100000.0f, c.signalTargetCleared);
    }
}

TEST(BeaconRouting, StopBeaconsGoToThePatternProtectionWhenTheLineAcceptsThem) {
    for (const bool accept : {false, true})
        for (const bool hold : {false, true}) {
            BeaconRig rig;
            rig.frame.speed = 40.0f;
            rig.mode.atsMode = 2;
            rig.mode.acceptSpotBeacons = accept;
            rig.ptc.patternHold = hold;
            rig.Send(3, 0, 120.0f, 0);
            rig.Send(4, 0, 30.0f, 0);
            const bool taken = accept && !hold;
            EXPECT_EQ(rig.ptc.sigDis == 120.0f, taken) << accept << hold;
            EXPECT_EQ(rig.ptc.emergencyLatch, taken ? 1 : 0) << accept << hold;
        }
}

// The first pattern beacon on a pattern line with every switch set enters pattern protection
// (the bell silenced, the pattern started unless interlocked) and is then taken; off such a
// line it touches nothing but the aspect.
TEST(BeaconModes, TheFirstPatternBeaconEntersPatternProtectionThenIsTaken) {
    const struct {
        const char* what;
        std::int32_t lineCode;
        std::uint8_t atsMode, dual, cabSwitches;
        std::int8_t keyPosition;
        std::uint8_t atsModeAfter, panelAfter;
        bool entered, started;
    } cases[] = {
        {"pattern line", 0x04, 2, 0, 0x81, 2, 4, 4, true, true},
        {"aspect-coded line 133", 133, 2, 0, 0x81, 2, 133, 4, true, true},
        {"line 71", 71, 2, 0, 0x81, 2, 71, 4, true, true},
        {"dual equipment keeps spot", 0x07, 7 & ~4, 1, 0x81, 2, 7, 7, true, true},
        {"change-over interlock", 0x04, 2, 0, 0x83, 2, 2, 4, true, false},
        {"line without pattern protection", 0x02, 2, 0, 0x81, 2, 2, 2, false, false},
        {"protection power off", 0x04, 2, 0, 0x80, 2, 2, 2, false, false},
        {"pattern cut out", 0x04, 2, 0, 0x91, 2, 2, 2, false, false},
        {"change-over switch at 8", 0x04, 2, 0, 0x89, 2, 2, 2, false, false},
        {"master key not in 2", 0x04, 2, 0, 0x81, 3, 2, 2, false, false},
    };
    for (const auto& c : cases) {
        BeaconRig rig;
        rig.OnPatternLine(c.lineCode);
        rig.mode.atsMode = c.atsMode;
        rig.mode.atsModePanel = c.atsMode;
        rig.mode.dualEquipped = c.dual;
        rig.mode.cabSwitches = c.cabSwitches;
        rig.inputs.masterKeyPosition = c.keyPosition;
        rig.ptc.bellOut = 2;
        rig.ptc.resetReady = 0;
        const float sigDis = rig.ptc.sigDis;
        rig.Send(60, 2, 500.0f, 0);
        SCOPED_TRACE(c.what);
        EXPECT_EQ(rig.mode.atsMode, c.atsModeAfter);
        EXPECT_EQ(rig.mode.atsModePanel, c.panelAfter);
        EXPECT_EQ(rig.ptc.bellOut, c.entered ? 0 : 2);
        EXPECT_EQ(rig.ptc.resetReady, c.started ? 1 : 0);
        EXPECT_EQ(rig.ptc.lastBeacon.Type, c.entered ? 60 : 0);
        EXPECT_EQ(rig.ptc.sigDis, c.entered ? 500.0f : sigDis);
        EXPECT_EQ(rig.mode.currentAspect, 2);
    }

    // Once inside, a pattern beacon neither restarts the pattern nor silences the bell.
    BeaconRig inside;
    inside.OnPatternLine();
    inside.Send(60, 2, 500.0f, 0);
    inside.ptc.bellOut = 2;
    inside.ptc.resetReady = 0;
    inside.Send(62, 2, 300.0f, 0);
    EXPECT_EQ(inside.ptc.bellOut, 2);
    EXPECT_EQ(inside.ptc.resetReady, 0);
    EXPECT_FLOAT_EQ(inside.ptc.sigDis, 300.0f);
}

TEST(BeaconModes, TheEndOfPatternTerritoryReturnsToSpotProtection) {
    for (const std::uint8_t dc25Mode : {0, 1, 2}) {
        BeaconRig rig;
        rig.OnPatternLine();
        rig.settings.dc25Mode = dc25Mode;
        rig.Send(60, 0, 30.0f, 0); // too close to a stop signal: emergency
        ASSERT_EQ(rig.ptc.emergencyLatch, 1);
        rig.Send(90, 0, 0.0f, 0);
        EXPECT_EQ(rig.mode.atsMode, 2);
        EXPECT_EQ(rig.mode.atsModePanel, 2);
        EXPECT_EQ(rig.ptc.bellOut, 1);
        EXPECT_EQ(rig.ptc.emergencyLatch, 0);
        EXPECT_EQ(rig.ptc.sigDis, 100000.0f);
        EXPECT_EQ(rig.panelTimers.dc25BlinkTimer, dc25Mode == 2 ? 2000 : 0);
        rig.Send(1, 0, 0.0f, 0); // spot beacons are taken again
        EXPECT_EQ(rig.stc.emergency, 1);
    }
}

// Target beacons (101-119) select the 0x80 variant, track beacons (130-149, 200 with 1-3,
// 205-207) the 0x40 one, 205-207 without touching the panel; line-equipment beacons (50) set
// the line code and, on a line with both protections, dual equipment and its mode.
TEST(BeaconModes, VariantAndLineEquipmentBeaconsSetTheModes) {
    const struct {
        std::int32_t type, optional;
        std::uint8_t before, after, panelAfter;
        std::int32_t lineCode;
        std::uint8_t dual, accept;
    } cases[] = {{101, 0, 0x44, 0x85, 0x85, 4, 0, 0},  {119, 0, 0x02, 0x87, 0x87, 4, 0, 0},
                 {130, 0, 0x85, 0x45, 0x45, 4, 0, 0},  {149, 0, 0x02, 0x46, 0x46, 4, 0, 0},
                 {200, 2, 0x85, 0x45, 0x45, 4, 0, 0},  {200, 4, 0x85, 0x85, 0x85, 4, 0, 0},
                 {200, 0, 0x85, 0x85, 0x85, 4, 0, 0},  {205, 250045, 0x85, 0x45, 0x85, 4, 0, 0},
                 {207, -5, 0x02, 0x46, 0x02, 4, 0, 0}, {50, 7, 2, 7, 7, 7, 1, 0},
                 {50, 15, 2, 15, 15, 15, 1, 0},        {50, 6, 2, 2, 2, 6, 0, 0},
                 {50, 0x20, 2, 2, 2, 0x20, 0, 1},      {50, 0x104, 2, 2, 2, 4, 0, 1},
                 {50, 0x1FF, 2, 15, 15, 0xFF, 1, 1},   {50, -1, 2, 15, 15, 0xFF, 1, 1},
                 {50, INT32_MIN, 2, 2, 2, 0, 0, 0}};
    for (const auto& c : cases) {
        BeaconRig rig;
        rig.mode.atsMode = c.before;
        rig.mode.atsModePanel = c.before;
        rig.Send(c.type, 2, 100.0f, c.optional);
        SCOPED_TRACE(testing::Message() << c.type << " with " << c.optional);
        EXPECT_EQ(rig.mode.atsMode, c.after);
        EXPECT_EQ(rig.mode.atsModePanel, c.panelAfter);
        EXPECT_EQ(rig.mode.lineCode, c.lineCode);
        EXPECT_EQ(rig.mode.dualEquipped, c.dual);
        EXPECT_EQ(rig.mode.acceptSpotBeacons, c.accept);
        if (c.type == 50) {
            EXPECT_EQ(rig.ptc.lastBeacon.Type, 0); // not given to the pattern protection
        }
    }
    BeaconRig rig;
    rig.Send(200, 2, 100.0f, 2); // as type 132 with signal 2
    EXPECT_FLOAT_EQ(rig.ptc.limDoMax, 95.0f);
    EXPECT_EQ(rig.ptc.lastBeacon.Type, 132);
    rig.Send(200, 4, 100.0f, 9);
    EXPECT_EQ(rig.ptc.lastBeacon.Type, 132);
}

TEST(BeaconModes, TypeFifteenStartsTheSignalSpeedCheckOnAspectCodedLinesOnly) {
    const struct {
        std::int32_t lineCode;
        std::uint8_t atsMode;
        bool starts;
    } cases[] = {{0x08, 0x08, true}, {0x04, 0x08, false}, {0x08, 0x02, false}};
    for (const auto& c : cases) {
        BeaconRig rig;
        rig.mode.lineCode = c.lineCode;
        rig.mode.atsMode = c.atsMode;
        rig.ptc.sigDis = 500.0f;
        rig.Send(15, 0, 0.0f, 0);
        SCOPED_TRACE(testing::Message() << c.lineCode << "/" << int{c.atsMode});
        EXPECT_EQ(rig.mode.cabSignalMode, c.starts ? 1 : 0);
        EXPECT_EQ(rig.mode.cabSignalCode, c.starts ? 6 : 0);
        EXPECT_EQ(rig.ptc.sigDis == 100000.0f, c.starts);
        rig.Send(12, 0, 0.0f, 0); // a spot pair beacon: dropped once the check has started
        EXPECT_EQ(rig.stc.pairArmed != 0, c.atsMode == 0x08 && !c.starts);
    }
}

TEST(BeaconConversions, TrackLimitsBecomeLimitsInFourMetreAndFiveKmhSteps) {
    EXPECT_EQ(PackTrackLimit(250045), 9'062'999);
    EXPECT_EQ(PackTrackLimit(3'996'100), 20'999'999);
    EXPECT_EQ(PackTrackLimit(5'000'045), 9'999'999); // beyond 3996 m: nearer, never faster

    BeaconRig rig;
    rig.settings.offset = 5.0f;
    rig.Send(205, 1, 20.0f, 250045);
    EXPECT_EQ(rig.ptc.lastBeacon.Type, 105);
    EXPECT_EQ(rig.ptc.lastBeacon.Optional, 9'062'999);
    EXPECT_FLOAT_EQ(rig.ptc.lastBeacon.Distance, 25.0f);
    EXPECT_FLOAT_EQ(rig.ptc.limSpd, 45.0f);
    EXPECT_FLOAT_EQ(rig.ptc.limDis, 248.0f);
    EXPECT_FLOAT_EQ(rig.ptc.limLength, 3996.0f + 200.0f);

    for (const std::int32_t end : {250000, 250004}) {
        BeaconRig ending;
        ending.Send(206, 1, 20.0f, end);
        EXPECT_EQ(ending.ptc.lastBeacon.Type, 113) << end;
        EXPECT_EQ(ending.ptc.lastBeacon.Optional, end);
        EXPECT_FLOAT_EQ(ending.ptc.limDoDis, 200.01f);
    }

    BeaconRig negative;
    negative.Send(207, 1, 20.0f, -250045);
    EXPECT_EQ(negative.ptc.lastBeacon.Type, 0);
}

TEST(BeaconConversions, SignalDistancesBecomeTheFirstGroupOfATargetBeacon) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float distance, offset;
        std::int32_t packed;
    } cases[] = {{100.0f, 0.0f, 25'999'000},   {101.0f, 2.0f, 25'999'000},
                 {3996.0f, 0.0f, 999'999'000}, {5000.0f, 0.0f, 999'999'000},
                 {-3.0f, 0.0f, 999'000},       {nan, 0.0f, 999'000},
                 {1e30f, 0.0f, 999'999'000}};
    for (const auto& c : cases) {
        BeaconRig rig;
        rig.mode.atsMode = 0x14;
        rig.settings.offset = c.offset;
        rig.Send(22, 3, c.distance, 0);
        EXPECT_EQ(rig.ptc.lastBeacon.Type, 100) << c.distance;
        EXPECT_EQ(rig.ptc.lastBeacon.Optional, c.packed) << c.distance;
    }

    BeaconRig rig;
    rig.mode.atsMode = 0x14;
    rig.frame.speed = 50.0f;
    rig.Send(22, 3, 100.0f, 0);
    EXPECT_EQ(rig.ptc.lastBeacon.Signal, 3);
    rig.Send(22, 3, 100.0f, -1); // the signal's aspect is not known: no block beyond
    EXPECT_EQ(rig.ptc.lastBeacon.Signal, 0);
    EXPECT_FLOAT_EQ(rig.ptc.targetDis, 100.0f);

    BeaconRig spot;
    spot.mode.atsMode = 0x02;
    spot.Send(22, 3, 100.0f, 0);
    EXPECT_EQ(spot.ptc.lastBeacon.Type, 0);
}

TEST(BeaconConversions, PositionLimitsOnTheAspectTableVariantBecomeLimitsAhead) {
    EXPECT_EQ(PackPositionLimit(124809, 1000.0), 9'062'999);
    EXPECT_EQ(PackPositionLimit(124809, 1000.9), 9'061'999); // 247.1 m: 61 whole steps
    EXPECT_EQ(PackPositionLimit(124809, 1300.0), 9'000'999); // already passed: here
    EXPECT_EQ(PackPositionLimit(900'000'018, 0.0), 18'999'999);

    BeaconRig rig;
    rig.mode.atsMode = 0x14;
    rig.frame.speed = 50.0f;
    rig.frame.lastLocation = 1000.0;
    rig.Send(4, 0, 10.0f, 124809);
    EXPECT_EQ(rig.ptc.lastBeacon.Type, 70);
    EXPECT_FLOAT_EQ(rig.ptc.limSpd, 45.0f);
    EXPECT_FLOAT_EQ(rig.ptc.limDis, 248.0f);
    EXPECT_EQ(rig.ptc.emergencyLatch, 0); // not the immediate-stop beacon here

    rig.Send(4, 0, 10.0f, 124800);
    EXPECT_EQ(rig.ptc.lastBeacon.Type, 113);
    EXPECT_EQ(rig.ptc.lastBeacon.Optional, 124800);

    rig.Send(4, 0, 10.0f, -124809);
    EXPECT_EQ(rig.ptc.lastBeacon.Optional, 124800);
}

TEST(BeaconFeeds, DrivingAidBeaconsFillTheirRecords) {
    BeaconRig rig;
    const auto send = [&rig](std::initializer_list<std::pair<std::int32_t, std::int32_t>> beacons) {
        for (const auto& [type, optional] : beacons)
            rig.Send(type, 0, 0.0f, optional);
    };
    // Voltages out of their range (the spread not below the nominal voltage) are refused.
    send({{55, 1500}, {55, 0}, {56, 1500}, {56, -1}, {57, 10}, {57, -1}});
    EXPECT_FLOAT_EQ(rig.voltage.nominalVoltage, 1500.0f);
    EXPECT_FLOAT_EQ(rig.voltage.voltageSpread, 30.0f);
    EXPECT_EQ(rig.voltage.voltageFluctuation, 4);
    send({{56, 1499}, {57, 9}});
    EXPECT_FLOAT_EQ(rig.voltage.voltageSpread, 1499.0f);
    EXPECT_EQ(rig.voltage.voltageFluctuation, 9);

    rig.Send(71, 0, 0.0f, 3'125'050); // standing: ignored
    EXPECT_EQ(rig.stationApproach.stationNumber, 0);
    rig.frame.speed = 30.0f;
    rig.Send(71, 0, 0.0f, 3'125'050);
    EXPECT_EQ(rig.stationApproach.stationNumber, 3);
    EXPECT_FLOAT_EQ(rig.stationApproach.lampDistance, 500.0f);
    EXPECT_FLOAT_EQ(rig.stationApproach.endDistance, 700.0f);

    rig.Send(80, 0, 0.0f, -12345);
    EXPECT_EQ(rig.frame.panelLocation, -12345.0);

    send({{245, 4}, {247, -3}, {248, 7}}); // no station display fitted
    rig.settings.carNumber = 1;
    send({{249, INT32_MIN}});
    EXPECT_EQ(rig.display.period[0], 4);
    EXPECT_EQ(rig.display.period[2], -3);
    EXPECT_EQ(rig.display.period[3], 0);
    EXPECT_EQ(rig.display.period[4], -INT32_MAX);
    rig.settings.station = 2;
    rig.Send(248, 0, 0.0f, 7);
    EXPECT_EQ(rig.display.period[3], 7);

    for (std::int32_t type = 250; type <= 255; ++type)
        rig.Send(type, 0, 0.0f, type * 10);
    EXPECT_EQ(rig.beaconValues.value[0], 2500);
    EXPECT_EQ(rig.beaconValues.value[5], 2550);
}

TEST(BeaconFeeds, StopBeaconsReachTascOnlyWhenItCanUseThem) {
    const struct {
        bool installed, switchedOn;
        float speed;
        std::int32_t type, optional;
        float stopDistance;
    } cases[] = {{1, 1, 40.0f, 120, 300, 300.0f}, {1, 1, 40.0f, 121, 30035, 300.35f},
                 {1, 1, 0.0f, 120, 300, 0.0f},    {1, 1, -5.0f, 120, 300, 0.0f},
                 {1, 0, 40.0f, 120, 300, 0.0f},   {0, 1, 40.0f, 121, 300, 0.0f},
                 {1, 1, 40.0f, 121, -250, 0.0f}}; // no stop point behind the train
    for (const auto& c : cases) {
        BeaconRig rig;
        rig.tasc.installed = c.installed;
        rig.tasc.switchedOn = c.switchedOn;
        rig.frame.speed = c.speed;
        rig.Send(c.type, 0, 0.0f, c.optional);
        EXPECT_FLOAT_EQ(rig.tasc.stopDistance, c.stopDistance) << c.type << " " << c.optional;
        EXPECT_EQ(rig.tasc.targetSet, c.stopDistance != 0.0f);
    }
}

TEST(BeaconFeeds, PlatformDoorBeaconsMarkTheArrivalAtAPlatformWithDoors) {
    using namespace PlatformDoorBits;
    BeaconRig rig;
    const auto flag = [&rig](std::uint8_t bit) { return (rig.platformDoors.flags & bit) != 0; };
    rig.frame.speed = 30.0f;
    rig.Send(122, 0, 0.0f, 2); // no doors fitted
    EXPECT_FALSE(flag(StationArmed));

    rig.platformDoors.flags = DoorsFitted | DoorsLinked;
    rig.Send(122, 0, 0.0f, 1); // arrival without an announced platform
    EXPECT_FALSE(flag(AtPlatform));
    rig.Send(122, 0, 0.0f, 2);
    rig.Send(122, 0, 0.0f, 1);
    EXPECT_TRUE(flag(StationArmed));
    EXPECT_TRUE(flag(AtPlatform));
    rig.frame.speed = -3.0f; // backing over the arrival beacon
    rig.Send(122, 0, 0.0f, 1);
    EXPECT_FALSE(flag(AtPlatform));
    rig.Send(122, 0, 0.0f, 3); // and back over the departure beacon
    EXPECT_TRUE(flag(AtPlatform));
    rig.frame.speed = 30.0f;
    rig.Send(122, 0, 0.0f, 3);
    EXPECT_FALSE(flag(AtPlatform));
    EXPECT_EQ(rig.platformDoors.flags & (DoorsFitted | DoorsLinked), DoorsFitted | DoorsLinked);
}

TEST(BeaconFeeds, StationBeaconsCallAnnouncementsAndNameTheStation) {
    BeaconRig rig;
    rig.Send(8, 0, 0.0f, 7);
    EXPECT_TRUE(rig.stopStation);
    EXPECT_EQ(rig.supervision.announcement[2], kSoundPlayOnce);
    EXPECT_NE(rig.supervision.announcement[0], kSoundPlayOnce);

    BeaconRig negative;
    negative.Send(8, 4, 0.0f, -3);
    EXPECT_FALSE(negative.stopStation);
    for (const std::int32_t command : negative.supervision.announcement)
        EXPECT_NE(command, kSoundPlayOnce);

    rig.Send(9, 0, 0.0f, 4711);
    EXPECT_EQ(rig.stationId, 4711);
}

TEST(BeaconFeeds, EveryBeaconOfAnyValueSetsTheAspectAndNothingBreaks) {
    const float inf = std::numeric_limits<float>::infinity();
    const float distances[] = {0.0f, 1e30f, -inf, std::numeric_limits<float>::quiet_NaN()};
    const std::int32_t values[] = {INT32_MIN, -1, 0, 1, 10000, 20003, INT32_MAX};
    for (const std::int32_t lineCode : {0x04, 0x1D, 133}) {
        BeaconRig rig;
        rig.OnPatternLine(lineCode, 80.0f);
        rig.mode.acceptSpotBeacons = 1;
        std::int32_t signal = 0;
        for (std::int32_t type = -2; type <= 260; ++type)
            for (const std::int32_t value : values)
                for (const float distance : distances) {
                    rig.Send(type, ++signal % 7 - 1, distance, value);
                    ASSERT_EQ(rig.mode.currentAspect, signal % 7 - 1);
                }
        for (const std::int32_t type : {INT32_MIN, INT32_MAX})
            rig.Send(type, INT32_MIN, inf, INT32_MAX);
        EXPECT_EQ(rig.mode.currentAspect, INT32_MIN);
        EXPECT_FALSE(std::isnan(rig.frame.panelLocation));
    }
}

} // namespace
} // namespace velqa3
