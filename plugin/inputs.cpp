// The host's input calls between frames: handles, keys, horn, doors and signal aspects, with
// the actions bound to them.
#include "host/mode_transitions.h"
#include "plugin/dispatcher.h"
#include "plugin/plugin.h"

#include <climits>

namespace velqa3 {

namespace {

constexpr std::int32_t kHostKeys = 16;

} // namespace

void Plugin::SetPower(std::int32_t notch) {
    cab.inputs.powerNotch = notch;
    VigilanceDriverAction(aids.supervision.vigilance, aids.supervision.brakeDemand);
}

void Plugin::SetBrake(std::int32_t notch) {
    cab.inputs.brakeNotch = notch;

    // The protection switches itself on when the driver first really moves the brake handle;
    // the host's first report after load is only where the handle already stood.
    if (notch != cab.inputs.lastBrakeSeen && cab.inputs.brakeCallCount == 1)
        CarryOut(SwitchOnAtFirstBrake(protection.mode));

    if (notch == dims.emergencyNotch)
        VigilanceEmergencyHandle(aids.supervision.vigilance, aids.supervision.brakeDemand);

    cab.inputs.lastBrakeSeen = static_cast<std::int8_t>(notch);
    if (cab.inputs.brakeCallCount != INT32_MAX) ++cab.inputs.brakeCallCount;
    VigilanceDriverAction(aids.supervision.vigilance, aids.supervision.brakeDemand);
}

void Plugin::SetReverser(std::int32_t position) {
    cab.inputs.reverser = position;
}

void Plugin::HornBlow(std::int32_t /*type: any horn counts as a driver action*/) {
    VigilanceDriverAction(aids.supervision.vigilance, aids.supervision.brakeDemand);
}

void Plugin::SetSignal(std::int32_t aspect) {
    protection.mode.currentAspect = aspect;
    // A negative aspect has no entry in the speed-check table; the check keeps the code it had.
    if (protection.mode.cabSignalMode != 0 && aspect >= 0)
        protection.mode.cabSignalCode = aspect % kSpeedCheckCodes;
}

void Plugin::SetBeaconData(const BeaconData& beacon) {
    DispatchBeacon(beacon, settings, frame, protection, aids, cab);
}

void Plugin::DoorsOpened(bool fromHost) {
    cab.inputs.doorsClosed = false;
    aids.stopStation = false;
    for (std::int32_t& channel : aids.supervision.announcement)
        channel = kSoundStop;
    for (std::int32_t& period : cab.display.period)
        if (period < 0) period = 0;
    PlatformDoorsOpened(aids.platformDoors);
    if (!fromHost) cab.keys.oneManDoors &= static_cast<std::uint8_t>(~OneManBits::Closed);
}

void Plugin::DoorsClosed(bool fromHost) {
    cab.inputs.doorsClosed = true;
    if (cab.inputs.doorCounter != INT32_MAX) ++cab.inputs.doorCounter;
    if (settings.station != 0) cab.display.period[kStationChannel] = 0;
    PlatformDoorsClosed(aids.platformDoors, frame.clock, settings.pdClose);
    if (!fromHost) cab.keys.oneManDoors |= OneManBits::Closed;
}

void Plugin::KeyDown(std::int32_t key) {
    if (key < 0 || key >= kHostKeys) return;
    switch (key) {
    case 0:
        if (cab.inputs.brakeNotch >= dims.atsNotch) protection.stc.Confirm();
        cab.inputs.key0Held = true;
        break;
    case 1:
        protection.stc.StopChime();
        break;
    case 2:
        ResetVigilance(aids.supervision.vigilance);
        break;
    case 3:
        ResetProtection();
        break;
    case 4:
        TurnMasterKey();
        break;
    case 7:
        CarryOut(PressModeKey1(protection.mode, StandsWithBrakeApplied()));
        break;
    case 8:
        CarryOut(PressModeKey2(protection.mode));
        break;
    case 11:
        cab.inputs.key11Held = true;
        break;
    case 13:
        cab.inputs.holdBrakeKey = static_cast<std::int8_t>(
            HasModeBit(protection.mode.atsMode, AtsModeBits::SpotTypes12And13)
                ? cab.inputs.brakeNotch
                : dims.serviceNotches);
        cab.inputs.brakeReleasedOnKey13Up = false;
        break;
    case 14:
        if (settings.constant != 0 && arbitration.constantState == 0) arbitration.constantState = 1;
        break;
    case 15:
        cab.inputs.key15Latched = true;
        break;
    default:
        break;
    }
}

void Plugin::KeyUp(std::int32_t key) {
    if (key < 0 || key >= kHostKeys) return;
    switch (key) {
    case 0:
        cab.inputs.key0Held = false;
        break;
    case 11:
        cab.inputs.key11Held = false;
        break;
    case 13: {
        cab.inputs.holdBrakeKey = 0;
        const bool released =
            settings.holdBrake != 0 ? cab.inputs.brakeNotch <= 1 : cab.inputs.brakeNotch < 1;
        if (settings.tPriorityModel > 0 && released) cab.inputs.brakeReleasedOnKey13Up = true;
        break;
    }
    case 15:
        cab.inputs.key15Latched = false;
        break;
    default:
        break;
    }
}

bool Plugin::StandsWithBrakeApplied() const {
    return frame.speed == 0.0f && cab.inputs.reverser == 0 &&
           cab.inputs.brakeNotch == dims.emergencyNotch;
}

// The reset key releases what the protections and the supervision latched, but only with the
// train secured: at a stand, in neutral, with the emergency brake.
void Plugin::ResetProtection() {
    if (!StandsWithBrakeApplied()) return;
    if (HasModeBit(protection.mode.atsMode, AtsModeBits::Pattern))
        protection.ptc.ReleaseBrake(PtcView());
    protection.stc.Clear();
    ResetVigilance(aids.supervision.vigilance);
    aids.supervision.brakeDemand &=
        static_cast<std::uint8_t>(~(BrakeDemandBits::VigilanceBrake | BrakeDemandBits::SlipBrake |
                                    BrakeDemandBits::RollbackBrake));
    cab.sound.requests &= SoundRequestBits::Bell1 | SoundRequestBits::Bell2;
    cab.sound.alarmTimer = -1;
    cab.inputs.brakeCallCount = 1;
}

void Plugin::TurnMasterKey() {
    const std::uint8_t flags = cab.inputs.masterKeyFlags;
    if ((flags & MasterKeyBits::KeyMode) == 0 || (flags & MasterKeyBits::TwoPosition) != 0) return;
    const bool inserted = (flags & MasterKeyBits::Inserted) != 0;
    cab.inputs.masterKeyPosition = static_cast<std::int8_t>((cab.inputs.masterKeyPosition + 1) & 3);
    switch (cab.inputs.masterKeyPosition) {
    case 0:
    case 1:
        aids.startupTest.timer = 0;
        break;
    case 2:
        CarryOut(TurnMasterKeyToRun(protection.mode, inserted));
        break;
    default:
        CarryOut(TurnMasterKeyToOff(protection.mode, inserted));
        break;
    }
    if ((cab.inputs.masterKeyPosition & 1) != 0 && settings.carNumber != 0) {
        cab.display.period[kCarNumberChannel] = 2;
        cab.display.carNumberTimer = 10000;
    }
}

// The polled key turns only when the train has one, once per hold.
ModeEffects Plugin::TurnPolledMasterKey(bool held) {
    std::uint8_t& flags = cab.inputs.masterKeyFlags;
    if (!held) {
        flags = static_cast<std::uint8_t>(flags & ~MasterKeyBits::Handled);
        return {};
    }
    if ((flags & MasterKeyBits::Configured) == 0 || (flags & MasterKeyBits::Handled) != 0)
        return {};
    flags = static_cast<std::uint8_t>((flags ^ MasterKeyBits::Inserted) | MasterKeyBits::Handled);
    const bool twoPosition = (flags & MasterKeyBits::TwoPosition) != 0;
    const bool keyAtRun = cab.inputs.masterKeyPosition == 2;
    return (flags & MasterKeyBits::Inserted) != 0
               ? InsertMasterKey(protection.mode, twoPosition, keyAtRun)
               : WithdrawMasterKey(protection.mode, twoPosition, keyAtRun);
}

ModeEffects Plugin::TakeCabSwitches(CabKeyPresses presses) {
    using namespace CabKeyPressBits;
    if (presses.Has(RainSwitch)) aids.tasc.rain = !aids.tasc.rain;
    if (presses.Has(TascSwitch)) aids.tasc.switchedOn = !aids.tasc.switchedOn;
    ModeGlobals& mode = protection.mode;
    ModeEffects effects = TurnPolledMasterKey(presses.Has(MasterKeyHeld));
    if (presses.Has(ProtectionPower)) Gather(effects, ToggleProtectionPower(mode));
    if (presses.Has(ChangeOverInterlock)) ToggleChangeOverInterlock(mode);
    if (presses.Has(ChangeOverSwitch)) StepChangeOverSwitch(mode);
    if (presses.Has(PatternCutOut)) Gather(effects, TogglePatternCutOut(mode));
    if (presses.Has(PatternBrakeRelease)) Gather(effects, RequestPatternBrakeRelease(mode));
    if (presses.Has(EbCircuitOn)) Gather(effects, SwitchEbCircuitOn(mode));
    return effects;
}

// In the order the protection has always taken them: the chime stops before a restart, and
// the pattern is reset before its brake is released.
void Plugin::CarryOut(const ModeEffects& effects) {
    if (effects.spotStopChime) protection.stc.StopChime();
    if (effects.spotRestart != SpotRestart::None)
        protection.stc.Restart(effects.spotRestart == SpotRestart::Silent);
    if (effects.patternReset) protection.ptc.Reset(PtcView());
    if (effects.patternBell) protection.ptc.bellOut = 1;
    if (effects.patternReleaseLamp) protection.ptc.releaseLamp = 1;
    if (effects.patternReleaseBrake) protection.ptc.ReleaseBrake(PtcView());
    if (effects.keyToRun) cab.inputs.masterKeyPosition = 2;
    if (effects.startupTestMs >= 0) aids.startupTest.timer = effects.startupTestMs;
}

} // namespace velqa3
