// The host's input calls between frames: handles, keys, horn, doors and signal aspects, with
// the actions bound to them.
#include "plugin/plugin.h"

#include <climits>

namespace velqa3 {

namespace {

constexpr std::int32_t kHostKeys = 16;

bool HasBit(std::int32_t value, std::int32_t bit) {
    return (value & bit) != 0;
}

} // namespace

void Plugin::ResetVigilance() {
    supervision.vigilanceTimer = 0;
    supervision.vigilanceWarning = false;
    supervision.vigilanceBuzzer = kSoundStop;
}

bool Plugin::VigilanceBraking() const {
    return (supervision.brakeDemand & BrakeDemandBits::VigilanceBrake) != 0;
}

void Plugin::SetPower(std::int32_t notch) {
    inputs.powerNotch = notch;
    if (!VigilanceBraking()) ResetVigilance();
}

void Plugin::SetBrake(std::int32_t notch) {
    inputs.brakeNotch = notch;

    // The protection switches itself on when the driver first really moves the brake handle;
    // the host's first report after load is only where the handle already stood.
    if (mode.atsMode == 0 && notch != inputs.lastBrakeSeen && inputs.brakeCallCount == 1) {
        if ((mode.lineCode & 0xFF) != 4) {
            if (HasBit(mode.lineCode, 0x08)) {
                mode.atsMode = 8;
                stc.Restart(true);
            } else {
                mode.atsMode = 2;
                stc.Restart(false);
            }
            mode.atsStarted = 1;
        }
        mode.atsModePanel = mode.atsMode;
    }

    if (VigilanceBraking() && notch == dims.emergencyNotch) {
        supervision.vigilanceWarning = false;
        supervision.vigilanceBuzzer = kSoundStop;
        supervision.brakeDemand &= static_cast<std::uint8_t>(~BrakeDemandBits::VigilanceBrake);
    }

    inputs.lastBrakeSeen = static_cast<std::int8_t>(notch);
    if (inputs.brakeCallCount != INT32_MAX) ++inputs.brakeCallCount;
    if (!VigilanceBraking()) ResetVigilance();
}

void Plugin::SetReverser(std::int32_t position) {
    inputs.reverser = position;
}

void Plugin::HornBlow(std::int32_t /*type: any horn counts as a driver action*/) {
    if (!VigilanceBraking()) ResetVigilance();
}

void Plugin::SetSignal(std::int32_t aspect) {
    mode.currentAspect = aspect;
    // A negative aspect has no entry in the speed-check table; the check keeps the code it had.
    if (mode.cabSignalMode != 0 && aspect >= 0) mode.cabSignalCode = aspect % kSpeedCheckCodes;
}

void Plugin::SetBeaconData(const BeaconData& beacon) {
    DispatchBeacon(beacon, {mode, ptc, stc, settings, inputs, frame, tasc, platformDoors, voltage,
                            supervision, stationApproach, display, panelTimers, beaconValues,
                            stopStation, stationId});
}

void Plugin::DoorsOpened(bool fromHost) {
    inputs.doorsClosed = false;
    stopStation = false;
    for (std::int32_t& channel : supervision.announcement)
        channel = kSoundStop;
    for (std::int32_t& period : display.period)
        if (period < 0) period = 0;
    const std::uint8_t linked = PlatformDoorBits::DoorsFitted | PlatformDoorBits::DoorsLinked;
    if ((platformDoors.flags & linked) == linked) {
        platformDoors.closeTime = -1;
        platformDoors.flags |= PlatformDoorBits::Open;
    }
    if (!fromHost) cabKeys.oneManDoors &= static_cast<std::uint8_t>(~OneManBits::Closed);
}

void Plugin::DoorsClosed(bool fromHost) {
    inputs.doorsClosed = true;
    if (inputs.doorCounter != INT32_MAX) ++inputs.doorCounter;
    if (settings.station != 0) display.period[kStationChannel] = 0;
    const std::uint8_t linked = PlatformDoorBits::DoorsFitted | PlatformDoorBits::DoorsLinked;
    if ((platformDoors.flags & linked) == linked) {
        const std::int64_t due = static_cast<std::int64_t>(frame.clock) + settings.pdClose;
        platformDoors.closeTime = static_cast<std::int32_t>(due % kMsPerDay);
        platformDoors.flags &= static_cast<std::uint8_t>(~PlatformDoorBits::StationArmed);
        platformDoors.flags |= PlatformDoorBits::CloseRequested;
    }
    if (!fromHost) cabKeys.oneManDoors |= OneManBits::Closed;
}

void Plugin::KeyDown(std::int32_t key) {
    if (key < 0 || key >= kHostKeys) return;
    switch (key) {
    case 0:
        if (inputs.brakeNotch >= dims.atsNotch) stc.Confirm();
        inputs.key0Held = true;
        break;
    case 1:
        stc.StopChime();
        break;
    case 2:
        ResetVigilance();
        break;
    case 3:
        ResetProtection();
        break;
    case 4:
        TurnMasterKey();
        break;
    case 7:
        PressModeKey1();
        break;
    case 8:
        PressModeKey2();
        break;
    case 11:
        inputs.key11Held = true;
        break;
    case 13:
        inputs.holdBrakeKey = static_cast<std::int8_t>(
            HasBit(mode.atsMode, 0x08) ? inputs.brakeNotch : dims.serviceNotches);
        inputs.brakeReleasedOnKey13Up = false;
        break;
    case 14:
        if (settings.constant != 0 && arbitration.constantState == 0) arbitration.constantState = 1;
        break;
    case 15:
        inputs.key15Latched = true;
        break;
    default:
        break;
    }
}

void Plugin::KeyUp(std::int32_t key) {
    if (key < 0 || key >= kHostKeys) return;
    switch (key) {
    case 0:
        inputs.key0Held = false;
        break;
    case 11:
        inputs.key11Held = false;
        break;
    case 13: {
        inputs.holdBrakeKey = 0;
        const bool released =
            settings.holdBrake != 0 ? inputs.brakeNotch <= 1 : inputs.brakeNotch < 1;
        if (settings.tPriorityModel > 0 && released) inputs.brakeReleasedOnKey13Up = true;
        break;
    }
    case 15:
        inputs.key15Latched = false;
        break;
    default:
        break;
    }
}

bool Plugin::StandsWithBrakeApplied() const {
    return frame.speed == 0.0f && inputs.reverser == 0 && inputs.brakeNotch == dims.emergencyNotch;
}

// The reset key releases what the protections and the supervision latched, but only with the
// train secured: at a stand, in neutral, with the emergency brake.
void Plugin::ResetProtection() {
    if (!StandsWithBrakeApplied()) return;
    if (HasBit(mode.atsMode, 0x04)) ptc.ReleaseBrake();
    stc.Clear();
    ResetVigilance();
    supervision.brakeDemand &=
        static_cast<std::uint8_t>(~(BrakeDemandBits::VigilanceBrake | BrakeDemandBits::SlipBrake |
                                    BrakeDemandBits::RollbackBrake));
    soundState.requests &= SoundRequestBits::Bell1 | SoundRequestBits::Bell2;
    soundState.alarmTimer = -1;
    inputs.brakeCallCount = 1;
}

void Plugin::TurnMasterKey() {
    const std::uint8_t flags = inputs.masterKeyFlags;
    if ((flags & MasterKeyBits::KeyMode) == 0 || (flags & MasterKeyBits::TwoPosition) != 0) return;
    const bool inserted = (flags & MasterKeyBits::Inserted) != 0;
    inputs.masterKeyPosition = static_cast<std::int8_t>((inputs.masterKeyPosition + 1) & 3);
    switch (inputs.masterKeyPosition) {
    case 0:
    case 1:
        voltage.atsTestTimer = 0;
        break;
    case 2:
        stc.Restart(false);
        if (mode.atsMode == 0) mode.atsMode = HasBit(mode.lineCode, 0x10) ? 16 : 2;
        if (!inserted && mode.atsStarted == 0) {
            voltage.atsTestTimer = 5000;
            mode.atsStarted = 1;
        }
        mode.atsModePanel = mode.atsMode;
        break;
    default:
        stc.StopChime();
        mode.atsMode &= static_cast<std::uint8_t>(~0x02);
        if (!inserted && !HasBit(mode.atsMode, 0x04)) {
            ptc.Reset();
            mode.atsMode = 0;
            mode.atsStarted = 0;
        }
        voltage.atsTestTimer = 0;
        mode.atsModePanel = mode.atsMode;
        break;
    }
    if ((inputs.masterKeyPosition & 1) != 0 && settings.carNumber != 0) {
        display.period[kCarNumberChannel] = 2;
        display.carNumberTimer = 10000;
    }
}

void Plugin::PressModeKey1() {
    if (HasBit(mode.lineCode, 0x08)) {
        if (mode.cabSignalMode == 0 && !HasBit(mode.atsMode, 0x02)) {
            mode.cabSignalMode = 1;
            mode.cabSignalCode = 5;
            ptc.Reset();
        } else if (!HasBit(mode.atsMode, 0x04) && mode.cabSignalMode == 0) {
            mode.atsMode = 15;
            stc.Restart(true);
        } else if (!HasBit(mode.atsMode, 0x02)) {
            mode.atsMode = 8;
            mode.cabSignalMode = 0;
            stc.Restart(true);
        }
        mode.atsModePanel = mode.atsMode;
        return;
    }
    if (HasBit(mode.lineCode, 0x10) && StandsWithBrakeApplied()) {
        if (mode.atsMode == 4) {
            mode.atsMode = 21;
            ptc.ReleaseBrake();
        } else {
            mode.atsMode = 2;
            ptc.Reset();
        }
    }
}

void Plugin::PressModeKey2() {
    if (!HasBit(mode.lineCode, 0x08)) return;
    if (mode.cabSignalMode == 0) {
        if (!HasBit(mode.atsMode, 0x02)) {
            mode.atsMode = 2;
            stc.Restart(false);
        } else if (!HasBit(mode.atsMode, 0x04)) {
            mode.atsMode = 15;
            stc.Restart(true);
        } else if (!HasBit(mode.atsMode, 0x08)) {
            mode.atsMode = 8;
            stc.Restart(true);
        }
    }
    mode.atsModePanel = mode.atsMode;
}

} // namespace velqa3
