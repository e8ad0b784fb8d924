// The stand-in host end to end, against the probe plug-in that logs every call it receives:
// the host's order of calls, beacons, signals, suspension, keys, messages, expectations and
// the exit codes a user sees.
#include "tests/sim/sim_harness.h"

#include <cstdio>

namespace velqa3::sim::test {
namespace {

TEST_F(Host, CallsTheExportsInTheHostsOrderAndFiresABeaconEachWayItIsPassed) {
    // Forwards over the beacon to a stand, then backwards over it again.
    const SimRun run = Run(R"(
signal = [{ id = "A", position = 200, aspect = 2 }]
beacon = [{ position = 50, type = 3, optional = 7 }]
driver = [{ reverser = 1, brake = 0, power = 5 }, { at_location = 80, power = 0, brake = 8 },
          { stopped = true, reverser = -1, brake = 0, power = 2 },
          { location_below = 30, end = true }]
[run]
start_time = "10:00:00"
interval_ms = 20
max_s = 120
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_GE(run.calls.size(), 8u);
    EXPECT_EQ(Lines(run.calls.begin(), run.calls.begin() + 4),
              (Lines{"Load", "GetPluginVersion", "SetVehicleSpec 8 5 2 6 6", "Initialize 0"}));
    EXPECT_EQ(run.calls.back(), "Dispose");
    // The beacon carries its signal's aspect and the distance to it, once each way.
    EXPECT_EQ(run.Calls("SetBeaconData"), Lines(2, "SetBeaconData 3 2 150.0 7"));
    EXPECT_EQ(run.Calls("SetSignal"), Lines{"SetSignal 2"});
    // Every frame's time is 20 ms after the one before, from the start time.
    const Lines frames = run.Calls("Elapse");
    ASSERT_GT(frames.size(), 100u);
    EXPECT_EQ(frames.front().rfind("Elapse 36000020 ", 0), 0u) << frames.front();
    // The trace has a row per frame, and the summary says where the run ended.
    const std::string trace = ReadWholeFile(run.folder / "trace.csv");
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), std::ssize(frames) + 1);
    EXPECT_NE(ReadWholeFile(run.folder / "summary.txt").find("the driver's script ended"),
              std::string::npos);
    EXPECT_EQ(ReadWholeFile(run.folder / ".velqa3-sim-run"), "complete\n");
}

TEST_F(Host, JudgesExpectationsAndExitsOneWhenAnyFails) {
    // The probe brakes to emergency from the type-99 beacon on; the horn shows a message.
    const auto withExpectations = [this](const std::string& expectations) {
        return Run("expect = [" + expectations + R"(]
beacon = [{ position = 300, type = 99 }]
driver = [{ reverser = 1, brake = 0, power = 5, horn = 1 }, { stopped = true, end = true }]
[run]
max_s = 300
[trace]
panel = [11]
pattern_speed_panel = 10
)");
    };
    const SimRun good = withExpectations(R"({ brake_reaches = "emergency", between_m = [299, 310] },
        { panel = 11, value = 1, between_m = [299, 310] })");
    EXPECT_EQ(good.exitCode, 0) << good.output;
    EXPECT_TRUE(good.Printed("expectations: 2 passed, 0 failed")) << good.output;
    // The brake change is logged with the panel entries that show its source.
    const std::string events = ReadWholeFile(good.folder / "events.log");
    const std::size_t change = events.find("brake output 0 -> 9");
    ASSERT_NE(change, std::string::npos) << events;
    const std::string line = events.substr(change, events.find('\n', change) - change);
    EXPECT_NE(line.find("(driver P5 B0; panel 11 = 1; panel 10 = 80)"), std::string::npos) << line;

    const SimRun bad = withExpectations(
        R"({ stops_before = 310 }, { message = "nobody" }, { brake_never_above = 8 })");
    EXPECT_EQ(bad.exitCode, 1) << bad.output;
    for (const char* failure : {
             "FAILED: the train stops before 310.0 m: first stand at",
             "FAILED: a message captioned \"nobody\" appears: others appeared",
             "FAILED: the brake output stays at or below notch 8: went above",
         })
        EXPECT_TRUE(bad.Printed(failure)) << bad.output;
}

TEST_F(Host, SuspendsChosenFramesKeysAndKeyboardReachThePlugin) {
    const SimRun run = Run(R"(
driver = [{ at_s = 0.5, keyboard = 32, hold_ms = 300 }, { key = 4, hold_ms = 100 },
          { at_s = 2, initialize = { location = 5000, brake = 5 } }]
[run]
interval_ms = 10
jitter_ms = 4
seed = 7
max_s = 3
suspend = [[1.0, 1.5]]
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    int suspended = 0, previousTime = 36000000, minStep = 1000, maxStep = 0;
    for (const std::string& call : run.Calls("Elapse ")) {
        int time = 0, flag = 0;
        double location = 0, speed = 0;
        ASSERT_EQ(
            std::sscanf(call.c_str(), "Elapse %d %lf %lf %d", &time, &location, &speed, &flag), 4);
        minStep = std::min(minStep, time - previousTime);
        maxStep = std::max(maxStep, time - previousTime);
        previousTime = time;
        const int elapsed = time - 36000000;
        EXPECT_EQ(flag, elapsed >= 1000 && elapsed <= 1500 ? 1 : 0) << elapsed;
        suspended += flag;
    }
    EXPECT_GT(suspended, 30);
    // Jittered frames: 6..14 ms apart, not all alike.
    EXPECT_GE(minStep, 6);
    EXPECT_LE(maxStep, 14);
    EXPECT_NE(minStep, maxStep);
    EXPECT_EQ(run.Calls("SetKeyboardState"),
              (Lines{"SetKeyboardState", "SetKeyboardState 32", "SetKeyboardState"}));
    EXPECT_EQ(run.Calls("Key"), (Lines{"KeyDown 4", "KeyUp 4"}));
    // Restarted at another place: Initialize again, and the next frame is there.
    const auto restart = std::find(run.calls.begin(), run.calls.end(), "Initialize 5");
    const auto next = std::find_if(restart, run.calls.end(), [](const std::string& call) {
        return call.rfind("Elapse ", 0) == 0;
    });
    ASSERT_NE(next, run.calls.end());
    EXPECT_NE(next->find(" 5000.000 "), std::string::npos) << *next;
}

TEST_F(Host, TheEventLogSaysWhyTheCabLeftAConfirmOrResetWithoutEffect) {
    const SimRun run = Run(R"(
driver = [{ brake = 1, key = 0 }, { wait_s = 0.5, reverser = 1, key_down = 3 },
          { wait_s = 0.5, brake = 2, reverser = 0, key = 0 },
          { wait_s = 0.5, brake = "emergency", key_down = 3 }]
[run]
max_s = 3
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string events = ReadWholeFile(run.folder / "events.log");
    const std::string confirm = "key 0 (ATS confirm) has no effect: the plug-in confirms only "
                                "with the brake at or above the ATS notch 2; the driver's brake "
                                "is at 1";
    const std::string reset = "key 3 (protection reset) has no effect: the plug-in resets only "
                              "at a stand with the reverser at 0 and the brake at emergency (9); "
                              "the reverser is at 1, the brake is at 1";
    EXPECT_NE(events.find(confirm), std::string::npos) << events;
    EXPECT_NE(events.find(reset), std::string::npos) << events;
    // Once the cab is as the plug-in needs it, the keys go without comment.
    EXPECT_EQ(events.find("has no effect", events.find(reset) + reset.size()), std::string::npos)
        << events;
}

// Bad scenarios and plug-ins that are no library are the safety tests'; here a plug-in that
// is not there at all.
TEST_F(Host, RefusesAMissingPluginWithExitTwoAndNoRunFolder) {
    const SimRun refused = Run("[run]\nmax_s = 1\n", (root_ / "absent.so").string());
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_FALSE(fs::exists(refused.folder));
    // A folder of someone else's files is never emptied for a run.
    const fs::path next = root_ / ("run" + std::to_string(runs_ + 1));
    fs::create_directories(next);
    std::ofstream(next / "precious.txt") << "keep";
    EXPECT_EQ(Run("[run]\nmax_s = 1\n").exitCode, 2);
    EXPECT_EQ(ReadWholeFile(next / "precious.txt"), "keep");
}

} // namespace
} // namespace velqa3::sim::test
