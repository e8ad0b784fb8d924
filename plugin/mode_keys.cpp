// The mode keys: they choose which protection is in force, on lines that offer a choice.
#include "plugin/mode_keys.h"

namespace velqa3 {

namespace {
bool HasBit(std::int32_t value, std::int32_t bit) {
    return (value & bit) != 0;
}
} // namespace

void PressModeKey1(Protection& protection, const PtcFrame& frame, bool trainSecured) {
    ModeGlobals& mode = protection.mode;
    if (HasBit(mode.lineCode, 0x08)) {
        if (mode.cabSignalMode == 0 && !HasBit(mode.atsMode, 0x02)) {
            mode.cabSignalMode = 1;
            mode.cabSignalCode = 5;
            protection.ptc.Reset(frame);
        } else if (!HasBit(mode.atsMode, 0x04) && mode.cabSignalMode == 0) {
            mode.atsMode = kAtsDualSpotPairs;
            protection.stc.Restart(true);
        } else if (!HasBit(mode.atsMode, 0x02)) {
            mode.atsMode = kAtsSpotPairs;
            mode.cabSignalMode = 0;
            protection.stc.Restart(true);
        }
        mode.atsModePanel = mode.atsMode;
        return;
    }
    if (HasBit(mode.lineCode, 0x10) && trainSecured) {
        if (mode.atsMode == kAtsPattern) {
            mode.atsMode = kAtsAspectTable;
            protection.ptc.ReleaseBrake(frame);
        } else {
            mode.atsMode = kAtsSpot;
            protection.ptc.Reset(frame);
        }
    }
}

void PressModeKey2(Protection& protection) {
    ModeGlobals& mode = protection.mode;
    if (!HasBit(mode.lineCode, 0x08)) return;
    if (mode.cabSignalMode == 0) {
        if (!HasBit(mode.atsMode, 0x02)) {
            mode.atsMode = kAtsSpot;
            protection.stc.Restart(false);
        } else if (!HasBit(mode.atsMode, 0x04)) {
            mode.atsMode = kAtsDualSpotPairs;
            protection.stc.Restart(true);
        } else if (!HasBit(mode.atsMode, 0x08)) {
            mode.atsMode = kAtsSpotPairs;
            protection.stc.Restart(true);
        }
    }
    mode.atsModePanel = mode.atsMode;
}

} // namespace velqa3
