// The stand-in host end to end, against the probe plug-in that logs every call it receives:
// the host's order of calls, beacons, signals, suspension, keys, messages, expectations and
// the exit codes a user sees.
#include "sim/app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace velqa3::sim {
namespace {

namespace fs = std::filesystem;

struct SimRun {
    int exitCode = -1;
    fs::path folder;
    std::vector<std::string> calls; // probe.log, one call per line
    std::string output;             // what velqa3-sim printed

    std::vector<std::string> Calls(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& call : calls)
            if (call.rfind(prefix, 0) == 0) found.push_back(call);
        return found;
    }
};

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class Host : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() / ("velqa3-sim-test-" + std::string(info->name()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    SimRun Run(const std::string& scenario, const std::string& plugin = VELQA3_PROBE_PATH) {
        const fs::path file = root_ / "scenario.toml";
        std::ofstream(file) << scenario;
        SimRun run;
        // A folder of its own per run: a library the process loaded once may stay resident
        // (with its state) when the same path is loaded again.
        run.folder = root_ / ("run" + std::to_string(++runs_));
        std::string args[] = {"velqa3-sim", file.string(),       "--plugin", plugin,
                              "--out",      run.folder.string(), "--no-plot"};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        ::testing::internal::CaptureStdout();
        run.exitCode = SimMain(static_cast<int>(argv.size()), argv.data());
        run.output = ::testing::internal::GetCapturedStdout();
        std::istringstream log(Read(run.folder / "probe.log"));
        for (std::string line; std::getline(log, line);)
            run.calls.push_back(line);
        return run;
    }

    fs::path root_;
    int runs_ = 0;
};

// Drives forwards over a beacon to a stand, then backwards over it again.
constexpr const char* kThereAndBack = R"(
[run]
start_time = "10:00:00"
interval_ms = 20
max_s = 120
[[signal]]
id = "A"
position = 200
aspect = 2
[[beacon]]
position = 50
type = 3
optional = 7
[[driver]]
reverser = 1
brake = 0
power = 5
[[driver]]
at_location = 80
power = 0
brake = 8
[[driver]]
stopped = true
reverser = -1
brake = 0
power = 2
[[driver]]
location_below = 30
end = true
)";

TEST_F(Host, CallsTheExportsInTheHostsOrderAndFiresABeaconEachWayItIsPassed) {
    const SimRun run = Run(kThereAndBack);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_GE(run.calls.size(), 8u);
    const std::vector<std::string> start(run.calls.begin(), run.calls.begin() + 4);
    EXPECT_EQ(start, (std::vector<std::string>{"Load", "GetPluginVersion",
                                               "SetVehicleSpec 8 5 2 6 6", "Initialize 0"}));
    EXPECT_EQ(run.calls.back(), "Dispose");
    // The beacon carries its signal's aspect and the distance to it, once each way.
    EXPECT_EQ(run.Calls("SetBeaconData"),
              (std::vector<std::string>{"SetBeaconData 3 2 150.0 7", "SetBeaconData 3 2 150.0 7"}));
    EXPECT_EQ(run.Calls("SetSignal"), std::vector<std::string>{"SetSignal 2"});
    // Every frame's time is 20 ms after the one before, from the start time.
    const auto frames = run.Calls("Elapse");
    ASSERT_GT(frames.size(), 100u);
    EXPECT_EQ(frames.front().rfind("Elapse 36000020 ", 0), 0u) << frames.front();
    // The trace has a row per frame, and the summary says where the run ended.
    const std::string trace = Read(run.folder / "trace.csv");
    EXPECT_EQ(static_cast<std::size_t>(std::count(trace.begin(), trace.end(), '\n')),
              frames.size() + 1);
    EXPECT_NE(Read(run.folder / "summary.txt").find("the driver's script ended"), std::string::npos)
        << Read(run.folder / "summary.txt");
    EXPECT_EQ(Read(run.folder / ".velqa3-sim-run"), "complete\n");
}

constexpr const char* kIntervention = R"(
[run]
max_s = 300
[trace]
panel = [11]
pattern_speed_panel = 10
[[beacon]]
position = 300
type = 99
[[driver]]
reverser = 1
brake = 0
power = 5
horn = 1
[[driver]]
stopped = true
end = true
)";

