// Every change of the protection mode: the only code that writes atsMode, atsModePanel and the
// cab switches. Each transition changes the mode record alone and says what it asks of the
// protections and the cab; the caller, which owns those, carries it out.
#pragma once

#include "host/mode.h"

#include <cstdint>

namespace velqa3 {

enum class SpotRestart : std::uint8_t { None, Silent, WithBell };

// What a transition asks of the parts around the mode.
struct ModeEffects {
    SpotRestart spotRestart = SpotRestart::None;
    bool spotStopChime = false;
    bool patternReset = false;
    bool patternReleaseBrake = false;
    bool patternBell = false;        // bellOut := 1
    bool patternReleaseLamp = false; // releaseLamp := 1
    bool keyToRun = false;           // the master-controller key goes to position 2
    std::int32_t startupTestMs = -1; // the start-up test timer's new value; -1 leaves it

    bool operator==(const ModeEffects&) const = default;
};

// Adds what a later transition of the same frame asks: a restart with the bell wins over a
// silent one, and the later start-up timer over the earlier.
void Gather(ModeEffects& into, const ModeEffects& later);

// The start-up choice, wherever the protection is switched on: the aspect-table variant on a
// line that has it, else the spot protection. A mode already chosen stays.
void ChooseStartMode(ModeGlobals& mode, std::int32_t lineCode);

// The first real movement of the brake handle after load switches the protection on, except on
// a pattern line, where the master-controller key or the beacons do.
ModeEffects SwitchOnAtFirstBrake(ModeGlobals& mode);
// Without a configured master-controller key the train starts as if the key were in. lineCode
// is the one read so far: the settings reader may call this before the mode has its own.
void StartWithoutMasterKey(ModeGlobals& mode, std::int32_t lineCode);

// The host's master-controller key turned to position 2 (run) and 3 (off). inserted: the key
// flag of an inserted key.
ModeEffects TurnMasterKeyToRun(ModeGlobals& mode, bool inserted);
ModeEffects TurnMasterKeyToOff(ModeGlobals& mode, bool inserted);
// The polled master-controller key put in and taken out. twoPosition: MKey 2; keyAtRun: the key
// stands at position 2.
ModeEffects InsertMasterKey(ModeGlobals& mode, bool twoPosition, bool keyAtRun);
ModeEffects WithdrawMasterKey(ModeGlobals& mode, bool twoPosition, bool keyAtRun);

// The host's mode keys. trainSecured: standing, in neutral, with the emergency brake.
ModeEffects PressModeKey1(ModeGlobals& mode, bool trainSecured);
ModeEffects PressModeKey2(ModeGlobals& mode);

// The polled ATS switches.
ModeEffects ToggleProtectionPower(ModeGlobals& mode);
void ToggleChangeOverInterlock(ModeGlobals& mode);
// 0 → 4 → 8 → 0: both protections, pattern only, spot only.
void StepChangeOverSwitch(ModeGlobals& mode);
ModeEffects TogglePatternCutOut(ModeGlobals& mode);
ModeEffects RequestPatternBrakeRelease(ModeGlobals& mode);
// The EB breaker switched on: restarts the spot protection with its bell.
ModeEffects SwitchEbCircuitOn(ModeGlobals& mode);

// Beacons.
// Type 50: the line's equipment.
void TakeLineEquipment(ModeGlobals& mode, std::int32_t optional);
// Types 51-89 may start the pattern only with the protection powered, not cut out, not changed
// over to pattern only, and the key at run.
bool MayEnterPatternTerritory(const ModeGlobals& mode, bool keyAtRun);
enum class PatternEntry : std::uint8_t {
    AlreadyIn, // the pattern protection already runs
    Shown,     // the change-over interlock holds the protection back; the panel shows the entry
    Started,   // the pattern protection starts
};
PatternEntry EnterPatternTerritory(ModeGlobals& mode);
// Type 90.
void LeavePatternTerritory(ModeGlobals& mode);
// Types 101-119.
void SelectTargetVariant(ModeGlobals& mode);
// Types 130-149 and 200 show the variant on the panel; types 205-207 leave the panel as it was.
enum class PanelCopy : std::uint8_t { Show, Keep };
void SelectTrackVariant(ModeGlobals& mode, PanelCopy panel);
// Type 15: the aspect-coded speed check takes over on a line that has it. True when it started.
bool StartCabSignalCheck(ModeGlobals& mode);

// What the pattern protection changed in its own copy of the mode within a frame, taken back
// into the record. The panel keeps what it showed. These run every frame of the pattern
// protection, so they are defined here, where the frame's code can take them in whole.
inline void TakePatternProtectionModes(ModeGlobals& mode, std::uint8_t atsMode,
                                       std::uint8_t cabSwitches) {
    mode.atsMode = atsMode;
    mode.cabSwitches = cabSwitches;
}
// Within the pattern protection's frame, on its copy of the two bytes.
// Past the stop point with no protection zone left: the spot protection takes over.
inline void FallBackToSpot(std::uint8_t& atsMode) {
    atsMode = static_cast<std::uint8_t>((atsMode | AtsModeBits::Spot) & ~AtsModeBits::Pattern);
}
// The brake release runs from the first power notch after the driver asked for it.
inline void StartBrakeReleaseRun(std::uint8_t& cabSwitches) {
    cabSwitches = static_cast<std::uint8_t>(cabSwitches | CabSwitchBits::BrakeReleaseRunning);
}
inline void EndBrakeRelease(std::uint8_t& cabSwitches) {
    constexpr std::uint8_t kRelease =
        CabSwitchBits::BrakeReleaseRequested | CabSwitchBits::BrakeReleaseRunning;
    cabSwitches = static_cast<std::uint8_t>(cabSwitches & ~kRelease);
}

} // namespace velqa3
