// The diagnostics entry point of the builds for the stand-in host, through the real library.
#include "tests/abi/plugin_fixture.h"

#include "host/brake_demand.h"

#include <gtest/gtest.h>

#include <vector>

namespace velqa3::test {
namespace {

TEST(AbiDiagnostics, StateOnlyFromLoadToDisposeAndNothingForAnotherLayout) {
    LoadedPlugin plugin;
    const GetDiagnosticsFn get = plugin.api().GetDiagnostics;
    ASSERT_NE(get, nullptr) << "the native build exports GetDiagnostics";

    Diagnostics d = BlankDiagnostics();
    EXPECT_EQ(get(&d), kDiagnosticsNoState);
    EXPECT_EQ(d.flags, 0u);
    EXPECT_EQ(d.lineVoltage, 0);

    // A host of another layout gets nothing written into its record, not even a size.
    Diagnostics other = BlankDiagnostics();
    other.version = kDiagnosticsVersion + 1;
    other.lineVoltage = 77;
    EXPECT_EQ(get(&other), kDiagnosticsRefused);
    EXPECT_EQ(other.lineVoltage, 77);
    other = BlankDiagnostics();
    other.size = sizeof(Diagnostics) - 4;
    EXPECT_EQ(get(&other), kDiagnosticsRefused);
    EXPECT_EQ(get(nullptr), kDiagnosticsRefused);

    plugin.StartRun();
    plugin.api().SetBrake(9); // the emergency notch of the default 8-notch train
    for (int t = 0; t < 10; ++t)
        plugin.Frame(36'000'000 + 16 * t);
    d = BlankDiagnostics();
    ASSERT_EQ(get(&d), kDiagnosticsFilled);
    EXPECT_NE(d.flags & DiagnosticsBits::HasState, 0u);
    EXPECT_EQ(d.flags & DiagnosticsBits::TascTargetSet, 0u);
    EXPECT_EQ(d.brakeDemand & BrakeDemandBits::EbHandle, BrakeDemandBits::EbHandle);
    EXPECT_GT(d.lineVoltage, 1000);
    EXPECT_LT(d.lineVoltage, 2500);

    plugin.api().Dispose();
    d = BlankDiagnostics();
    EXPECT_EQ(get(&d), kDiagnosticsNoState);
    EXPECT_EQ(d.brakeDemand, 0);
}

// The line voltage of a standing train, frame by frame, with the host's calendar at seconds.
std::vector<std::int32_t> VoltagesOnCalendar(std::int64_t seconds) {
    LoadedPlugin plugin;
    plugin.api().SetCalendarTime(seconds);
    plugin.StartRun();
    std::vector<std::int32_t> volts;
    for (int t = 0; t < 40; ++t) {
        plugin.Frame(36'000'000 + 250 * t);
        Diagnostics d = BlankDiagnostics();
        plugin.api().GetDiagnostics(&d);
        volts.push_back(d.lineVoltage);
    }
    return volts;
}

TEST(AbiDiagnostics, TheHostsCalendarMakesTheVoltageWanderAlikeInEveryRun) {
    const std::vector<std::int32_t> first = VoltagesOnCalendar(1'767'261'600);
    EXPECT_EQ(VoltagesOnCalendar(1'767'261'600), first);
    EXPECT_NE(VoltagesOnCalendar(1'767'261'601), first) << "the seed takes in the calendar";
}

} // namespace
} // namespace velqa3::test
