// Which protection is in force: the mode record, the names of its bits and values, and the
// table that says what each mode value checks. Everything here only reads the mode; the
// changes to it are the transitions of host/mode_transitions.h, and nowhere else.
#pragma once

#include <cstdint>
#include <iterator>

namespace velqa3 {

namespace AtsModeBits {
inline constexpr std::uint8_t SeveralVariants = 0x01; // set together with more than one variant
inline constexpr std::uint8_t Spot = 0x02;            // spot protection, beacon types 0-11
inline constexpr std::uint8_t Pattern = 0x04;         // pattern protection
inline constexpr std::uint8_t SpotTypes12And13 = 0x08;
inline constexpr std::uint8_t PatternAspectTable = 0x10; // types 4 and 22 and the aspect table
inline constexpr std::uint8_t TrackVariant = 0x40;       // types 130-149, 200, 205-207
inline constexpr std::uint8_t TargetVariant = 0x80;      // types 101-119
// The two variant bits as one number for the panel: 0 none, 1 track, 2 target, 3 both.
inline constexpr int kVariantShift = 6;
} // namespace AtsModeBits

// The whole values of atsMode that keys and beacons set, and the ones whose checker is fixed.
enum AtsMode : std::uint8_t {
    kAtsOff = 0,                 // not yet switched on
    kAtsSpot = 0x02,             // spot protection alone
    kAtsPattern = 0x04,          // pattern protection alone
    kAtsMargin = 0x05,           // pattern protection with a 50 m margin on its curves
    kAtsDual = 0x07,             // both protections, on a line that has both
    kAtsSpotPairs = 0x08,        // spot beacons of types 12 and 13
    kAtsDualSpotPairs = 0x0F,    // both, with the spot pairs; the pattern part checks limits only
    kAtsAspectTableStart = 0x10, // the aspect-table variant, before its pattern starts
    kAtsAspectTable = 0x15,      // the aspect-table variant's pattern released
    kAtsLimitMax = 0x45,         // the track variant after a target beacon: the maximum only
    kAtsTrackVariant = 0x47,     // the pattern variant of types 130-149, 200, 205-207
    kAtsTargetVariant = 0x85,    // the pattern variant of types 101-119
};

// The cab switches the keys work (cabSwitches).
namespace CabSwitchBits {
inline constexpr std::uint8_t ProtectionPower = 0x01;     // the ATS breaker
inline constexpr std::uint8_t ChangeOverInterlock = 0x02; // holds pattern entry for the driver
inline constexpr std::uint8_t ChangeOverMask = 0x0C;      // the change-over switch: 0, 4 or 8
inline constexpr std::uint8_t ChangeOverBoth = 0x04;
inline constexpr std::uint8_t ChangeOverPatternOnly = 0x08; // the spot protection stands aside
inline constexpr std::uint8_t PatternCutOut = 0x10;
inline constexpr std::uint8_t BrakeReleaseRequested = 0x20;
inline constexpr std::uint8_t BrakeReleaseRunning = 0x40;
inline constexpr std::uint8_t VigilanceIn = 0x80; // set at load; no key changes it
inline constexpr std::uint8_t AtLoad = ProtectionPower | VigilanceIn;
} // namespace CabSwitchBits

// The line-equipment code, from [TRAIN] Default and type-50 beacons.
namespace LineCode {
inline constexpr std::int32_t PatternLine = 4;  // the whole value: a line of pattern protection
inline constexpr std::int32_t QuickRelease = 5; // the brake release runs at once
inline constexpr std::int32_t TrackVariantLine = 71;
inline constexpr std::int32_t TargetVariantLine = 133;
inline constexpr std::int32_t HasPattern = 0x04;
inline constexpr std::int32_t HasSpotPairs = 0x08; // also the aspect-coded speed check
inline constexpr std::int32_t HasAspectTable = 0x10;
inline constexpr std::int32_t HasTargetVariant = 0x80;
} // namespace LineCode

struct ModeGlobals {
    std::uint8_t atsMode = kAtsOff; // until the protection is switched on
    std::uint8_t atsModePanel = kAtsOff;
    std::int32_t lineCode = LineCode::PatternLine; // [TRAIN] Default, then type-50 beacons
    std::uint8_t cabSwitches = CabSwitchBits::AtLoad;
    std::uint8_t dualEquipped = 0;
    std::uint8_t acceptSpotBeacons = 0;
    std::uint8_t cabSignalMode = 0;
    std::int32_t cabSignalCode = 0;
    std::int32_t currentAspect = 0;
    std::uint8_t atsStarted = 0;
};

// --- Reading the mode ---------------------------------------------------------------------

constexpr bool HasModeBit(std::uint8_t atsMode, std::uint8_t bit) {
    return (atsMode & bit) != 0;
}
constexpr bool HasCabSwitch(std::uint8_t cabSwitches, std::uint8_t bit) {
    return (cabSwitches & bit) != 0;
}
constexpr bool ChangeOverIsPatternOnly(std::uint8_t cabSwitches) {
    return (cabSwitches & CabSwitchBits::ChangeOverMask) == CabSwitchBits::ChangeOverPatternOnly;
}
// The change-over switch as the panel shows it: 0, 1 or 2 for the three positions in the order
// the switch steps through them.
constexpr std::int32_t ChangeOverPosition(std::uint8_t cabSwitches) {
    return (cabSwitches & CabSwitchBits::ChangeOverMask) / CabSwitchBits::ChangeOverBoth;
}
// The plain spot protection, possibly with the pattern part beside it, and no variant.
constexpr bool HasNoVariantBits(std::uint8_t atsMode) {
    constexpr std::uint8_t kPlain =
        AtsModeBits::SeveralVariants | AtsModeBits::Spot | AtsModeBits::Pattern;
    return (atsMode & ~kPlain & 0xFF) == 0;
}
constexpr std::int32_t PatternVariantNumber(std::uint8_t atsMode) {
    return atsMode >> AtsModeBits::kVariantShift;
}
constexpr bool IsPatternLine(std::int32_t lineCode) {
    return (lineCode & 0xFF) == LineCode::PatternLine;
}

// The checker of the pattern protection. The two plain variants have a restricted form for the
// change-over switch's pattern-only position, where the train runs at shunting speed.
enum class PatternChecker : std::uint8_t {
    None,
    Emergency,
    RestrictedEmergency,
    Service,
    RestrictedService,
    Margin,
    LimitOnly,
    Aspect,
    LimitMax,
};

struct ModeRow {
    std::uint8_t atsMode;
    const char* name; // short, for the tools that explain a run
    PatternChecker checker;
    PatternChecker checkerPatternOnly; // with the change-over switch in position 8
};

// The checker belongs to the whole mode value, not to its bits: a value not listed, or listed
// with no checker, runs the pattern computation (when its pattern bit is set) and checks nothing.
inline constexpr ModeRow kModeTable[] = {
    {kAtsOff, "off", PatternChecker::None, PatternChecker::None},
    {kAtsSpot, "spot", PatternChecker::None, PatternChecker::None},
    {kAtsPattern, "pattern", PatternChecker::Emergency, PatternChecker::RestrictedEmergency},
    {kAtsMargin, "margin", PatternChecker::Margin, PatternChecker::Margin},
    {kAtsDual, "dual", PatternChecker::Service, PatternChecker::RestrictedService},
    {kAtsSpotPairs, "spot-pairs", PatternChecker::None, PatternChecker::None},
    {kAtsDualSpotPairs, "limit-only", PatternChecker::LimitOnly, PatternChecker::LimitOnly},
    {kAtsAspectTableStart, "aspect-start", PatternChecker::None, PatternChecker::None},
    {kAtsAspectTable, "aspect", PatternChecker::Aspect, PatternChecker::Aspect},
    {kAtsLimitMax, "limit-max", PatternChecker::LimitMax, PatternChecker::LimitMax},
    {kAtsTrackVariant, "track", PatternChecker::None, PatternChecker::None},
    {kAtsTargetVariant, "target", PatternChecker::Aspect, PatternChecker::Aspect},
};

// The table by mode value, so that the frame's checker choice is one look-up rather than a
// search: the row of each value, or kNoModeRow.
inline constexpr std::uint8_t kNoModeRow = 0xFF;
struct ModeRowIndex {
    std::uint8_t row[256];
};
constexpr ModeRowIndex IndexModeTable() {
    ModeRowIndex index{};
    for (std::uint8_t& row : index.row)
        row = kNoModeRow;
    for (std::uint8_t i = 0; i < std::size(kModeTable); ++i)
        index.row[kModeTable[i].atsMode] = i;
    return index;
}
inline constexpr ModeRowIndex kModeRowIndex = IndexModeTable();

constexpr const ModeRow* ModeRowOf(std::uint8_t atsMode) {
    const std::uint8_t row = kModeRowIndex.row[atsMode];
    return row == kNoModeRow ? nullptr : &kModeTable[row];
}

constexpr PatternChecker CheckerOf(std::uint8_t atsMode, std::uint8_t cabSwitches) {
    const ModeRow* row = ModeRowOf(atsMode);
    if (row == nullptr) return PatternChecker::None;
    return ChangeOverIsPatternOnly(cabSwitches) ? row->checkerPatternOnly : row->checker;
}

// Whether the pattern protection of this mode brakes a train above a speed limit. Off the
// pattern, a pattern line still watches the maximum speed; that belongs to the line, not to
// the mode.
constexpr bool ModeEnforcesSpeedLimits(std::uint8_t atsMode) {
    return CheckerOf(atsMode, 0) != PatternChecker::None;
}

// The short name of a mode value, or nullptr for a value no key or beacon gives a meaning.
constexpr const char* ModeName(std::uint8_t atsMode) {
    const ModeRow* row = ModeRowOf(atsMode);
    return row == nullptr ? nullptr : row->name;
}

} // namespace velqa3
