// A fresh plug-in with a vehicle reported, its parts named as a beacon test reaches them; beacons
// go in through the same call the host's SetBeaconData makes.
#pragma once

#include "plugin/plugin.h"

#include <cstdint>
#include <memory>

namespace velqa3::test {

struct BeaconRig {
    std::unique_ptr<Plugin> owner = std::make_unique<Plugin>();
    Plugin& plugin = *owner;
    Settings& settings = plugin.settings;
    FrameValues& frame = plugin.frame;
    ModeGlobals& mode = plugin.protection.mode;
    PTC& ptc = plugin.protection.ptc;
    STC& stc = plugin.protection.stc;
    DriverInputs& inputs = plugin.cab.inputs;
    TascState& tasc = plugin.aids.tasc;
    PlatformDoorState& platformDoors = plugin.aids.platformDoors;
    LineVoltageState& voltage = plugin.aids.voltage;
    Supervision& supervision = plugin.aids.supervision;
    StationApproach& stationApproach = plugin.aids.stationApproach;
    DisplayChannels& display = plugin.cab.display;
    PanelTimers& panelTimers = plugin.cab.panelTimers;
    BeaconValues& beaconValues = plugin.cab.beaconValues;
    bool& stopStation = plugin.aids.stopStation;
    std::int32_t& stationId = plugin.aids.stationId;

    // Service notches 8 (emergency 9), 10 cars of 20 m; the spot protection started silent.
    BeaconRig() {
        plugin.SetVehicleSpec(VehicleSpec{8, 5, 2, 6, 10});
        stc.Restart(true);
    }
    BeaconRig(const BeaconRig&) = delete;
    BeaconRig& operator=(const BeaconRig&) = delete;

    PtcFrame PtcView() const { return plugin.PtcView(); }
    StcFrame StcView() const { return StcFrameOf(frame); }
    void Send(const BeaconData& beacon) { plugin.SetBeaconData(beacon); }
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
