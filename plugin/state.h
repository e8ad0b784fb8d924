// The plug-in's state, grouped by the part of the train that owns it, and the frames the two
// protections read, built from it.
#pragma once

#include "ats_pt/ptc.h"
#include "ats_st/stc.h"
#include "host/driver_inputs.h"
#include "host/frame.h"
#include "host/mode.h"
#include "vehicle/brake_cylinder.h"
#include "vehicle/cab_keys.h"
#include "vehicle/line_voltage.h"
#include "vehicle/output_slots.h"
#include "vehicle/panel.h"
#include "vehicle/panel_channels.h"
#include "vehicle/platform_doors.h"
#include "vehicle/sound.h"
#include "vehicle/station_approach.h"
#include "vehicle/supervision.h"
#include "vehicle/tasc.h"

#include <cstdint>

namespace velqa3 {

// The pattern and spot protections and which of them is in force.
struct Protection {
    ModeGlobals mode;
    PTC ptc;
    STC stc;
};

// The driving aids and what the route told them.
struct Aids {
    Supervision supervision;
    TascState tasc;
    PlatformDoorState platformDoors;
    StationApproach stationApproach;
    LineVoltageState voltage;
    BrakeCylinderDisplay brakeCylinder;
    AtsStartupTest startupTest;
    bool stopStation = false;   // a stop beacon announced the next station as a stop
    std::int32_t stationId = 0; // of the station ahead, from the latest beacon of type 9
};

// The driver's side: handles and keys, cab switches, and what the panel and sounds show.
struct CabState {
    DriverInputs inputs;
    CabKeys keys;
    DisplayChannels display;
    PanelTimers panelTimers;
    SlotRoutes panelRoutes; // where the panel's slots land, from the panel remap
    BeaconValues beaconValues;
    SoundState sound;
};

inline PtcFrame PtcFrameOf(const FrameValues& frame, const DriverInputs& inputs,
                           const ModeGlobals& mode) {
    return {.speed = frame.speed,
            .frameMs = frame.interval,
            .powerNotch = inputs.powerNotch,
            .brakeNotch = inputs.brakeNotch,
            .reverser = inputs.reverser,
            .aspect = mode.currentAspect,
            .atsMode = mode.atsMode,
            .cabSwitches = mode.cabSwitches};
}

inline StcFrame StcFrameOf(const FrameValues& frame) {
    return {.speed = frame.speed, .clock = frame.clock, .frameMs = frame.interval};
}

} // namespace velqa3
