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
    ReadSettings(settingsPath, SettingsTargets{settings, keys, remap, SettingsHooks{}});
    mode.lineCode = settings.defaultLineCode;
    inputs.masterKeyFlags = settings.masterKeyFlags;
    inputs.masterKeyPosition = settings.masterKeyPosition;
    StartProtectionWithoutKey();
    CheckKeyTable(keys);
    initCount = 1;
}

// Without a configured master-controller key the train starts as if the key were in.
void Plugin::StartProtectionWithoutKey() {
    if ((inputs.masterKeyFlags & 0x10) != 0) return;
    if (mode.atsMode == 0)
        mode.atsMode =
            (mode.lineCode & 0x10) != 0 ? AtsModeBits::PatternAspectTable : AtsModeBits::Spot;
    mode.atsStarted = 1;
    mode.atsModePanel = mode.atsMode;
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

    tasc.notchSteps = settings.tascNotch;
    if (tasc.notchSteps <= spec.BrakeNotches) {
        tasc.notchSteps = spec.BrakeNotches;
        if (settings.holdBrake != 0 && tasc.notchSteps != INT_MIN) --tasc.notchSteps;
    }

    FillSpeedCheckLimits(supervision);
    supervision.brakeDemand = 0;
}

void Plugin::Initialize(std::int32_t /*brakePosition: the host's, only forwarded*/) {
    frame.speed = 0.0f;
}

void Plugin::SetPower(std::int32_t notch) {
    inputs.powerNotch = notch;
}

void Plugin::SetBrake(std::int32_t notch) {
    inputs.brakeNotch = notch;
}

void Plugin::SetReverser(std::int32_t position) {
    inputs.reverser = position;
}

HandleOutput Plugin::Elapse(const VehicleState& state, std::int32_t* panel, std::int32_t* sound) {
    // The host suspends the plug-in for a frame through a panel entry: nothing is decided
    // and the commands of the last full frame stand.
    const bool suspended = panel != nullptr && panel[kSuspendPanelIndex] != 0;
    if (!suspended) RunFullFrame(state, panel, sound);
    frame.previousAcceleration = frame.acceleration;
    return output;
}

void Plugin::RunFullFrame(const VehicleState& state, std::int32_t* /*panel*/,
                          std::int32_t* /*sound*/) {
    CaptureFrame(frame, state);
    SavePreviousFrame();
}

void Plugin::SavePreviousFrame() {
    frame.previousSpeed = frame.state.Speed;
    frame.previousLocation = frame.state.Location;
    frame.previousKeyPosition = inputs.masterKeyPosition;
    frame.previousReverser = inputs.reverser;
    frame.previousBrakeNotch = inputs.brakeNotch;
}

} // namespace velqa3
