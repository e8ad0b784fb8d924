#include "plugin/plugin.h"

#include "config/settings_reader.h"

#include <climits>

namespace velqa3 {

void Plugin::Attach(const char* modulePath) {
    if (initCount != 0) return;
    ResetKeyTables(keys);
    remap.SetIdentity();
    SiblingPath(modulePath, ".dat", settingsPath);
    SiblingPath(modulePath, ".csv", recordPath);
    ReadSettings(settingsPath, SettingsTargets{settings, keys, remap, ProtectionHooks()});
    TakeOverSettings();
    if ((cab.inputs.masterKeyFlags & MasterKeyBits::Configured) == 0)
        StartProtection(protection.mode.lineCode);
    CheckKeyTable(keys);
    initCount = 1;
}

// Two settings act on the protections at their own line of the file, so that what stands
// above them counts and what stands below does not.
SettingsHooks Plugin::ProtectionHooks() {
    SettingsHooks hooks;
    hooks.context = this;
    hooks.maxSpeed = [](void* context, std::int32_t kmh) {
        Plugin& self = *static_cast<Plugin*>(context);
        self.protection.ptc.BeaconIn(self.PtcView(), 61, 4, 0.0f, kmh,
                                     self.protection.mode.acceptSpotBeacons != 0);
    };
    hooks.masterKeyStartup = [](void* context, const Settings& soFar) {
        static_cast<Plugin*>(context)->StartProtection(soFar.defaultLineCode);
    };
    return hooks;
}

// Settings that only give runtime state its start; the subsystems that own it change it later.
void Plugin::TakeOverSettings() {
    protection.mode.lineCode = settings.defaultLineCode;
    cab.inputs.masterKeyFlags = settings.masterKeyFlags;
    cab.inputs.masterKeyPosition = settings.masterKeyPosition;
    // The key stands where it starts: the first frame must not click it as a turn.
    frame.previousKeyPosition = cab.inputs.masterKeyPosition;
    protection.stc.osrMode = settings.osrMode;
    cab.keys.oneManDoors = settings.oneManDoors;
    if (settings.plusBrakeConfigured != 0)
        aids.supervision.plusBrakeState |= PlusBrakeBits::Configured;
    if (settings.plusBrakeEmergencyBoost != 0)
        aids.supervision.plusBrakeState |= PlusBrakeBits::EmergencyBoost;
    aids.tasc.installed = settings.tascInstalled != 0;
    aids.tasc.switchedOn = settings.tascSwitchedOn != 0;
    aids.tasc.mode = settings.tascMode;
    if (settings.platformDoorsFitted != 0)
        aids.platformDoors.flags |= PlatformDoorBits::DoorsFitted;
    if (settings.platformDoorsLinked != 0)
        aids.platformDoors.flags |= PlatformDoorBits::DoorsLinked;
    aids.platformDoors.lampVariant = settings.platformDoorLampVariant;
}

PtcFrame Plugin::PtcView() const {
    return PtcFrameOf(frame, cab.inputs, protection.mode);
}

// Without a configured master-controller key the train starts as if the key were in.
void Plugin::StartProtection(std::int32_t lineCode) {
    protection.stc.Restart(true);
    if (protection.mode.atsMode == kAtsOff)
        protection.mode.atsMode = (lineCode & 0x10) != 0 ? kAtsAspectTableStart : kAtsSpot;
    protection.mode.atsStarted = 1;
    protection.mode.atsModePanel = protection.mode.atsMode;
}

void Plugin::Release() {
    // The plug-in holds no socket and no companion library at this point, so there is nothing
    // to let go of; both are released here once they exist.
}

void Plugin::Load() {}

void Plugin::Dispose() {
    Release();
}

void Plugin::SetVehicleSpec(const VehicleSpec& spec) {
    dims.serviceNotches = spec.BrakeNotches;
    // A host never sends INT_MAX notches; if one did, the emergency notch must not wrap.
    dims.emergencyNotch = spec.BrakeNotches == INT_MAX ? INT_MAX : spec.BrakeNotches + 1;
    dims.powerNotches = spec.PowerNotches;
    dims.atsNotch = spec.AtsNotch;
    dims.cars = spec.Cars;
    dims.trainLength =
        settings.length != 0.0f ? settings.length : static_cast<float>(spec.Cars) * 20.0f;
    protection.ptc.ebNotch = dims.emergencyNotch;
    protection.ptc.trainLength = dims.trainLength;

    aids.tasc.notchSteps = settings.tascNotch;
    if (aids.tasc.notchSteps <= spec.BrakeNotches) {
        aids.tasc.notchSteps = spec.BrakeNotches;
        if (settings.holdBrake != 0 && aids.tasc.notchSteps != INT_MIN) --aids.tasc.notchSteps;
    }

    FillSpeedCheckLimits(aids.supervision);
    aids.supervision.brakeDemand = 0;
    protection.stc.Restart(false);
    protection.ptc.Reset(PtcView());
}

void Plugin::Initialize(std::int32_t /*brakePosition: the host's, only forwarded*/) {
    protection.stc.Restart(false);
    protection.ptc.Reset(PtcView());
    frame.speed = 0.0f;
    for (std::int32_t& number : cab.display.frame)
        number = -1;
}

HandleOutput Plugin::Elapse(const VehicleState& state, std::int32_t* panel, std::int32_t* sound) {
    // The host suspends the plug-in for a frame through a panel entry: nothing is decided
    // and the commands of the last full frame stand.
    const bool suspended = panel != nullptr && panel[kSuspendPanelIndex] != 0;
    if (!suspended) RunFullFrame(state, panel, sound);
    frame.previousAcceleration = frame.acceleration;
    return output;
}

void Plugin::RunFullFrame(const VehicleState& state, std::int32_t* panel, std::int32_t* sound) {
    CaptureFrame(frame, state);
    if (protection.mode.cabSignalMode == 0) RunProtections();
    Supervise();
    DecideHandles();
    WriteOutputs(panel, sound);
    SavePreviousFrame();
}

void Plugin::RunProtections() {
    ModeGlobals& mode = protection.mode;
    std::uint8_t& demand = aids.supervision.brakeDemand;
    const bool spotBraking = RunSpotProtection(protection.stc, StcFrameOf(frame), mode.cabSwitches,
                                               cab.keys.ebnfbSwitch, cab.inputs.masterKeyPosition);
    SetDemand(demand, BrakeDemandBits::StBrake, spotBraking);

    const bool patternOn = (mode.atsMode & AtsModeBits::Pattern) != 0 && mode.atsStarted != 0;
    if (patternOn) {
        const PtcModes modes = protection.ptc.Update(PtcView());
        mode.atsMode = modes.atsMode;
        mode.cabSwitches = modes.cabSwitches;
    } else if (mode.lineCode == 4 && mode.atsMode != kAtsPattern) {
        // Off pattern territory the protection still watches the train's maximum speed.
        protection.ptc.CheckMaxSpeed(PtcView());
    } else {
        return;
    }
    SetDemand(demand, BrakeDemandBits::PtBrake, protection.ptc.emergencyLatch != 0);
}

// The supervision step's own reasons for braking; the protections' reasons came in above.
void Plugin::Supervise() {
    SetDemand(aids.supervision.brakeDemand, BrakeDemandBits::EbHandle,
              cab.inputs.brakeNotch == dims.emergencyNotch);
    // Display channels and the car-number timer, at their place among the supervision steps.
    StepDisplayChannels(cab.display, frame, settings);
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
    RunPlatformDoorTimer(aids.platformDoors, frame.clock);
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

void Plugin::SavePreviousFrame() {
    frame.previousSpeed = frame.state.Speed;
    frame.previousLocation = frame.state.Location;
    frame.previousPatternSpeed = protection.ptc.patternSpd;
    frame.previousKeyPosition = cab.inputs.masterKeyPosition;
    frame.previousReverser = cab.inputs.reverser;
    frame.previousBrakeNotch = cab.inputs.brakeNotch;
    cab.keys.previousOneManDoors = cab.keys.oneManDoors;
}

} // namespace velqa3
