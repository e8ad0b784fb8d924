// The protection mode as the tools that explain a run ask about it, and the transitions whose
// panel copy deliberately lags or leads the protection.
#include "host/mode_transitions.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>

namespace velqa3 {
namespace {

TEST(ModeTable, SaysWhichModesEnforceSpeedLimits) {
    for (const std::uint8_t enforcing :
         std::initializer_list<std::uint8_t>{kAtsPattern, kAtsMargin, kAtsDual, kAtsDualSpotPairs,
                                             kAtsAspectTable, kAtsLimitMax, kAtsTargetVariant})
        EXPECT_TRUE(ModeEnforcesSpeedLimits(enforcing)) << int{enforcing};
    // The track variant runs its patterns but checks nothing; the spot modes have no pattern.
    for (const std::uint8_t idle : std::initializer_list<std::uint8_t>{
             kAtsOff, kAtsSpot, kAtsSpotPairs, kAtsAspectTableStart, kAtsTrackVariant, 0x06, 0xFF})
        EXPECT_FALSE(ModeEnforcesSpeedLimits(idle)) << int{idle};
}

TEST(ModeTable, RestrictsOnlyThePlainVariantsInPatternOnlyPosition) {
    const std::uint8_t patternOnly = CabSwitchBits::ChangeOverPatternOnly;
    EXPECT_EQ(CheckerOf(kAtsPattern, patternOnly), PatternChecker::RestrictedEmergency);
    EXPECT_EQ(CheckerOf(kAtsPattern, CabSwitchBits::ChangeOverBoth), PatternChecker::Emergency);
    EXPECT_EQ(CheckerOf(kAtsDual, patternOnly), PatternChecker::RestrictedService);
    EXPECT_EQ(CheckerOf(kAtsTargetVariant, patternOnly), PatternChecker::Aspect);
    EXPECT_EQ(CheckerOf(kAtsLimitMax, patternOnly), PatternChecker::LimitMax);
}

TEST(ModeTable, NamesEveryValueOnceAndNoOther) {
    std::set<std::string> names;
    for (const ModeRow& row : kModeTable) {
        ASSERT_NE(ModeName(row.atsMode), nullptr);
        EXPECT_TRUE(names.insert(ModeName(row.atsMode)).second) << ModeName(row.atsMode);
    }
    EXPECT_EQ(ModeName(0x06), nullptr);
}

TEST(ModeTransitions, PanelFollowsTheModeExceptWhereItWaits) {
    ModeGlobals mode;
    mode.lineCode = LineCode::HasAspectTable;
    // The EB breaker chooses the start mode; the panel shows it only with the next change.
    EXPECT_EQ(SwitchEbCircuitOn(mode).spotRestart, SpotRestart::WithBell);
    EXPECT_EQ(mode.atsMode, kAtsAspectTableStart);
    EXPECT_EQ(mode.atsModePanel, kAtsOff);

    // With the change-over interlock set, a pattern beacon lights the panel's pattern and
    // leaves the protection as it was.
    mode.cabSwitches |= CabSwitchBits::ChangeOverInterlock;
    EXPECT_EQ(EnterPatternTerritory(mode), PatternEntry::Shown);
    EXPECT_EQ(mode.atsMode, kAtsAspectTableStart);
    EXPECT_TRUE(HasModeBit(mode.atsModePanel, AtsModeBits::Pattern));

    // A track-limit beacon (types 205-207) selects the variant behind the panel's back.
    const std::uint8_t shown = mode.atsModePanel;
    SelectTrackVariant(mode, PanelCopy::Keep);
    EXPECT_TRUE(HasModeBit(mode.atsMode, AtsModeBits::TrackVariant));
    EXPECT_EQ(mode.atsModePanel, shown);
    LeavePatternTerritory(mode);
    EXPECT_EQ(mode.atsModePanel, mode.atsMode);
    EXPECT_TRUE(HasModeBit(mode.atsMode, AtsModeBits::Spot));
}

TEST(ModeTransitions, ChangeOverSwitchCyclesAndEndsOnSpotProtection) {
    ModeGlobals mode;
    mode.atsMode = kAtsSpot;
    StepChangeOverSwitch(mode);
    EXPECT_EQ(mode.atsMode, kAtsSpot | AtsModeBits::Pattern);
    EXPECT_EQ(mode.dualEquipped, 1);
    StepChangeOverSwitch(mode);
    EXPECT_TRUE(ChangeOverIsPatternOnly(mode.cabSwitches));
    EXPECT_EQ(mode.atsMode, kAtsPattern);
    StepChangeOverSwitch(mode);
    EXPECT_EQ(mode.cabSwitches & CabSwitchBits::ChangeOverMask, 0);
    EXPECT_EQ(mode.atsMode, kAtsSpot);
    // A switch byte with both position bits set, which no detent gives, steps to spot only.
    mode.cabSwitches |= CabSwitchBits::ChangeOverMask;
    mode.atsMode = kAtsDual;
    StepChangeOverSwitch(mode);
    EXPECT_EQ(mode.atsMode, kAtsSpot | AtsModeBits::SeveralVariants);
    EXPECT_EQ(mode.atsModePanel, mode.atsMode);
}

} // namespace
} // namespace velqa3
