// The frame driver: one call of Elapse, top to bottom, in the host's fixed order of work.
#include "plugin/plugin.h"

#include "platform/platform.h"
#include "vehicle/brake_reasons.h"
#include "vehicle/plus_brake.h"
#include "vehicle/slip.h"
#include "vehicle/sound.h"

namespace velqa3 {

HandleOutput Plugin::Elapse(const VehicleState& state, std::int32_t* panel, std::int32_t* sound) {
    // The host suspends the plug-in for a frame through a panel entry: nothing is decided
    // and the commands of the last full frame stand.
    const bool suspended = panel != nullptr && panel[kSuspendPanelIndex] != 0;
    if (!suspended) RunFullFrame(state, panel, sound);
    RecordRun(state);
    SendFrameTelemetry(state);
    frame.previousAcceleration = frame.acceleration;
    return output;
}

void Plugin::RunFullFrame(const VehicleState& state, std::int32_t* panel, std::int32_t* sound) {
    CaptureFrame(frame, state);
    PollCabKeyboard();
    if (protection.mode.cabSignalMode == 0) RunProtections();
    Supervise();
    if (RunOneManCloseTimer(cab.keys, frame.interval)) DoorsClosed(false);
    // Tameo writes before the panel and sound stages, which may overwrite it; Norvelid after
    // everything, so what it writes stays.
    CompanionElapse(companions.tameo, state, panel, sound);
    DecideHandles();
    RunPlatformDoorTimer(aids.platformDoors, frame);
    RunVehicleModels();
    WriteOutputs(panel, sound);
    SavePreviousFrame();
    CompanionElapse(companions.norvelid, state, panel, sound);
}

// The cab works its own switches; what they change elsewhere is carried out here, where every
// part is known. The effects of the whole poll are carried out once, after every switch has
// moved: a key withdrawn stops the chime before the EBNFB switch restarts the spot protection,
// and the pattern is reset before its brake is released.
void Plugin::PollCabKeyboard() {
    unsigned char keyboard[256];
    platform::KeyboardState(keyboard);
    const CabKeyPresses presses = PollCabKeys(cab.keys, keyboard, keys, frame, settings.horn);
    CarryOut(TakeCabSwitches(presses));
    if (presses.Has(CabKeyPressBits::OneManDoorsOpened)) DoorsOpened(false);
}

void Plugin::RunProtections() {
    ModeGlobals& mode = protection.mode;
    std::uint8_t& demand = aids.supervision.brakeDemand;
    const bool spotBraking = RunSpotProtection(protection.stc, StcFrameOf(frame), mode.cabSwitches,
                                               cab.keys.ebnfbSwitch, cab.inputs.masterKeyPosition);
    SetDemand(demand, BrakeDemandBits::StBrake, spotBraking);

    const bool patternOn = HasModeBit(mode.atsMode, AtsModeBits::Pattern) && mode.atsStarted != 0;
    PTC& ptc = protection.ptc;
    // The frame is written straight into the protection's own copy.
    if (patternOn) {
        ptc.in = PtcView();
        const PtcModes modes = ptc.Update();
        TakePatternProtectionModes(mode, modes.atsMode, modes.cabSwitches);
    } else if (mode.lineCode == LineCode::PatternLine && mode.atsMode != kAtsPattern) {
        // Off pattern territory the protection still watches the train's maximum speed.
        ptc.in = PtcView();
        ptc.CheckMaxSpeed();
    } else {
        return;
    }
    SetDemand(demand, BrakeDemandBits::PtBrake, protection.ptc.emergencyLatch != 0);
}

// The supervision step: every automatic brake reason of the frame, then the aids that watch
// the driver and the train, in their fixed order. The ATS-ST emergency brakes only through a
// live EB circuit, as in the protection step: the breaker is how a crew isolates it.
void Plugin::Supervise() {
    Supervision& sv = aids.supervision;
    std::uint8_t& demand = sv.brakeDemand;
    std::uint8_t& alarms = cab.sound.requests;
    const bool spotCircuitLive = cab.keys.ebnfbSwitch && cab.inputs.masterKeyPosition == 2;
    CollectProtectionReasons({.stEmergency = spotCircuitLive && protection.stc.emergency != 0,
                              .ptEmergency = protection.ptc.emergencyLatch != 0,
                              .ebHandle = cab.inputs.brakeNotch == dims.emergencyNotch},
                             demand, alarms);
    RunRollback(frame, protection.mode.lineCode, cab.inputs.reverser, demand, alarms);
    SettleAnnouncements(sv.announcement);
    RunStationApproach(aids.stationApproach, frame);
    RunVigilance(sv.vigilance, frame, settings,
                 {.cabSwitches = protection.mode.cabSwitches,
                  .previousBrakeOutput = output.Brake,
                  .emergencyNotch = dims.emergencyNotch},
                 demand);
    RunPlusBrake(sv.plusBrake,
                 {.speed = frame.speed,
                  .handle = cab.inputs.brakeNotch,
                  .serviceNotches = dims.serviceNotches,
                  .emergencyNotch = dims.emergencyNotch,
                  .brakeDemand = demand != 0},
                 settings);
    if (aids.tasc.mode != 0) RunTasc(aids.tasc, frame, cab.inputs, settings, dims.serviceNotches);
    RunSpeedCheck(sv.speedCheck, frame, protection.mode);
    RunDisplayChannels(cab.display, frame, settings);
    RunSlipCheck(sv.slip, frame, demand, alarms);
}

ArbitrationInputs Plugin::ArbitrationView() const {
    return {.settings = settings,
            .mode = protection.mode,
            .supervision = aids.supervision,
            .tasc = aids.tasc,
            .cabKeys = cab.keys,
            .serviceNotches = dims.serviceNotches,
            .emergencyNotch = dims.emergencyNotch,
            .powerNotches = dims.powerNotches,
            .lineVoltage = aids.voltage.lineVoltage,
            .stOverspeed = protection.stc.overspeed != 0,
            .ptServiceLatch = protection.ptc.serviceLatch != 0,
            .bcPressure = frame.state.BcPressure,
            .speed = frame.speed,
            .frameInterval = frame.interval,
            .previousReverser = frame.previousReverser};
}

void Plugin::DecideHandles() {
    const ArbitrationInputs view = ArbitrationView();
    DecidePower(view, cab.inputs, output);
    DecideBrake(arbitration, view, cab.inputs, output);
    UpdateDisplayedBrakeNotch();
    DecideReverser(view, cab.inputs, output);
    DecideConstantSpeed(arbitration, view, cab.inputs, output);
}

// The T-priority panel shows a notch 7 for one frame when the driver moves between 3 and 4.
void Plugin::UpdateDisplayedBrakeNotch() {
    const std::int32_t now = cab.inputs.brakeNotch;
    const std::int32_t before = frame.previousBrakeNotch;
    const bool threeToFour = before == 3 && now == 4 && 4 < dims.emergencyNotch;
    const bool fourToThree = before == 4 && now == 3;
    frame.displayedBrakeNotch =
        settings.tPriorityModel != 0 && (threeToFour || fourToThree) ? 7 : now;
}

// The line and the brake-cylinder gauge, after the handles are decided, so
// the power and brake reductions above used the previous frame's line voltage.
void Plugin::RunVehicleModels() {
    RunLineVoltage(aids.voltage, frame, settings, cab.inputs, output);
    RunBrakeCylinder(aids.brakeCylinder, frame, settings,
                     {.brakeOutput = output.Brake,
                      .serviceNotches = dims.serviceNotches,
                      .lineVoltage = aids.voltage.lineVoltage});
    RunAtsStartupTest(aids.startupTest, frame, aids.brakeCylinder.bcDisplay,
                      protection.ptc.bellOut);
}

void Plugin::SavePreviousFrame() {
    frame.previousSpeed = frame.state.Speed;
    frame.previousLocation = frame.state.Location;
    frame.previousPatternSpeed = protection.ptc.patternSpd;
    frame.previousKeyPosition = cab.inputs.masterKeyPosition;
    frame.previousReverser = cab.inputs.reverser;
    frame.previousBrakeNotch = cab.inputs.brakeNotch;
    cab.keys.previousOneManDoors = cab.keys.oneManDoors;
}

// The run record, in suspended frames too: on pattern lines only while the record switch is on.
void Plugin::RecordRun(const VehicleState& state) {
    if (protection.mode.lineCode == LineCode::PatternLine && !cab.keys.recordSwitch) return;
    RecordFrame(record, settings.kiroku, frame, state,
                {.powerNotch = cab.inputs.powerNotch,
                 .brakeNotch = cab.inputs.brakeNotch,
                 .outputPower = output.Power,
                 .outputBrake = output.Brake,
                 .bcDisplay = aids.brakeCylinder.bcDisplay,
                 .lineVoltage = aids.voltage.lineVoltage,
                 .plusBrakeState = aids.supervision.plusBrake.state,
                 .brakeDemand = aids.supervision.brakeDemand,
                 .plusBrakeNotch = aids.supervision.plusBrake.notch},
                recordPath);
}

// The boundaries are those of the latest full frame and the reported position that of this
// call, so a suspended frame after a frame that crossed a boundary sends again. The status
// text is formatted only in a frame that sends it.
void Plugin::SendFrameTelemetry(const VehicleState& state) {
    TelemetryFrame values{.clock = frame.clock,
                          .interval = frame.interval,
                          .time = state.Time,
                          .location = state.Location,
                          .speed = state.Speed,
                          .panelLocation = frame.panelLocation,
                          .stopStation = aids.stopStation,
                          .stationId = aids.stationId};
    if (StatusDue(telemetry, frame.clock, frame.interval)) {
        values.statusText = protection.ptc.StatusJson(frame.speed);
        values.statusCapacity = sizeof protection.ptc.statusJson;
    }
    SendTelemetry(telemetry, values);
}

PtcFrame Plugin::PtcView() const {
    return PtcFrameOf(frame, cab.inputs, protection.mode);
}

} // namespace velqa3
