// The beacon table that the guide and velqa3-sim print from: every type the router acts on has
// a row and every row names types it acts on; and the mode combinations the route authors'
// guide warns about behave as it says.
#include "host/beacon_types.h"
#include "tests/support/beacon_rig.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <vector>

namespace velqa3 {
namespace {

using test::BeaconRig;

std::vector<unsigned char> Bytes(const Plugin& plugin) {
    std::vector<unsigned char> bytes(sizeof plugin);
    std::memcpy(bytes.data(), static_cast<const void*>(&plugin), sizeof plugin);
    return bytes;
}

// Cabs and lines in which between them every routed beacon has something to change.
const std::vector<std::function<void(BeaconRig&)>>& Situations() {
    static const std::vector<std::function<void(BeaconRig&)>> situations = {
        // Spot protection on a line without pattern protection, a timing pair started.
        [](BeaconRig& rig) {
            rig.mode.lineCode = 2;
            rig.mode.atsMode = rig.mode.atsModePanel = 2;
            rig.frame.speed = 60.0f;
            rig.stc.Beacon(rig.StcView(), 10, 0, 0);
        },
        // About to enter pattern territory.
        [](BeaconRig& rig) { rig.OnPatternLine(); },
        // Inside it, held, on a line whose pattern protection takes the spot types.
        [](BeaconRig& rig) {
            rig.OnPatternLine(4 | 0x20);
            rig.mode.atsMode = rig.mode.atsModePanel = 4;
            rig.mode.acceptSpotBeacons = 1;
            rig.ptc.patternHold = 1;
        },
        [](BeaconRig& rig) {
            rig.OnPatternLine(4 | 0x20);
            rig.mode.acceptSpotBeacons = 1;
        },
        // The aspect-table variant on an aspect-coded line, with the spot pairs.
        [](BeaconRig& rig) {
            rig.OnPatternLine(0x08);
            rig.mode.atsMode = rig.mode.atsModePanel = 0x1C;
            rig.stc.Beacon(rig.StcView(), 10, 0, 0);
        },
        // Every aid that waits for a beacon fitted and on.
        [](BeaconRig& rig) {
            rig.frame.speed = 60.0f;
            rig.tasc.installed = true;
            rig.tasc.switchedOn = true;
            rig.platformDoors.flags |= PlatformDoorBits::DoorsFitted;
            rig.settings.station = 1;
            rig.settings.carNumber = 1;
        },
    };
    return situations;
}

// Whether a beacon of this type changes anything at all in one of the situations, for one of
// a few values that each type's own rules take.
bool Acts(std::int32_t type) {
    constexpr std::int32_t kOptionals[] = {0, 1, 2, 3, 10, 450, 20003, 50075, 123409, 250045};
    for (const auto& situation : Situations())
        for (const std::int32_t optional : kOptionals) {
            BeaconRig rig;
            situation(rig);
            // The protections keep a copy of the frame a beacon came with; both take this
            // frame now, so that only what a beacon decides can differ.
            rig.stc.Beacon(rig.StcView(), 2, 0, 0);
            rig.ptc.BeaconIn(rig.PtcView(), 299, 0, 0.0f, 0, false);
            const std::vector<unsigned char> before = Bytes(rig.plugin);
            rig.Send(type, 0, 30.0f, optional);
            if (Bytes(rig.plugin) != before) return true;
        }
    return false;
}

TEST(BeaconTable, NamesExactlyTheTypesTheRouterActsOn) {
    std::set<std::int32_t> listed;
    for (const BeaconTypeInfo& row : kBeaconTypes)
        for (std::int32_t type = row.from; type <= row.to; ++type)
            listed.insert(type);
    std::set<std::int32_t> acting;
    for (std::int32_t type = 0; type < 300; ++type)
        if (Acts(type)) acting.insert(type);
    for (const std::int32_t type : acting)
        EXPECT_TRUE(listed.count(type)) << "type " << type << " acts but has no row";
    for (const std::int32_t type : listed)
        EXPECT_TRUE(acting.count(type)) << "type " << type << " has a row but changes nothing";
}

TEST(BeaconTable, EveryRowSaysWhatItDoesInBothLanguages) {
    for (const BeaconTypeInfo& row : kBeaconTypes) {
        EXPECT_LE(row.from, row.to);
        for (const char* text : {row.label, row.what, row.optional, row.whatJa, row.optionalJa})
            EXPECT_TRUE(text != nullptr && text[0] != '\0') << "type " << row.from;
    }
}

// A train 300 m from a 45 km/h limit at 90 km/h, after the beacons given: whether the pattern
// protection brakes within ten seconds of running on.
bool BrakesForTheLimit(std::int32_t lineCode, std::initializer_list<BeaconData> beacons) {
    BeaconRig rig;
    rig.OnPatternLine(lineCode, 90.0f);
    rig.mode.atsStarted = 1;
    for (const BeaconData& beacon : beacons)
        rig.Send(beacon);
    rig.Send(70, 4, 0.0f, 9 * 1'000'000 + 75 * 1000 + 100); // 45 km/h, 300 m ahead
    rig.frame.interval = 100;
    for (int frame = 0; frame < 100; ++frame) {
        const PtcModes modes = rig.ptc.Update(rig.PtcView());
        rig.mode.atsMode = modes.atsMode;
        if (rig.ptc.emergencyLatch != 0 || rig.ptc.serviceLatch != 0) return true;
    }
    return false;
}

TEST(BeaconModes, OnlySomeVariantsEnforceTheLimitTheyShow) {
    const BeaconData entry{60, 4, 1000.0f, 0};
    const BeaconData trackLimit{205, 0, 0.0f, 2000 * 1000 + 100};
    const BeaconData targetVariant{101, 4, 0.0f, 0};
    // The plain pattern line brakes; a track-variant beacon on it takes the checker away, and a
    // target-variant beacon after that brings one back.
    EXPECT_TRUE(BrakesForTheLimit(4, {entry}));
    EXPECT_FALSE(BrakesForTheLimit(4, {entry, trackLimit}));
    EXPECT_TRUE(BrakesForTheLimit(4, {entry, trackLimit, targetVariant}));
    EXPECT_TRUE(BrakesForTheLimit(4, {entry, targetVariant, trackLimit}));
    // A target-variant beacon before the entry, in ATS-ST, leaves no checker either.
    EXPECT_FALSE(BrakesForTheLimit(4, {targetVariant}));
    // The line codes that name a variant on entry: 133 has a checker, 71 has none.
    EXPECT_TRUE(BrakesForTheLimit(133, {entry}));
    EXPECT_FALSE(BrakesForTheLimit(71, {entry}));
    // Both protections at once (line code 7) brake; with the spot pairs (15) only limits count.
    EXPECT_TRUE(BrakesForTheLimit(4, {{50, 0, 0.0f, 7}, entry}));
    EXPECT_TRUE(BrakesForTheLimit(4, {{50, 0, 0.0f, 15}, entry}));
}

} // namespace
} // namespace velqa3
