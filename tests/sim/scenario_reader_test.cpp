// The scenario reader refuses what it cannot stand behind with the file, line and key, and
// reads a well-formed scenario into the run it describes.
#include "sim/scenario.h"

#include <gtest/gtest.h>

#include <string>

namespace velqa3::sim {
namespace {

ScenarioError Refusal(const std::string& text) {
    Scenario scenario;
    ScenarioError error;
    EXPECT_FALSE(ParseScenario(text, "bad.toml", scenario, error)) << text;
    return error;
}

TEST(ScenarioReader, RefusesBadInputNamingFileLineAndKey) {
    const struct {
        const char* text;
        int line;
        const char *key, *message;
    } cases[] = {
        {"[run]\ninterval_ms = 16\n[vehicle\n", 3, "", "not valid TOML"},
        {"[[\npower = 1\n", 1, "", "not valid TOML"},
        {"[run]\nmax_s = 2\u00a1\n", 2, "", "not valid TOML"},
        {"[run]\nmax_s = \u3001\n", 2, "", "not valid TOML"},
        {"[vehicle]\nbrake_notches = \"eight\"\n", 2, "vehicle.brake_notches",
         "must be an integer"},
        {"[vehicle]\nbrake_notches = -3\n", 2, "vehicle.brake_notches", "must lie between 1"},
        {"[[beacon]]\nposition = 1\ntype = 0\n[[beacon]]\nposition = nan\ntype = 1\n", 5,
         "beacon[2].position", "finite"},
        {"[[beacon]]\nposition = 10\n", 1, "beacon[1].type", "is missing"},
        {"[[beacon]]\nposition = 10\ntype = 3\nsignal = \"nowhere\"\n", 4, "beacon[1].signal",
         "no [[signal]] has the id"},
        {"[run]\ninterval_ms = 16\njitter_ms = 16\n", 3, "run.jitter_ms", "smaller than"},
        {"[run]\nstart_time = \"25:00:00\"\n", 2, "run.start_time", "time of day"},
        {"[vehicle]\npower_notches = 2\npower = [1.0]\n", 3, "vehicle.power", "one curve per"},
        {"[vehicle]\nbrake_notches = 2\nbc_pressure = [200, 100]\n", 3, "vehicle.bc_pressure",
         "must rise"},
        {"[[driver]]\nkey = 16\n", 2, "driver[1].key", "between 0 and 15"},
        {"[[driver]]\ndoors = \"ajar\"\n", 2, "driver[1].doors", "\"open\" or \"close\""},
        {"[[expect]]\nstops_before = 500\nspeed_below = 80\n", 1, "expect[1]", "exactly one"},
        {"[[expect]]\nbrake_reaches = \"full\"\n", 2, "expect[1].brake_reaches", "emergency"},
        {"[[expect]]\nsound = 20\nplays = \"twice\"\n", 3, "expect[1].plays",
         "once, looping or stops"},
        {"[[expect]]\nsound = 20\n", 1, "expect[1].plays", "is missing"},
        {"[[expect]]\npanel_is = 5\nvalue = 1\n", 2, "expect[1].panel_is",
         "between_m or between_s"},
        {"[[expect]]\npanel_is = 5\nvalue = 1\nbetween_m = [1, 2]\nbetween_s = [1, 2]\n", 5,
         "expect[1].between_s", "distance or time"},
        {"[trace]\npattern_speed_panel = 199\n", 2, "trace.pattern_speed_panel", "suspension"},
        {"beacon = 3\n", 1, "beacon", "[[beacon]]"},
        {"[[signal]]\nposition = 100\n[[signal.change]]\naspect = 4\n", 3, "signal[1].change[1]",
         "exactly one of"},
        // Handles the vehicle does not have, and values that mean nothing.
        {"[vehicle]\nbrake_notches = 7\n[run]\nbrake = 99\n", 4, "run.brake",
         "must lie between 0 and 8, not 99"},
        {"[run]\npower = 6\n", 2, "run.power", "must lie between 0 and 5"},
        {"[[driver]]\npower = 99\n", 2, "driver[1].power", "must lie between 0 and 5, not 99"},
        {"[[driver]]\nreverser = 5\n", 2, "driver[1].reverser", "must lie between -1 and 1"},
        {"[[driver]]\nbrake = -1\n", 2, "driver[1].brake", "must lie between 0 and 9"},
        {"[[driver]]\nwait_s = -1\n", 2, "driver[1].wait_s", "must not be negative"},
        {"[run]\nstart_location = -1e300\n", 2, "run.start_location", "must lie within"},
        {"[[driver]]\nstopped = false\n", 2, "driver[1].stopped", "can only be true"},
        {"[[signal]]\nposition = 9\nchange = [{ passed = false, aspect = 1 }]\n", 3,
         "signal[1].change[1].passed", "can only be true"},
        {"[[expect]]\nreverser_is = 1\nbetween_s = [-1, 5]\n", 3, "expect[1].between_s",
         "must not begin before the run"},
        {"[[gradient]]\nfrom = 500\npermil = 5\n[[gradient]]\nfrom = 100\npermil = 0\n", 5,
         "gradient[2].from", "must lie beyond the gradient before it (from = 500 m)"},
        // A misspelt key at its own line, with the key it most likely meant.
        {"[run]\nintervall_ms = 16\n", 2, "run.intervall_ms",
         "unknown key; did you mean interval_ms?"},
        {"[[driver]]\nat_s = 1\n\nbrkae = 3\n", 4, "driver[1].brkae",
         "unknown key; did you mean brake?"},
        {"[[expect]]\nbetween_m = [1, 2]\nbrake_reachs = 3\n", 3, "expect[1].brake_reachs",
         "did you mean brake_reaches?"},
        {"[vehicel]\ncars = 3\n", 1, "vehicel", "did you mean vehicle?"},
        // A key spelt right for another kind of expectation: where it belongs.
        {"[[expect]]\nstops_before = 100\nbetween_s = [1, 2]\n", 3, "expect[1].between_s",
         "a stops_before expectation takes no between_s; it qualifies reverser_is, panel_is, "
         "sound, brake_reason expectations"},
        {"[run]\nzzzzzz = 1\n", 2, "run.zzzzzz", "unknown key"},
    };
    for (const auto& c : cases) {
        const ScenarioError error = Refusal(c.text);
        EXPECT_EQ(error.file, "bad.toml") << c.text;
        EXPECT_EQ(error.line, c.line) << c.text << " -> " << error.Text();
        EXPECT_EQ(error.key, c.key) << c.text << " -> " << error.Text();
        EXPECT_NE(error.message.find(c.message), std::string::npos) << error.Text();
        EXPECT_EQ(error.Text().rfind("bad.toml:" + std::to_string(c.line) + ": ", 0), 0u)
            << error.Text();
    }
}

TEST(ScenarioReader, ReadsTheRouteInOrderWithBeaconsBoundToTheirSignals) {
    const char* text = R"(
name = "two stations"
[run]
start_time = "07:30:05.250"
interval_ms = 20
[vehicle]
brake_notches = 7
power_notches = 4
power = [1.0, [[0, 2.0], [60, 1.0]], 3.0, 4.0]
[[signal]]
id = "outer"
position = 900
aspect = 0
change = [{ at_s = 30, aspect = 4 }, { passed = true, aspect = 0 }]
[[signal]]
id = "home"
position = 400
[[beacon]]
position = 650
type = 3
signal = "home"
[[beacon]]
position = 120
type = 1
optional = 45
[[driver]]
power = 4
reverser = 1
brake = "emergency"
[[expect]]
brake_reaches = "emergency"
between_m = [300, 400]
)";
    Scenario s;
    ScenarioError error;
    ASSERT_TRUE(ParseScenario(text, "two.toml", s, error)) << error.Text();
    EXPECT_EQ(s.name, "two stations");
    EXPECT_EQ(s.run.startTimeMs, (7 * 3600 + 30 * 60 + 5) * 1000 + 250);
    EXPECT_EQ(s.vehicle.spec.BrakeNotches, 7);
    ASSERT_EQ(s.vehicle.powerCurves.size(), 4u);
    EXPECT_EQ(s.vehicle.powerCurves[1].size(), 2u);
    ASSERT_EQ(s.vehicle.brakeDeceleration.size(), 7u);
    // Sorted by position; the beacon keeps the signal it named.
    ASSERT_EQ(s.route.signals.size(), 2u);
    EXPECT_EQ(s.route.signals[0].id, "home");
    EXPECT_EQ(s.route.signals[1].changes.size(), 2u);
    ASSERT_EQ(s.route.beacons.size(), 2u);
    EXPECT_EQ(s.route.beacons[0].optional, 45);
    EXPECT_EQ(s.route.beacons[0].signal, -1);
    EXPECT_EQ(s.route.beacons[1].signal, 0);
    ASSERT_EQ(s.driver.size(), 1u);
    EXPECT_EQ(*s.driver[0].brake, 8);
    ASSERT_EQ(s.expectations.size(), 1u);
    EXPECT_EQ(s.expectations[0].notch, 8);
    EXPECT_EQ(*s.expectations[0].from, 300.0);
}

} // namespace
} // namespace velqa3::sim
