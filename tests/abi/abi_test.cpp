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
    std::int32_t panel[256] = {}, sound[256] = {};
    for (int t = 0; t < 10; ++t)
        EXPECT_EQ(plugin.api().Elapse(StateAt(36'000'000 + 16 * t), panel, sound), kNeutral);
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

TEST(AbiLifecycle, SettingsFileBesideTheLibraryIsReadSilently) {
    LoadedPlugin plugin("[TRAIN]\nHoldBrake=1\n\n[TASC]\nNotch=12\n");
    EXPECT_EQ(plugin.attachOutput(), "");
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

// The host's handle and door calls reach the commands it gets back.
TEST(AbiHandles, DriverNotchesPassEmergencyAndOpenDoorsHoldNeutral) {
    LoadedPlugin plugin;
    plugin.StartRun(); // 8 service notches: the emergency notch is 9
    std::int32_t panel[256] = {}, sound[256] = {};
    std::int32_t time = 36'000'000;
    const auto frame = [&] { return plugin.api().Elapse(StateAt(time += 16), panel, sound); };

    plugin.api().SetReverser(1);
    plugin.api().SetPower(4);
    EXPECT_EQ(frame(), (HandleOutput{0, 4, 1, 0}));
    plugin.api().SetPower(0);
    plugin.api().SetBrake(5);
    EXPECT_EQ(frame(), (HandleOutput{5, 0, 1, 0}));

    plugin.api().SetPower(3);
    plugin.api().SetBrake(9);
    EXPECT_EQ(frame(), (HandleOutput{9, 0, 0, 0}));
    plugin.api().SetBrake(0);
    EXPECT_EQ(frame(), (HandleOutput{0, 0, 1, 0})) << "power stays off until the handle moves";
    plugin.api().SetPower(3);
    EXPECT_EQ(frame(), (HandleOutput{0, 3, 1, 0}));

    plugin.api().DoorOpen();
    EXPECT_EQ(frame().Reverser, 0);
    plugin.api().DoorClose();
    EXPECT_EQ(frame().Reverser, 1);

    // Host key 13 holds the train with the full service brake while it is down.
    plugin.api().KeyDown(13);
    EXPECT_EQ(frame().Brake, 8);
    plugin.api().KeyUp(13);
    EXPECT_EQ(frame().Brake, 0);
}

// A stop signal 250 m ahead on a pattern line: too fast for its pattern is an emergency
// application the driver cannot release; slow enough is left alone.
TEST(AbiBeacons, PatternLineBrakesATrainTooFastForAStopSignal) {
    for (const float speed : {80.0f, 50.0f}) {
        LoadedPlugin plugin;
        plugin.StartRun();
        std::int32_t panel[256] = {}, sound[256] = {};
        std::int32_t time = 36'000'000;
        const auto frame = [&] {
            return plugin.api().Elapse(StateAt(time += 16, speed), panel, sound);
        };
        plugin.api().SetReverser(1);
        plugin.api().SetPower(2);
        frame();
        plugin.api().SetBeaconData(BeaconData{60, 0, 250.0f, 0});
        const HandleOutput out = frame();
        if (speed > 70.0f)
            EXPECT_EQ(out, (HandleOutput{9, 0, 0, 0})) << speed << " km/h";
        else
            EXPECT_EQ(out, (HandleOutput{0, 2, 1, 0})) << speed << " km/h";
    }
}

// Whatever a host hands over, the plug-in answers and keeps answering.
TEST(AbiBadInput, ExtremeValuesNeverCrashAndInitializeRecovers) {
    LoadedPlugin plugin;
    plugin.StartRun(VehicleSpec{INT32_MAX, INT32_MIN, -1, 0, INT32_MAX});
    std::int32_t panel[256] = {}, sound[256] = {};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::int32_t times[] = {0, 0, 86'399'990, 10, INT32_MIN, INT32_MAX, -5, 36'000'000};
    const float speeds[] = {nan, inf, -inf, 3.0e38f, -3.0e38f, 0.0f, nan, 50.0f};
    for (int i = 0; i < 8; ++i) {
        VehicleState state = StateAt(times[i], speeds[i], i % 2 ? 1e308 : -1e308);
        state.BcPressure = nan;
        state.Current = inf;
        plugin.api().Elapse(state, panel, sound);
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
    // A new run with the handles back home is driven as if nothing had happened.
    plugin.api().Initialize(0);
    plugin.api().SetPower(0);
    plugin.api().SetBrake(0);
    plugin.api().SetReverser(0);
    EXPECT_EQ(plugin.api().Elapse(StateAt(36'000'032), panel, sound), kNeutral);
    EXPECT_EQ(plugin.api().GetPluginVersion(), 131072);
}

} // namespace
} // namespace velqa3::test
