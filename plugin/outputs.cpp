// Steps 16 and 17 of a frame: the panel and the sounds, from the plug-in's state as the frame
// has left it.
#include "plugin/plugin.h"
#include "vehicle/panel.h"
#include "vehicle/sound.h"

namespace velqa3 {

namespace {

PanelInputs PanelInputsOf(const Plugin& p) {
    const DriverInputs& driver = p.cab.inputs;
    const Supervision& supervision = p.aids.supervision;
    const PTC& ptc = p.protection.ptc;
    const STC& stc = p.protection.stc;
    return {
        .masterKeyPosition = driver.masterKeyPosition,
        .masterKeyIn = (driver.masterKeyFlags & MasterKeyBits::Inserted) != 0,
        .reverserHandle = driver.reverser,
        .powerHandle = driver.powerNotch,
        .holdBrakeKey = driver.holdBrakeKey,
        .key0Held = driver.key0Held,
        .doorsClosed = driver.doorsClosed,
        .doorCounter = driver.doorCounter,
        .constantSpeedArmed = p.arbitration.constantArmed,
        .brakeOutput = p.output.Brake,
        .powerOutput = p.output.Power,
        .displayedBrakeNotch = p.frame.displayedBrakeNotch,
        .emergencyNotch = p.dims.emergencyNotch,
        .powerNotches = p.dims.powerNotches,
        .cars = p.dims.cars,
        .normalLamp = stc.normalLamp,
        .alarmLamp = stc.alarmLamp,
        .pairArmed = stc.pairArmed,
        .overspeed = stc.overspeed,
        .patternSpd = ptc.patternSpd,
        .state = ptc.state,
        .brakeLamp = ptc.brakeLamp,
        .resetReady = ptc.resetReady,
        .releaseLamp = ptc.releaseLamp,
        .nsdLamp = ptc.nsdLamp,
        .brakeDemand = supervision.brakeDemand,
        .vigilanceWarning = supervision.vigilance.warning,
        .plusBrakeState = supervision.plusBrake.state,
        .speedCheckState = supervision.speedCheck.state,
        .lineVoltage = p.aids.voltage.lineVoltage,
        .atsTestTimer = p.aids.startupTest.timer,
        .bcDisplay = p.aids.brakeCylinder.bcDisplay,
        .hornReservoir = p.cab.keys.hornReservoir,
        .curtain = p.cab.keys.curtain,
        .recordSwitch = p.cab.keys.recordSwitch,
        .recordLineWritten = p.record.lineWritten,
    };
}

PanelSources PanelSourcesOf(const Plugin& p) {
    return {.mode = p.protection.mode,
            .cabKeys = p.cab.keys,
            .tasc = p.aids.tasc,
            .platformDoors = p.aids.platformDoors,
            .stationApproach = p.aids.stationApproach,
            .display = p.cab.display,
            .beaconValues = p.cab.beaconValues};
}

SoundInputs SoundInputsOf(Plugin& p) {
    DriverInputs& driver = p.cab.inputs;
    const Supervision& supervision = p.aids.supervision;
    const PTC& ptc = p.protection.ptc;
    return {
        .bellSound = p.protection.stc.bellSound,
        .chimeSound = p.protection.stc.chimeSound,
        .bellOut = ptc.bellOut,
        .patternSpd = ptc.patternSpd,
        .noPatternSpd = ptc.noPatternSpd,
        .atsMode = p.protection.mode.atsMode,
        .cabSwitches = p.protection.mode.cabSwitches,
        .brakeDemand = supervision.brakeDemand,
        .vigilanceBuzzer = supervision.vigilance.buzzer,
        .speedCheckBell = supervision.speedCheck.bell,
        .announcement = supervision.announcement,
        .oneManDoors = p.cab.keys.oneManDoors,
        .previousOneManDoors = p.cab.keys.previousOneManDoors,
        .ebnfbSwitch = p.cab.keys.ebnfbSwitch,
        .recordSwitch = p.cab.keys.recordSwitch,
        .masterKeyPosition = driver.masterKeyPosition,
        .reverserHandle = driver.reverser,
        .brakeHandle = driver.brakeNotch,
        .key11Held = driver.key11Held,
        .key15Held = driver.key15Latched,
        .brakeReleasedOnKey13Up = &driver.brakeReleasedOnKey13Up,
        .brakeOutput = p.output.Brake,
        .powerOutput = p.output.Power,
        .emergencyNotch = p.dims.emergencyNotch,
        .lineVoltage = p.aids.voltage.lineVoltage,
        .lastHighVoltageTime = p.aids.voltage.lastHighVoltageTime,
        .atsTestTimer = p.aids.startupTest.timer,
        .bcReleasing = p.aids.brakeCylinder.releasing,
        .bcReleasingLowSpeed = p.aids.brakeCylinder.releasingLowSpeed,
    };
}

} // namespace

void Plugin::WriteOutputs(std::int32_t* panel, std::int32_t* sound) {
    WritePanel(PanelInputsOf(*this), PanelSourcesOf(*this), frame, settings, remap.panel,
               cab.panelTimers, cab.panelRoutes, panel);
    if (sound == nullptr) return;
    WriteSound(cab.sound, SoundInputsOf(*this), frame, settings, remap.sound, sound);
    // The spot protection's bells and the speed-check bell were started once; from now on
    // they continue.
    STC& stc = protection.stc;
    if (stc.bellSound == kSoundPlayOnce) stc.bellSound = kSoundContinue;
    if (stc.chimeSound == kSoundPlayOnce) stc.chimeSound = kSoundContinue;
    std::int32_t& speedCheckBell = aids.supervision.speedCheck.bell;
    if (speedCheckBell == kSoundPlayOnce) speedCheckBell = kSoundContinue;
}

} // namespace velqa3
