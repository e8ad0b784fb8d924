// The beacon dispatcher: decides by a beacon's type, and by the protection mode in force,
// whether it goes to the spot protection, to the pattern protection, changes the mode, or
// feeds a driving aid or the panel.
#pragma once

#include "ats_pt/ptc.h"
#include "ats_st/stc.h"
#include "config/settings.h"
#include "host/driver_inputs.h"
#include "host/frame.h"
#include "host/host.h"
#include "host/mode.h"
#include "vehicle/beacon_values.h"
#include "vehicle/line_voltage.h"
#include "vehicle/panel_channels.h"
#include "vehicle/panel_timers.h"
#include "vehicle/platform_doors.h"
#include "vehicle/station_approach.h"
#include "vehicle/supervision.h"
#include "vehicle/tasc.h"

namespace velqa3 {

// Everything a beacon may read or change. The dispatcher holds no state of its own.
struct BeaconTargets {
    ModeGlobals& mode;
    PTC& ptc;
    STC& stc;
    const Settings& settings;
    const DriverInputs& inputs; // the master-controller key position
    FrameValues& frame;         // current speed and location; type 80 sets the panel location
    TascState& tasc;
    PlatformDoorState& platformDoors;
    LineVoltageState& voltage;
    Supervision& supervision; // the announcement channels
    StationApproach& stationApproach;
    DisplayChannels& display;
    PanelTimers& panelTimers;
    BeaconValues& beaconValues;
    bool& stopStation;
    std::int32_t& stationId; // of the station ahead, for the stop datagram
};

void DispatchBeacon(const BeaconData& beacon, const BeaconTargets& to);

// The packed forms some beacons are turned into before the pattern protection takes them.
// Each gives the Optional of the converted beacon.

// Type 22: the distance to the signal, d + Offset, as the first distance group of a type-100
// beacon, the other two groups as far as they reach.
std::int32_t PackSignalDistance(float distance);
// Types 205 to 207 with a limit speed: Optional = distance in m × 1000 + speed in km/h, into
// the type-105 limit form (speed in 5 km/h, distance in 4 m, the longest length).
std::int32_t PackTrackLimit(std::int32_t optional);
// Type 4 on the aspect-table variant with a limit speed: Optional = track position of the
// limit's start in m × 100 + speed in 5 km/h, into the type-70 limit form.
std::int32_t PackPositionLimit(std::int32_t optional, double location);

} // namespace velqa3
