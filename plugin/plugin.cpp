#include "plugin/plugin.h"

#include "config/settings_reader.h"

#include <climits>

namespace velqa3 {

void Plugin::Attach(const char* modulePath) {
    if (initCount != 0) return;
    BindProtections();
    ResetKeyTables(keys);
    remap.SetIdentity();
    SiblingPath(modulePath, ".dat", settingsPath);
    SiblingPath(modulePath, ".csv", recordPath);
    ReadSettings(settingsPath, SettingsTargets{settings, keys, remap, ProtectionHooks()});
    TakeOverSettings();
    if ((inputs.masterKeyFlags & MasterKeyBits::Configured) == 0) StartProtection(mode.lineCode);
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
        self.ptc.BeaconIn(61, 4, 0.0f, kmh, self.mode.acceptSpotBeacons != 0);
    };
    hooks.masterKeyStartup = [](void* context, const Settings& soFar) {
        static_cast<Plugin*>(context)->StartProtection(soFar.defaultLineCode);
    };
    return hooks;
}

// Settings that only give runtime state its start; the subsystems that own it change it later.
void Plugin::TakeOverSettings() {
    mode.lineCode = settings.defaultLineCode;
    inputs.masterKeyFlags = settings.masterKeyFlags;
    inputs.masterKeyPosition = settings.masterKeyPosition;
    stc.osrMode = settings.osrMode;
    cabKeys.oneManDoors = settings.oneManDoors;
    if (settings.plusBrakeConfigured != 0) supervision.plusBrakeState |= PlusBrakeBits::Configured;
    if (settings.plusBrakeEmergencyBoost != 0)
        supervision.plusBrakeState |= PlusBrakeBits::EmergencyBoost;
    tasc.installed = settings.tascInstalled != 0;
    tasc.switchedOn = settings.tascSwitchedOn != 0;
    tasc.mode = settings.tascMode;
    if (settings.platformDoorsFitted != 0) platformDoors.flags |= PlatformDoorBits::DoorsFitted;
    if (settings.platformDoorsLinked != 0) platformDoors.flags |= PlatformDoorBits::DoorsLinked;
    platformDoors.lampVariant = settings.platformDoorLampVariant;
}

// The protections read the frame values and driver inputs where they live, so the values they
// see are always those of the frame being run.
void Plugin::BindProtections() {
    ptc.Bind(&frame.speed, &frame.interval, &inputs.powerNotch, &inputs.brakeNotch,
             &inputs.reverser, &mode.atsMode, &mode.cabSwitches, &mode.currentAspect);
    stc.Bind(frame.speed, frame.clock, frame.interval);
}

// Without a configured master-controller key the train starts as if the key were in.
void Plugin::StartProtection(std::int32_t lineCode) {
    stc.Restart(true);
    if (mode.atsMode == 0)
        mode.atsMode = (lineCode & 0x10) != 0 ? AtsModeBits::PatternAspectTable : AtsModeBits::Spot;
    mode.atsStarted = 1;
    mode.atsModePanel = mode.atsMode;
}

void Plugin::Release() {
    CloseTelemetry(telemetry);
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
    ptc.ebNotch = dims.emergencyNotch;
    ptc.trainLength = dims.trainLength;

    tasc.notchSteps = settings.tascNotch;
    if (tasc.notchSteps <= spec.BrakeNotches) {
        tasc.notchSteps = spec.BrakeNotches;
        if (settings.holdBrake != 0 && tasc.notchSteps != INT_MIN) --tasc.notchSteps;
    }

    FillSpeedCheckLimits(supervision);
    supervision.brakeDemand = 0;
    // Sockets are opened here rather than at attach: on Windows the socket library must not
    // be started inside the loader's lock, and the settings are final by now.
    OpenTelemetry(telemetry, settings);
    stc.Restart(false);
    ptc.Reset();
}

void Plugin::Initialize(std::int32_t /*brakePosition: the host's, only forwarded*/) {
    stc.Restart(false);
    ptc.Reset();
    frame.speed = 0.0f;
    for (std::int32_t& number : display.frame)
        number = -1;
}

HandleOutput Plugin::Elapse(const VehicleState& state, std::int32_t* panel, std::int32_t* sound) {
    // The host suspends the plug-in for a frame through a panel entry: nothing is decided
    // and the commands of the last full frame stand.
    const bool suspended = panel != nullptr && panel[kSuspendPanelIndex] != 0;
    if (!suspended) RunFullFrame(state, panel, sound);
    SendFrameTelemetry(state);
    frame.previousAcceleration = frame.acceleration;
    return output;
}