TEST_F(Host, JudgesExpectationsAndExitsOneWhenAnyFails) {
    const std::string held = std::string(kIntervention) + R"(
[[expect]]
brake_reaches = "emergency"
between_m = [299, 310]
[[expect]]
panel = 11
value = 1
between_m = [299, 310]
[[expect]]
stops_before = 520
[[expect]]
message_contains = "horn: type 1"
[[expect]]
brake_never_above = 9
)";
    const SimRun good = Run(held);
    EXPECT_EQ(good.exitCode, 0) << good.output;
    EXPECT_EQ(std::count(good.output.begin(), good.output.end(), '\n') >= 6, true);
    EXPECT_NE(good.output.find("expectations: 5 passed, 0 failed"), std::string::npos)
        << good.output;
    // The brake change is logged with the panel entries that show its source.
    const std::string events = Read(good.folder / "events.log");
    const std::size_t change = events.find("brake output 0 -> 9");
    ASSERT_NE(change, std::string::npos) << events;
    const std::string line = events.substr(change, events.find('\n', change) - change);
    EXPECT_NE(line.find("(driver P5 B0; panel 11 = 1; panel 10 = 80)"), std::string::npos) << line;

    const SimRun bad = Run(std::string(kIntervention) + R"(
[[expect]]
stops_before = 310
[[expect]]
message = "nobody"
[[expect]]
brake_never_above = 8
)");
    EXPECT_EQ(bad.exitCode, 1) << bad.output;
    EXPECT_NE(bad.output.find("FAILED: the train stops before 310.0 m: first stand at"),
              std::string::npos)
        << bad.output;
    EXPECT_NE(bad.output.find("FAILED: a message captioned \"nobody\" appears: others appeared"),
              std::string::npos);
    EXPECT_NE(bad.output.find("FAILED: the brake output stays at or below notch 8: went above"),
              std::string::npos);
}

TEST_F(Host, SuspendsChosenFramesKeysAndKeyboardReachThePlugin) {
    const SimRun run = Run(R"(
[run]
interval_ms = 10
jitter_ms = 4
seed = 7
max_s = 3
suspend = [[1.0, 1.5]]
[[driver]]
at_s = 0.5
keyboard = 32
hold_ms = 300
[[driver]]
key = 4
hold_ms = 100
[[driver]]
at_s = 2
initialize = { location = 5000, brake = 5 }
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    int suspended = 0, previousTime = 36000000;
    std::vector<int> steps;
    for (const std::string& call : run.Calls("Elapse ")) {
        int time = 0, flag = 0;
        double location = 0, speed = 0;
        ASSERT_EQ(
            std::sscanf(call.c_str(), "Elapse %d %lf %lf %d", &time, &location, &speed, &flag), 4);
        steps.push_back(time - previousTime);
        previousTime = time;
        const int elapsed = time - 36000000;
        EXPECT_EQ(flag, elapsed >= 1000 && elapsed <= 1500 ? 1 : 0) << elapsed;
        suspended += flag;
    }
    EXPECT_GT(suspended, 30);
    // Jittered frames: 6..14 ms apart, not all alike.
    EXPECT_EQ(*std::min_element(steps.begin(), steps.end()) >= 6, true);
    EXPECT_EQ(*std::max_element(steps.begin(), steps.end()) <= 14, true);
    EXPECT_NE(*std::min_element(steps.begin(), steps.end()),
              *std::max_element(steps.begin(), steps.end()));
    EXPECT_EQ(
        run.Calls("SetKeyboardState"),
        (std::vector<std::string>{"SetKeyboardState", "SetKeyboardState 32", "SetKeyboardState"}));
    EXPECT_EQ(run.Calls("Key"), (std::vector<std::string>{"KeyDown 4", "KeyUp 4"}));
    // Restarted at another place: Initialize again, and the next frame is there.
    const auto restart = std::find(run.calls.begin(), run.calls.end(), "Initialize 5");
    ASSERT_NE(restart, run.calls.end());
    const auto next = std::find_if(restart, run.calls.end(), [](const std::string& call) {
        return call.rfind("Elapse ", 0) == 0;
    });
    ASSERT_NE(next, run.calls.end());
    EXPECT_NE(next->find(" 5000.000 "), std::string::npos) << *next;
}

TEST_F(Host, RefusesBadScenariosAndPluginsWithExitTwoAndNoRunFolder) {
    const SimRun typo = Run("[run]\nmax_s = 10\nintervall = 5\n");
    EXPECT_EQ(typo.exitCode, 2);
    EXPECT_FALSE(fs::exists(typo.folder));

    const SimRun missing = Run("[run]\nmax_s = 1\n", (root_ / "absent.so").string());
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_FALSE(fs::exists(missing.folder));

    const fs::path notALibrary = root_ / "text.so";
    std::ofstream(notALibrary) << "not a library";
    const SimRun broken = Run("[run]\nmax_s = 1\n", notALibrary.string());
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_FALSE(fs::exists(broken.folder));

    // A folder of someone else's files is never emptied for a run.
    const fs::path next = root_ / ("run" + std::to_string(runs_ + 1));
    fs::create_directories(next);
    std::ofstream(next / "precious.txt") << "keep";
    const SimRun refused = Run("[run]\nmax_s = 1\n");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(Read(next / "precious.txt"), "keep");
}

} // namespace
} // namespace velqa3::sim
