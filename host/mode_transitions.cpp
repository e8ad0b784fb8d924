// The transitions of the protection mode. The panel's copy follows atsMode in every change
// except where a comment says otherwise: those are the moments the panel lags or leads the
// protection on purpose.
#include "host/mode_transitions.h"

namespace velqa3 {

namespace {

using namespace AtsModeBits;
using namespace CabSwitchBits;

constexpr std::int32_t kStartupTestMs = 5000;

std::uint8_t With(std::uint8_t bits, std::uint8_t set) {
    return static_cast<std::uint8_t>(bits | set);
}
std::uint8_t Without(std::uint8_t bits, std::uint8_t clear) {
    return static_cast<std::uint8_t>(bits & ~clear);
}

// The spot protection in place of the pattern protection, variants kept.
std::uint8_t SpotInsteadOfPattern(std::uint8_t atsMode) {
    FallBackToSpot(atsMode);
    return atsMode;
}

void SetShown(ModeGlobals& mode, std::uint8_t atsMode) {
    mode.atsMode = atsMode;
    mode.atsModePanel = atsMode;
}

void ShowMode(ModeGlobals& mode) {
    mode.atsModePanel = mode.atsMode;
}

} // namespace

void Gather(ModeEffects& into, const ModeEffects& later) {
    if (later.spotRestart > into.spotRestart) into.spotRestart = later.spotRestart;
    into.spotStopChime = into.spotStopChime || later.spotStopChime;
    into.patternReset = into.patternReset || later.patternReset;
    into.patternReleaseBrake = into.patternReleaseBrake || later.patternReleaseBrake;
    into.patternBell = into.patternBell || later.patternBell;
    into.patternReleaseLamp = into.patternReleaseLamp || later.patternReleaseLamp;
    into.keyToRun = into.keyToRun || later.keyToRun;
    if (later.startupTestMs >= 0) into.startupTestMs = later.startupTestMs;
}

void ChooseStartMode(ModeGlobals& mode, std::int32_t lineCode) {
    if (mode.atsMode != kAtsOff) return;
    mode.atsMode = (lineCode & LineCode::HasAspectTable) != 0 ? kAtsAspectTableStart : kAtsSpot;
}

ModeEffects SwitchOnAtFirstBrake(ModeGlobals& mode) {
    ModeEffects effects;
    if (mode.atsMode != kAtsOff) return effects;
    if (!IsPatternLine(mode.lineCode)) {
        if ((mode.lineCode & LineCode::HasSpotPairs) != 0) {
            mode.atsMode = kAtsSpotPairs;
            effects.spotRestart = SpotRestart::Silent;
        } else {
            mode.atsMode = kAtsSpot;
            effects.spotRestart = SpotRestart::WithBell;
        }
        mode.atsStarted = 1;
    }
    ShowMode(mode);
    return effects;
}

void StartWithoutMasterKey(ModeGlobals& mode, std::int32_t lineCode) {
    ChooseStartMode(mode, lineCode);
    mode.atsStarted = 1;
    ShowMode(mode);
}

ModeEffects TurnMasterKeyToRun(ModeGlobals& mode, bool inserted) {
    ModeEffects effects{.spotRestart = SpotRestart::WithBell};
    ChooseStartMode(mode, mode.lineCode);
    if (!inserted && mode.atsStarted == 0) {
        effects.startupTestMs = kStartupTestMs;
        mode.atsStarted = 1;
    }
    ShowMode(mode);
    return effects;
}

ModeEffects TurnMasterKeyToOff(ModeGlobals& mode, bool inserted) {
    ModeEffects effects{.spotStopChime = true, .startupTestMs = 0};
    mode.atsMode = Without(mode.atsMode, Spot);
    // An inserted key, or a running pattern protection, keeps the protection on.
    if (!inserted && !HasModeBit(mode.atsMode, Pattern)) {
        effects.patternReset = true;
        mode.atsMode = kAtsOff;
        mode.atsStarted = 0;
    }
    ShowMode(mode);
    return effects;
}

ModeEffects InsertMasterKey(ModeGlobals& mode, bool twoPosition, bool keyAtRun) {
    ModeEffects effects;
    if (IsPatternLine(mode.lineCode) && !twoPosition) {
        // On pattern lines the key only arms the start-up test; the key position decides.
        if (!keyAtRun) {
            mode.atsStarted = 1;
            effects.startupTestMs = kStartupTestMs;
        } else {
            effects.startupTestMs = 0;
        }
        ShowMode(mode);
        return effects;
    }
    if (IsPatternLine(mode.lineCode)) {
        effects.keyToRun = true;
        effects.spotRestart = SpotRestart::WithBell;
        effects.startupTestMs = kStartupTestMs;
        ChooseStartMode(mode, mode.lineCode);
    } else if ((mode.lineCode & LineCode::HasSpotPairs) != 0) {
        mode.atsMode = With(mode.atsMode, SpotTypes12And13);
        effects.spotRestart = SpotRestart::Silent;
    } else if ((mode.lineCode & LineCode::HasTargetVariant) != 0) {
        mode.atsMode = kAtsTargetVariant;
        effects.spotRestart = SpotRestart::Silent;
    } else {
        mode.atsMode = With(mode.atsMode, Spot);
        effects.spotRestart = SpotRestart::WithBell;
    }
    mode.atsStarted = 1;
    ShowMode(mode);
    return effects;
}

ModeEffects WithdrawMasterKey(ModeGlobals& mode, bool twoPosition, bool keyAtRun) {
    ModeEffects effects;
    // Only the low four bits of the line code are compared here, where the key goes in with
    // the whole byte: a line code above 0xF that ends in 4 keeps this pattern-line rule.
    if ((mode.lineCode & 0x0F) == LineCode::PatternLine && !twoPosition) {
        if (!keyAtRun) {
            effects.patternReset = true;
            mode.atsStarted = 0;
            mode.atsMode = kAtsOff;
        }
        ShowMode(mode);
        return effects;
    }
    effects.spotStopChime = true;
    effects.patternReset = true;
    effects.startupTestMs = 0;
    mode.atsMode = kAtsOff;
    mode.atsStarted = 0;
    ShowMode(mode);
    return effects;
}

ModeEffects PressModeKey1(ModeGlobals& mode, bool trainSecured) {
    ModeEffects effects;
    if ((mode.lineCode & LineCode::HasSpotPairs) != 0) {
        if (mode.cabSignalMode == 0 && !HasModeBit(mode.atsMode, Spot)) {
            mode.cabSignalMode = 1;
            mode.cabSignalCode = 5;
            effects.patternReset = true;
        } else if (!HasModeBit(mode.atsMode, Pattern) && mode.cabSignalMode == 0) {
            mode.atsMode = kAtsDualSpotPairs;
            effects.spotRestart = SpotRestart::Silent;
        } else if (!HasModeBit(mode.atsMode, Spot)) {
            mode.atsMode = kAtsSpotPairs;
            mode.cabSignalMode = 0;
            effects.spotRestart = SpotRestart::Silent;
        }
        ShowMode(mode);
        return effects;
    }
    // The aspect-table line changes only with the train secured, and its panel keeps showing
    // the mode it had until the next change that shows one.
    if ((mode.lineCode & LineCode::HasAspectTable) != 0 && trainSecured) {
        if (mode.atsMode == kAtsPattern) {
            mode.atsMode = kAtsAspectTable;
            effects.patternReleaseBrake = true;
        } else {
            mode.atsMode = kAtsSpot;
            effects.patternReset = true;
        }
    }
    return effects;
}

ModeEffects PressModeKey2(ModeGlobals& mode) {
    ModeEffects effects;
    if ((mode.lineCode & LineCode::HasSpotPairs) == 0) return effects;
    if (mode.cabSignalMode == 0) {
        if (!HasModeBit(mode.atsMode, Spot)) {
            mode.atsMode = kAtsSpot;
            effects.spotRestart = SpotRestart::WithBell;
        } else if (!HasModeBit(mode.atsMode, Pattern)) {
            mode.atsMode = kAtsDualSpotPairs;
            effects.spotRestart = SpotRestart::Silent;
        } else if (!HasModeBit(mode.atsMode, SpotTypes12And13)) {
            mode.atsMode = kAtsSpotPairs;
            effects.spotRestart = SpotRestart::Silent;
        }
    }
    ShowMode(mode);
    return effects;
}

ModeEffects ToggleProtectionPower(ModeGlobals& mode) {
    mode.cabSwitches = static_cast<std::uint8_t>(mode.cabSwitches ^ ProtectionPower);
    return {.patternReset = !HasCabSwitch(mode.cabSwitches, ProtectionPower)};
}

void ToggleChangeOverInterlock(ModeGlobals& mode) {
    mode.cabSwitches = static_cast<std::uint8_t>(mode.cabSwitches ^ ChangeOverInterlock);
}

// A position the switch has no detent for (12) goes back to spot only, the safe end.
void StepChangeOverSwitch(ModeGlobals& mode) {
    const std::uint8_t position = mode.cabSwitches & ChangeOverMask;
    mode.cabSwitches = Without(mode.cabSwitches, ChangeOverMask);
    if (position == 0) {
        mode.cabSwitches = With(mode.cabSwitches, ChangeOverBoth);
        mode.dualEquipped = 1;
        mode.atsMode = With(mode.atsMode, Pattern);
    } else if (position == ChangeOverBoth) {
        mode.cabSwitches = With(mode.cabSwitches, ChangeOverPatternOnly);
        mode.dualEquipped = 0;
        mode.atsMode = Without(mode.atsMode, Spot);
    } else {
        mode.dualEquipped = 0;
        mode.atsMode = SpotInsteadOfPattern(mode.atsMode);
    }
    ShowMode(mode);
}

ModeEffects TogglePatternCutOut(ModeGlobals& mode) {
    if (HasCabSwitch(mode.cabSwitches, PatternCutOut)) {
        mode.cabSwitches = Without(mode.cabSwitches, PatternCutOut);
        return {};
    }
    mode.cabSwitches = With(mode.cabSwitches, PatternCutOut);
    SetShown(mode, SpotInsteadOfPattern(mode.atsMode));
    return {.patternReset = true, .patternBell = true};
}

ModeEffects RequestPatternBrakeRelease(ModeGlobals& mode) {
    if (HasCabSwitch(mode.cabSwitches, BrakeReleaseRequested) || !HasModeBit(mode.atsMode, Pattern))
        return {};
    mode.cabSwitches = With(mode.cabSwitches, BrakeReleaseRequested);
    if ((mode.lineCode & 0xFF) == LineCode::QuickRelease)
        mode.cabSwitches = With(mode.cabSwitches, BrakeReleaseRunning);
    return {.patternReleaseBrake = true, .patternReleaseLamp = true};
}

// The panel shows the mode chosen here only from the next change that shows one.
ModeEffects SwitchEbCircuitOn(ModeGlobals& mode) {
    ChooseStartMode(mode, mode.lineCode);
    return {.spotRestart = SpotRestart::WithBell};
}

void TakeLineEquipment(ModeGlobals& mode, std::int32_t optional) {
    mode.lineCode = optional & 0xFF;
    constexpr std::int32_t kBothProtections = 0x07;
    if ((optional & kBothProtections) == kBothProtections) {
        mode.dualEquipped = 1;
        SetShown(mode, (optional & LineCode::HasSpotPairs) != 0 ? kAtsDualSpotPairs : kAtsDual);
    }
    if ((optional & 0x100) != 0 || (optional & 0x20) != 0) mode.acceptSpotBeacons = 1;
}

bool MayEnterPatternTerritory(const ModeGlobals& mode, bool keyAtRun) {
    const std::uint8_t cab = mode.cabSwitches;
    return (mode.lineCode & LineCode::HasPattern) != 0 && HasCabSwitch(cab, ProtectionPower) &&
           !HasCabSwitch(cab, PatternCutOut) && !ChangeOverIsPatternOnly(cab) && keyAtRun;
}

// With the change-over interlock set the panel shows the entry while the protection itself
// waits for the driver to change over.
PatternEntry EnterPatternTerritory(ModeGlobals& mode) {
    if (HasModeBit(mode.atsMode, Pattern)) return PatternEntry::AlreadyIn;
    const bool dual = mode.dualEquipped != 0;
    PatternEntry entry = PatternEntry::Shown;
    if (!HasCabSwitch(mode.cabSwitches, ChangeOverInterlock)) {
        entry = PatternEntry::Started;
        if (mode.lineCode == LineCode::TargetVariantLine) {
            mode.atsMode = kAtsTargetVariant;
        } else if (mode.lineCode == LineCode::TrackVariantLine) {
            mode.atsMode = kAtsTrackVariant;
        } else {
            mode.atsMode = With(mode.atsMode, Pattern);
            if (!dual) mode.atsMode = Without(mode.atsMode, Spot);
        }
    }
    mode.atsModePanel = With(mode.atsModePanel, Pattern);
    if (!dual) mode.atsModePanel = Without(mode.atsModePanel, Spot);
    return entry;
}

void LeavePatternTerritory(ModeGlobals& mode) {
    SetShown(mode, SpotInsteadOfPattern(mode.atsMode));
}

void SelectTargetVariant(ModeGlobals& mode) {
    SetShown(mode,
             Without(With(mode.atsMode, TargetVariant | Pattern | SeveralVariants), TrackVariant));
}

void SelectTrackVariant(ModeGlobals& mode, PanelCopy panel) {
    mode.atsMode = Without(With(mode.atsMode, TrackVariant | Pattern), TargetVariant);
    if (panel == PanelCopy::Show) ShowMode(mode);
}

bool StartCabSignalCheck(ModeGlobals& mode) {
    if ((mode.lineCode & LineCode::HasSpotPairs) == 0 || mode.cabSignalMode != 0 ||
        HasModeBit(mode.atsMode, Spot))
        return false;
    mode.cabSignalMode = 1;
    mode.cabSignalCode = 6;
    return true;
}

} // namespace velqa3