void Plugin::RunFullFrame(const VehicleState& state, std::int32_t* /*panel*/,
                          std::int32_t* /*sound*/) {
    CaptureFrame(frame, state);
    if (mode.cabSignalMode == 0) RunProtections();
    Supervise();
    DecideHandles();
    SavePreviousFrame();
}

void Plugin::RunProtections() {
    RunSpotProtection(stc, mode.cabSwitches, cabKeys.ebnfbSwitch, inputs.masterKeyPosition,
                      supervision.brakeDemand);
    const bool patternOn = (mode.atsMode & AtsModeBits::Pattern) != 0 && mode.atsStarted != 0;
    if (patternOn) {
        ptc.Update();
    } else if (mode.lineCode == 4 && mode.atsMode != 4) {
        // Off pattern territory the protection still watches the train's maximum speed.
        ptc.CheckMaxSpeed();
    } else {
        return;
    }
    if (ptc.emergencyLatch != 0)
        supervision.brakeDemand |= BrakeDemandBits::PtBrake;
    else
        supervision.brakeDemand &= static_cast<std::uint8_t>(~BrakeDemandBits::PtBrake);
}

// The supervision step's own reasons for braking; the protections' reasons came in above.
void Plugin::Supervise() {
    if (inputs.brakeNotch == dims.emergencyNotch)
        supervision.brakeDemand |= BrakeDemandBits::EbHandle;
    else
        supervision.brakeDemand &= static_cast<std::uint8_t>(~BrakeDemandBits::EbHandle);
}

ArbitrationInputs Plugin::ArbitrationView() const {
    return {settings,
            mode,
            supervision,
            tasc,
            cabKeys,
            dims.serviceNotches,
            dims.emergencyNotch,
            dims.powerNotches,
            voltage.lineVoltage,
            stc.overspeed != 0,
            ptc.serviceLatch != 0,
            frame.state.BcPressure,
            frame.speed,
            frame.interval,
            frame.previousReverser};
}

void Plugin::DecideHandles() {
    const ArbitrationInputs view = ArbitrationView();
    DecidePower(view, inputs, output);
    DecideBrake(arbitration, view, inputs, output);
    UpdateDisplayedBrakeNotch();
    RunPlatformDoorTimer();
    DecideReverser(view, inputs, output);
    DecideConstantSpeed(arbitration, view, inputs, output);
}

// The T-priority panel shows a notch 7 for one frame when the driver moves between 3 and 4.
void Plugin::UpdateDisplayedBrakeNotch() {
    const std::int32_t now = inputs.brakeNotch;
    const std::int32_t before = frame.previousBrakeNotch;
    const bool threeToFour = before == 3 && now == 4 && 4 < dims.emergencyNotch;
    const bool fourToThree = before == 4 && now == 3;
    frame.displayedBrakeNotch =
        settings.tPriorityModel != 0 && (threeToFour || fourToThree) ? 7 : now;
}

void Plugin::RunPlatformDoorTimer() {
    std::uint8_t& flags = platformDoors.flags;
    if ((flags & PlatformDoorBits::DoorsFitted) == 0) return;
    const std::uint8_t requested = PlatformDoorBits::DoorsLinked | PlatformDoorBits::CloseRequested;
    if ((flags & requested) == requested) {
        flags &= static_cast<std::uint8_t>(~PlatformDoorBits::CloseRequested);
        flags |= PlatformDoorBits::Closing;
    }
    if ((flags & PlatformDoorBits::Closing) != 0 && frame.clock > platformDoors.closeTime)
        flags &= static_cast<std::uint8_t>(~(PlatformDoorBits::Open | PlatformDoorBits::Closing));
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
                          .stopStation = stopStation,
                          .stationId = stationId};
    if (StatusDue(telemetry, frame.clock, frame.interval)) {
        values.statusText = ptc.StatusJson();
        values.statusCapacity = sizeof ptc.statusJson;
    }
    SendTelemetry(telemetry, values);
}

void Plugin::SavePreviousFrame() {
    frame.previousSpeed = frame.state.Speed;
    frame.previousLocation = frame.state.Location;
    frame.previousPatternSpeed = ptc.patternSpd;
    frame.previousKeyPosition = inputs.masterKeyPosition;
    frame.previousReverser = inputs.reverser;
    frame.previousBrakeNotch = inputs.brakeNotch;
}

} // namespace velqa3
