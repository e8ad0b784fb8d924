#include "plugin/dispatcher.h"

#include "vehicle/aid_beacons.h"

#include <cmath>
#include <cstdint>

namespace velqa3 {

namespace {

constexpr std::uint8_t kSpot = AtsModeBits::Spot;
constexpr std::uint8_t kPattern = AtsModeBits::Pattern;
constexpr std::uint8_t kSpotPairs = AtsModeBits::SpotTypes12And13;
constexpr std::uint8_t kAspectTable = AtsModeBits::PatternAspectTable;
constexpr std::uint8_t kTrackVariant = 0x40;  // types 130-149, 200, 205-207
constexpr std::uint8_t kTargetVariant = 0x80; // types 101-119
constexpr std::uint8_t kSeveralVariants = 0x01;

namespace CabSwitch {
constexpr std::uint8_t ProtectionPower = 0x01;
constexpr std::uint8_t ChangeOverInterlock = 0x02;
constexpr std::uint8_t PatternCutOut = 0x10;
} // namespace CabSwitch

// What a beacon may read or change, for the routes below.
struct Targets {
    const Settings& settings;
    FrameValues& frame;
    Protection& protection;
    Aids& aids;
    CabState& cab;
};

PtcFrame PtcIn(const Targets& to) {
    return PtcFrameOf(to.frame, to.cab.inputs, to.protection.mode);
}

// The longest distance a 4 m group holds: 999 steps.
constexpr std::int32_t kMaxGroup = 999;
constexpr std::int32_t kDc25BlinkMs = 2000;

std::uint8_t Without(std::uint8_t bits, std::uint8_t clear) {
    return static_cast<std::uint8_t>(bits & ~clear);
}

void SetMode(ModeGlobals& mode, std::uint8_t atsMode) {
    mode.atsMode = atsMode;
    mode.atsModePanel = atsMode;
}

// A distance in whole 4 m steps as a packed group holds it. Beyond the group's reach the
// farthest step is taken, which brings the point nearer, never further away; a point behind
// the train, or a distance that is not a number, is here.
std::int32_t FourMetreSteps(double metres) {
    if (!(metres > 0.0)) return 0;
    const double steps = std::trunc(metres) / 4.0;
    return steps >= kMaxGroup ? kMaxGroup : static_cast<std::int32_t>(steps);
}

float WithOffset(float distance, const Settings& settings) {
    return distance + settings.offset;
}

void SpotPairBeacon(const BeaconData& b, const Targets& to) {
    const ModeGlobals& mode = to.protection.mode;
    if (mode.dualEquipped == 0) {
        to.protection.stc.Beacon(StcFrameOf(to.frame), b.Type, b.Signal, b.Optional);
        return;
    }
    if ((mode.atsMode & kPattern) != 0 && (b.Optional >= 10000 || b.Type == 13))
        to.protection.stc.Beacon(StcFrameOf(to.frame), b.Type, b.Signal, b.Optional);
    to.protection.ptc.ClearSignalTarget();
}

void PositionLimitBeacon(const BeaconData& b, const Targets& to) {
    if (b.Optional < 0) return; // no track position behind 0, no limit
    if (b.Optional % 100 == 0) {
        to.protection.ptc.BeaconIn(PtcIn(to), 113, b.Signal, b.Distance, b.Optional, false);
        return;
    }
    to.protection.ptc.BeaconIn(PtcIn(to), 70, b.Signal, b.Distance,
                               PackPositionLimit(b.Optional, to.frame.lastLocation), false);
}

void LineEquipmentBeacon(std::int32_t optional, ModeGlobals& mode) {
    mode.lineCode = optional & 0xFF;
    constexpr std::int32_t kBothProtections = 0x07;
    if ((optional & kBothProtections) == kBothProtections) {
        mode.dualEquipped = 1;
        SetMode(mode, (optional & 0x08) != 0 ? kAtsDualSpotPairs : kAtsDual);
    }
    if ((optional & 0x100) != 0 || (optional & 0x20) != 0) mode.acceptSpotBeacons = 1;
}

bool MayEnterPatternTerritory(const Targets& to) {
    const std::uint8_t cab = to.protection.mode.cabSwitches;
    return (to.protection.mode.lineCode & 0x04) != 0 && (cab & CabSwitch::ProtectionPower) != 0 &&
           (cab & CabSwitch::PatternCutOut) == 0 &&
           (cab & ChangeOverSwitch::Mask) != ChangeOverSwitch::PatternOnly &&
           to.cab.inputs.masterKeyPosition == 2;
}

void PatternTerritoryBeacon(const BeaconData& b, const Targets& to) {
    if (!MayEnterPatternTerritory(to)) return;
    ModeGlobals& mode = to.protection.mode;
    const bool dual = mode.dualEquipped != 0;
    if ((mode.atsMode & kPattern) == 0) {
        to.protection.ptc.bellOut = 0;
        // With the change-over interlock set the panel shows the entry while the protection
        // itself waits for the driver to change over.
        if ((mode.cabSwitches & CabSwitch::ChangeOverInterlock) == 0) {
            to.protection.ptc.StartPattern(PtcIn(to));
            if (mode.lineCode == 133) {
                mode.atsMode = kAtsTargetVariant;
            } else if (mode.lineCode == 71) {
                mode.atsMode = kAtsTrackVariant;
            } else {
                mode.atsMode |= kPattern;
                if (!dual) mode.atsMode = Without(mode.atsMode, kSpot);
            }
        }
        mode.atsModePanel |= kPattern;
        if (!dual) mode.atsModePanel = Without(mode.atsModePanel, kSpot);
    }
    to.protection.ptc.BeaconIn(PtcIn(to), b.Type, b.Signal, b.Distance, b.Optional,
                               mode.acceptSpotBeacons != 0);
}

void EndOfPatternTerritory(const Targets& to) {
    to.protection.ptc.bellOut = 1;
    to.protection.ptc.Reset(PtcIn(to));
    if (to.settings.dc25Mode == 2) to.cab.panelTimers.dc25BlinkTimer = kDc25BlinkMs;
    SetMode(to.protection.mode, Without(to.protection.mode.atsMode | kSpot, kPattern));
}

std::uint8_t TrackVariant(std::uint8_t atsMode) {
    return Without(atsMode | kTrackVariant | kPattern, kTargetVariant);
}

void TrackLimitBeacon(const BeaconData& b, const Targets& to) {
    to.protection.mode.atsMode = TrackVariant(to.protection.mode.atsMode);
    if (b.Optional < 0) return; // no distance ahead, no speed: nothing to limit
    const float distance = WithOffset(b.Distance, to.settings);
    if ((b.Optional % 1000) / 5 == 0)
        to.protection.ptc.BeaconIn(PtcIn(to), 113, b.Signal, distance, b.Optional, false);
    else
        to.protection.ptc.BeaconIn(PtcIn(to), 105, b.Signal, distance, PackTrackLimit(b.Optional),
                                   false);
}

void DisplayPeriodBeacon(const BeaconData& b, const Targets& to) {
    const int channel = b.Type - 245;
    if (channel == kStationChannel && to.settings.station == 0) return;
    if (channel == kCarNumberChannel && to.settings.carNumber == 0) return;
    // The panel steps through |period| frames, so the one period without a magnitude is
    // brought to the nearest that has one.
    to.cab.display.period[channel] = b.Optional == INT32_MIN ? -INT32_MAX : b.Optional;
}

// The table of beacon types, tested in this order; the first row whose type and condition
// hold takes the beacon.
void Route(const BeaconData& b, const Targets& to) {
    ModeGlobals& mode = to.protection.mode;
    PTC& ptc = to.protection.ptc;
    const std::int32_t t = b.Type;
    const bool cabSignal = mode.cabSignalMode != 0;

    if (t == 3 && mode.acceptSpotBeacons != 0) {
        if (ptc.patternHold == 0)
            ptc.BeaconIn(PtcIn(to), 3, b.Signal, b.Distance, b.Optional, true);
        return;
    }
    if (t == 4 && (mode.atsMode & kAspectTable) != 0) {
        PositionLimitBeacon(b, to);
        return;
    }
    if (t == 4 && mode.acceptSpotBeacons != 0 && ptc.patternHold == 0) {
        ptc.BeaconIn(PtcIn(to), 4, b.Signal, b.Distance, b.Optional, true);
        return;
    }
    if (t >= 0 && t <= 11) {
        if ((mode.atsMode & kSpot) != 0 && !cabSignal)
            to.protection.stc.Beacon(StcFrameOf(to.frame), t, b.Signal, b.Optional);
        return;
    }
    if (t == 12 || t == 13) {
        if ((mode.atsMode & kSpotPairs) != 0 && !cabSignal) SpotPairBeacon(b, to);
        return;
    }
    if (t == 15) {
        if ((mode.lineCode & 0x08) != 0 && !cabSignal && (mode.atsMode & kSpot) == 0) {
            mode.cabSignalMode = 1;
            mode.cabSignalCode = 6;
            ptc.Reset(PtcIn(to));
        }
        return;
    }
    if (t == 22) {
        if ((mode.atsMode & kAspectTable) != 0)
            ptc.BeaconIn(PtcIn(to), 100, b.Optional == -1 ? 0 : b.Signal, b.Distance,
                         PackSignalDistance(WithOffset(b.Distance, to.settings)), false);
        return;
    }
    if (t == 50) {
        LineEquipmentBeacon(b.Optional, mode);
        return;
    }
    if (t >= 55 && t <= 57) {
        LineVoltageBeacon(to.aids.voltage, t, b.Optional);
        return;
    }
    if (t == 71) {
        StationApproachBeacon(to.aids.stationApproach, b.Optional, to.frame.speed);
        return;
    }
    if (t == 80) {
        to.frame.panelLocation = b.Optional;
        return;
    }
    if (t >= 51 && t <= 89) {
        PatternTerritoryBeacon(b, to);
        return;
    }
    if (t == 90) {
        EndOfPatternTerritory(to);
        return;
    }
    if (t >= 101 && t <= 119) {
        ptc.BeaconIn(PtcIn(to), t, b.Signal, b.Distance, b.Optional, false);
        SetMode(mode, Without(mode.atsMode | kTargetVariant | kPattern | kSeveralVariants,
                              kTrackVariant));
        return;
    }
    if (t == 120 || t == 121) {
        TascStopBeacon(to.aids.tasc, t, b.Optional, to.frame.speed);
        return;
    }
    if (t == 122) {
        PlatformDoorBeacon(to.aids.platformDoors, b.Optional, to.frame.speed);
        return;
    }
    if (t >= 130 && t <= 149) {
        ptc.BeaconIn(PtcIn(to), t, b.Signal, WithOffset(b.Distance, to.settings), b.Optional,
                     false);
        SetMode(mode, TrackVariant(mode.atsMode));
        return;
    }
    if (t == 200) {
        if (b.Optional < 1 || b.Optional > 3) return;
        ptc.BeaconIn(PtcIn(to), 130 + b.Optional, b.Signal, WithOffset(b.Distance, to.settings),
                     b.Optional, false);
        SetMode(mode, TrackVariant(mode.atsMode));
        return;
    }
    if (t >= 205 && t <= 207) {
        TrackLimitBeacon(b, to);
        return;
    }
    if (t >= 245 && t <= 249) {
        DisplayPeriodBeacon(b, to);
        return;
    }
    if (t >= kFirstBeaconValueType && t < kFirstBeaconValueType + kBeaconValues) {
        to.cab.beaconValues.value[t - kFirstBeaconValueType] = b.Optional;
        return;
    }
}

} // namespace

std::int32_t PackSignalDistance(float distance) {
    return FourMetreSteps(distance) * 1'000'000 + kMaxGroup * 1000;
}

std::int32_t PackTrackLimit(std::int32_t optional) {
    if (optional < 0) optional = 0;
    const std::int32_t steps = optional / 4000 >= kMaxGroup ? kMaxGroup : optional / 4000;
    const std::int32_t speedSteps = optional % 1000 / 5;
    return speedSteps * 1'000'000 + steps * 1000 + kMaxGroup;
}

std::int32_t PackPositionLimit(std::int32_t optional, double location) {
    const std::int32_t speedSteps = optional % 100;
    const double ahead = static_cast<double>(optional / 100) - location;
    return speedSteps * 1'000'000 + FourMetreSteps(ahead) * 1000 + kMaxGroup;
}

void DispatchBeacon(const BeaconData& beacon, const Settings& settings, FrameValues& frame,
                    Protection& protection, Aids& aids, CabState& cab) {
    const Targets to{settings, frame, protection, aids, cab};
    Route(beacon, to);
    if (beacon.Type == 8)
        StopStationBeacon(to.aids.stopStation, to.aids.supervision.announcement, beacon.Optional);
    if (beacon.Type == 9) to.aids.stationId = beacon.Optional;
    to.protection.mode.currentAspect = beacon.Signal;
}

} // namespace velqa3
