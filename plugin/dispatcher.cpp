#include "plugin/dispatcher.h"

#include "host/mode_transitions.h"
#include "vehicle/line_voltage.h"
#include "vehicle/sound.h"
#include "vehicle/station_approach.h"
#include "vehicle/tasc.h"

#include <cmath>
#include <cstdint>

namespace velqa3 {

namespace {

using namespace AtsModeBits;

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
    if (HasModeBit(mode.atsMode, Pattern) && (b.Optional >= 10000 || b.Type == 13))
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

void PatternTerritoryBeacon(const BeaconData& b, const Targets& to) {
    ModeGlobals& mode = to.protection.mode;
    if (!MayEnterPatternTerritory(mode, to.cab.inputs.masterKeyPosition == 2)) return;
    const PatternEntry entry = EnterPatternTerritory(mode);
    if (entry != PatternEntry::AlreadyIn) to.protection.ptc.bellOut = 0;
    if (entry == PatternEntry::Started) to.protection.ptc.StartPattern(PtcIn(to));
    to.protection.ptc.BeaconIn(PtcIn(to), b.Type, b.Signal, b.Distance, b.Optional,
                               mode.acceptSpotBeacons != 0);
}

void EndOfPatternTerritory(const Targets& to) {
    to.protection.ptc.bellOut = 1;
    to.protection.ptc.Reset(PtcIn(to));
    if (to.settings.dc25Mode == 2) to.cab.panelTimers.dc25BlinkTimer = kDc25BlinkMs;
    LeavePatternTerritory(to.protection.mode);
}

void TrackLimitBeacon(const BeaconData& b, const Targets& to) {
    SelectTrackVariant(to.protection.mode, PanelCopy::Keep);
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
    if (t == 4 && HasModeBit(mode.atsMode, PatternAspectTable)) {
        PositionLimitBeacon(b, to);
        return;
    }
    if (t == 4 && mode.acceptSpotBeacons != 0 && ptc.patternHold == 0) {
        ptc.BeaconIn(PtcIn(to), 4, b.Signal, b.Distance, b.Optional, true);
        return;
    }
    if (t >= 0 && t <= 11) {
        if (HasModeBit(mode.atsMode, Spot) && !cabSignal)
            to.protection.stc.Beacon(StcFrameOf(to.frame), t, b.Signal, b.Optional);
        return;
    }
    if (t == 12 || t == 13) {
        if (HasModeBit(mode.atsMode, SpotTypes12And13) && !cabSignal) SpotPairBeacon(b, to);
        return;
    }
    if (t == 15) {
        if (StartCabSignalCheck(mode)) ptc.Reset(PtcIn(to));
        return;
    }
    if (t == 22) {
        if (HasModeBit(mode.atsMode, PatternAspectTable))
            ptc.BeaconIn(PtcIn(to), 100, b.Optional == -1 ? 0 : b.Signal, b.Distance,
                         PackSignalDistance(WithOffset(b.Distance, to.settings)), false);
        return;
    }
    if (t == 50) {
        TakeLineEquipment(mode, b.Optional);
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
        SelectTargetVariant(mode);
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
        SelectTrackVariant(mode, PanelCopy::Show);
        return;
    }
    if (t == 200) {
        if (b.Optional < 1 || b.Optional > 3) return;
        ptc.BeaconIn(PtcIn(to), 130 + b.Optional, b.Signal, WithOffset(b.Distance, to.settings),
                     b.Optional, false);
        SelectTrackVariant(mode, PanelCopy::Show);
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
