// Everything a beacon can reach, freshly built and bound as the plug-in binds it.
#pragma once

#include "plugin/dispatcher.h"

#include <cstdint>

namespace velqa3::test {

struct BeaconRig {
    Settings settings;
    ModeGlobals mode;
    DriverInputs inputs;
    FrameValues frame;
    PTC ptc;
    STC stc;
    TascState tasc;
    PlatformDoorState platformDoors;
    LineVoltageState voltage;
    Supervision supervision;
    StationApproach stationApproach;
    DisplayChannels display;
    PanelTimers panelTimers;
    BeaconValues beaconValues;
    bool stopStation = false;
    std::int32_t stationId = 0;

    BeaconRig() {
        ptc.Bind(&frame.speed, &frame.interval, &inputs.powerNotch, &inputs.brakeNotch,
                 &inputs.reverser, &mode.atsMode, &mode.cabSwitches, &mode.currentAspect);
        stc.Bind(frame.speed, frame.clock, frame.interval);
        ptc.ebNotch = 9;
        ptc.trainLength = 200.0f;
        stc.Restart(true);
        ptc.Reset();
    }
    BeaconRig(const BeaconRig&) = delete;
    BeaconRig& operator=(const BeaconRig&) = delete;

    BeaconTargets Targets() {
        return {mode,        ptc,           stc,         settings,    inputs,          frame,
                tasc,        platformDoors, voltage,     supervision, stationApproach, display,
                panelTimers, beaconValues,  stopStation, stationId};
    }
    void Send(const BeaconData& beacon) { DispatchBeacon(beacon, Targets()); }
    void Send(std::int32_t type, std::int32_t signal, float distance, std::int32_t optional) {
        Send(BeaconData{type, signal, distance, optional});
    }
    // A line with pattern protection, the cab ready to enter it, the train moving.
    void OnPatternLine(std::int32_t lineCode = 4, float speed = 60.0f) {
        mode.lineCode = lineCode;
        mode.atsMode = 2;
        mode.atsModePanel = 2;
        mode.cabSwitches = 0x81;
        inputs.masterKeyPosition = 2;
        frame.speed = speed;
    }
};

} // namespace velqa3::test
