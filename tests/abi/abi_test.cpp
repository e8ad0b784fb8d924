// The built library as the host sees it: loaded by path, driven through its entry points.
#include "tests/abi/plugin_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velqa3::test {
namespace {

constexpr HandleOutput kNeutral{0, 0, 0, 0};

TEST(AbiLifecycle, VersionInEveryStateAndNeutralOutputBeforeAnyInput) {
    LoadedPlugin plugin;
    EXPECT_EQ(plugin.api().GetPluginVersion(), 131072);
    plugin.StartRun();
    for (int t = 0; t < 10; ++t)
        EXPECT_EQ(plugin.Frame(36'000'000 + 16 * t), kNeutral);
    EXPECT_EQ(plugin.api().GetPluginVersion(), 131072);
    plugin.api().Dispose();
    EXPECT_EQ(plugin.api().GetPluginVersion(), 131072);
}

TEST(AbiLifecycle, MissingSettingsFileIsReportedOnceWithItsPathAsCaption) {
    LoadedPlugin plugin;
    const std::string expected = (plugin.folder() / "velqa3.dat").string() +
                                 ": 【ATS-PTプラグイン】設定ファイルが見つかりませんでした。"
                                 "デフォルト値を使用します。\n";
    EXPECT_EQ(plugin.attachOutput(), expected);
    // The host's calls after attach never read the settings again.
    testing::internal::CaptureStderr();
    plugin.StartRun();
    plugin.StartRun();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(AbiLifecycle, UnloadAfterDisposeAndLoadingAgainAttachesAfresh) {
    LoadedPlugin plugin;
    plugin.StartRun();
    plugin.api().Dispose();
    plugin.Unload();
    // Loading the same file again attaches a fresh library: the settings are looked for again.
    sim::PluginLibrary again;
    std::string error;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(again.Open(plugin.libraryPath().string(), error)) << error;
    EXPECT_NE(testing::internal::GetCapturedStderr().find("velqa3.dat: "), std::string::npos);
    // Unloading without Dispose is safe too: the detach work finds nothing left open.
    again.Close();
}

TEST(AbiFrames, SuspendedFrameReturnsTheLastRecordAndLeavesBothArraysAlone) {
    LoadedPlugin plugin;
    plugin.StartRun();
    std::int32_t panel[256], sound[256];
    for (int i = 0; i < 256; ++i) {
        panel[i] = 1000 + i;
        sound[i] = -i;
    }
    panel[199] = 0;
    const HandleOutput full = plugin.api().Elapse(StateAt(1000, 30.0f), panel, sound);
    panel[199] = 7;
    std::int32_t panelBefore[256], soundBefore[256];
    std::copy(std::begin(panel), std::end(panel), panelBefore);
    std::copy(std::begin(sound), std::end(sound), soundBefore);
    plugin.api().SetPower(5);
    plugin.api().SetBrake(9);
    const HandleOutput suspended = plugin.api().Elapse(StateAt(1016, 80.0f), panel, sound);
    EXPECT_EQ(suspended, full);
    EXPECT_TRUE(std::equal(std::begin(panel), std::end(panel), panelBefore));
    EXPECT_TRUE(std::equal(std::begin(sound), std::end(sound), soundBefore));
}

// Host key 13 reaches the brake command; the handle and door calls through the exports are
// the handles scenario's, the beacon call the pattern scenarios'.
TEST(AbiHandles, HostKey13HoldsTheFullServiceBrakeWhileDown) {
    LoadedPlugin plugin;
    plugin.StartRun(); // 8 service notches
    plugin.api().KeyDown(13);
    EXPECT_EQ(plugin.Frame(36'000'016).Brake, 8);
    plugin.api().KeyUp(13);
    EXPECT_EQ(plugin.Frame(36'000'032).Brake, 0);
}

// Whatever a host hands over, the plug-in answers and keeps answering.
TEST(AbiBadInput, ExtremeValuesNeverCrashAndInitializeRecovers) {
    LoadedPlugin plugin;
    plugin.StartRun(VehicleSpec{INT32_MAX, INT32_MIN, -1, 0, INT32_MAX});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::int32_t times[] = {0, 0, 86'399'990, 10, INT32_MIN, INT32_MAX, -5, 36'000'000};
    const float speeds[] = {nan, inf, -inf, 3.0e38f, -3.0e38f, 0.0f, nan, 50.0f};
    for (int i = 0; i < 8; ++i) {
        VehicleState state = StateAt(times[i], speeds[i], i % 2 ? 1e308 : -1e308);
        state.BcPressure = nan;
        state.Current = inf;
        plugin.api().Elapse(state, plugin.panel, plugin.sound);
        plugin.api().SetPower(INT32_MIN + i);
        plugin.api().SetBrake(INT32_MAX - i);
        plugin.api().SetReverser(i * 1000);
        plugin.api().KeyDown(i * 7 - 20);
        plugin.api().KeyUp(INT32_MIN);
        plugin.api().SetSignal(-i);
        plugin.api().SetBeaconData(BeaconData{INT32_MIN, INT32_MAX, nan, INT32_MIN});
    }
    // Null arrays are no frame to suspend and nothing to write.
    plugin.api().Elapse(StateAt(36'000'016), nullptr, nullptr);
    // A new run: whatever the old one latched holds the train until the driver resets it,
    // secured; then, the handles back home, it is driven as if nothing had happened.
    plugin.api().Initialize(0);
    plugin.api().SetReverser(0);
    plugin.api().SetBrake(INT32_MAX);
    plugin.api().KeyDown(3);
    plugin.api().KeyUp(3);
    plugin.api().SetPower(0);
    plugin.api().SetBrake(0);
    EXPECT_EQ(plugin.Frame(36'000'032), kNeutral);
    EXPECT_EQ(plugin.api().GetPluginVersion(), 131072);
}

} // namespace
} // namespace velqa3::test
