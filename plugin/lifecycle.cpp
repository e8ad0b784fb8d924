// The host's calls around the frames: attach, Load, SetVehicleSpec, Initialize, Dispose.
#include "config/settings_reader.h"
#include "host/mode_transitions.h"
#include "plugin/plugin.h"

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
    LoadCompanions(companions, settings.companions, modulePath);
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
        aids.supervision.plusBrake.state |= PlusBrakeBits::Configured;
    if (settings.plusBrakeEmergencyBoost != 0)
        aids.supervision.plusBrake.state |= PlusBrakeBits::EmergencyBoost;
    aids.tasc.installed = settings.tascInstalled != 0;
    aids.tasc.switchedOn = settings.tascSwitchedOn != 0;
    aids.tasc.mode = settings.tascMode;
    if (settings.platformDoorsFitted != 0)
        aids.platformDoors.flags |= PlatformDoorBits::DoorsFitted;
    if (settings.platformDoorsLinked != 0)
        aids.platformDoors.flags |= PlatformDoorBits::DoorsLinked;
    aids.platformDoors.lampVariant = settings.platformDoorLampVariant;
}

// Without a configured master-controller key the train starts as if the key were in.
void Plugin::StartProtection(std::int32_t lineCode) {
    protection.stc.Restart(true);
    StartWithoutMasterKey(protection.mode, lineCode);
}

void Plugin::Release() {
    UnloadCompanions(companions);
    CloseTelemetry(telemetry);
}

void Plugin::Load() {
    loaded = true;
    CompanionLoad(companions.norvelid);
}

void Plugin::Dispose() {
    loaded = false;
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

    SetTascNotchSteps(aids.tasc, settings.tascNotch, spec.BrakeNotches, settings.holdBrake != 0);

    FillSpeedCheckLimits(aids.supervision.speedCheck);
    aids.supervision.brakeDemand = 0;
    // Sockets are opened here rather than at attach: on Windows the socket library must not
    // be started inside the loader's lock, and the settings are final by now.
    OpenTelemetry(telemetry, settings);
    CompanionSetVehicleSpec(companions.norvelid, spec);
    protection.stc.Restart(false);
    protection.ptc.Reset(PtcView());
}

// The host's brake position is only passed on to the hybrid companion.
void Plugin::Initialize(std::int32_t brakePosition) {
    protection.stc.Restart(false);
    protection.ptc.Reset(PtcView());
    frame.speed = 0.0f;
    // The latched brake reasons and the vigilance timer stay: they hold the train until the
    // driver resets them at a stand, wherever the host puts the train. The slip check alone
    // forgets the old position, so that the jump to the new one is not read as wheel slip.
    aids.supervision.slip.relocated = true;
    for (std::int32_t& number : cab.display.frame)
        number = -1;
    CompanionInitialize(companions.norvelid, brakePosition);
}

} // namespace velqa3
