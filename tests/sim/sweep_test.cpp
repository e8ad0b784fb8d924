// The sweep's keys and values: what an author writes on the command line becomes the values the
// cases run with, and each case's scenario reads back with its value in place and nothing else
// changed.
#include "sim/scenario.h"
#include "sim/sweep.h"

#include <gtest/gtest.h>

namespace velqa3::sim {
namespace {

TEST(SweepVary, CountsItsValuesFromFromToTo) {
    SweepAxis axis;
    std::string why;
    ASSERT_TRUE(ParseVary("driver[2].at_location=20:120:10", axis, why)) << why;
    EXPECT_EQ(axis.key, "driver[2].at_location");
    ASSERT_EQ(axis.values.size(), 11u);
    EXPECT_EQ(axis.values.front(), 20.0);
    EXPECT_EQ(axis.values.back(), 120.0);
    // Tenths land on their decimal values, and a step that overshoots stops short of TO.
    ASSERT_TRUE(ParseVary("run.max_s=0.1:0.35:0.1", axis, why)) << why;
    EXPECT_EQ(axis.values, (std::vector<double>{0.1, 0.2, 0.3}));
    ASSERT_TRUE(ParseVary("signal[1].aspect=3", axis, why)) << why;
    EXPECT_EQ(axis.values, std::vector<double>{3.0});
}

TEST(SweepVary, RefusesWhatIsNoKeyOrNoRange) {
    SweepAxis axis;
    std::string why;
    for (const char* wrong :
         {"run.max_s", "=1:2:1", "run..max_s=1:2:1", "beacon[0].position=1:2:1",
          "beacon[x].position=1:2:1", "beacon[1.position=1:2:1", "run.max_s=1:2", "run.max_s=2:1:1",
          "run.max_s=1:2:0", "run.max_s=1:2:-1", "run.max_s=a:b:c", "run.max_s=1:2:1:4",
          "run.max_s=0:1e9:1", "run.max_s=nan:1:1", "run.max_s=1:inf:1", "run.$(touch x)=1:2:1"})
        EXPECT_FALSE(ParseVary(wrong, axis, why)) << wrong;
    EXPECT_FALSE(ParseVary(std::string(200, 'a') + "=1:2:1", axis, why));
}

const char* kScenario = R"(name = "swept"
[run]
max_s = 30.5
[[signal]]
id = "home"
position = 500
aspect = 0
[[beacon]]
position = 100
type = 60
[[driver]]
at_s = 1
brake = 0
[[expect]]
stops_between = [400, 500]
[sweep]
vary = ["beacon[1].position=100:300:100"]
)";

// The case's text, read back by the scenario reader.
Scenario CaseOf(const SweepScenario& tree, std::vector<std::pair<std::string, double>> values) {
    std::string text, why;
    EXPECT_TRUE(tree.CaseText(values, std::nullopt, text, why)) << why;
    Scenario scenario;
    ScenarioError error;
    EXPECT_TRUE(ParseScenario(text, "case.toml", scenario, error)) << error.Text() << "\n" << text;
    return scenario;
}

TEST(SweepCase, SetsEachValueInItsPlaceAndNothingElse) {
    SweepScenario tree;
    std::string why;
    ASSERT_TRUE(tree.Load(kScenario, "swept.toml", why)) << why;
    std::vector<std::string> vary;
    ASSERT_TRUE(tree.SweepTable(vary, why)) << why;
    EXPECT_EQ(vary, std::vector<std::string>{"beacon[1].position=100:300:100"});

    const Scenario a = CaseOf(tree, {{"beacon[1].position", 250}, {"signal[1].aspect", 2}});
    EXPECT_EQ(a.route.beacons.at(0).position, 250.0);
    EXPECT_EQ(a.route.signals.at(0).aspect, 2);
    EXPECT_EQ(a.route.signals.at(0).position, 500.0);
    EXPECT_EQ(a.run.maxS, 30.5);
    EXPECT_EQ(a.name, "swept beacon[1].position=250, signal[1].aspect=2");
    // Keys the scenario leaves at their defaults, a table it leaves out, an entry of a list.
    const Scenario b = CaseOf(tree, {{"run.start_location", 40},
                                     {"expect[1].stops_between[2]", 450},
                                     {"trace.period_ms", 100}});
    EXPECT_EQ(b.run.startLocation, 40.0);
    EXPECT_EQ(b.expectations.at(0).to, 450.0);
    EXPECT_EQ(b.trace.periodMs, 100);
}

TEST(SweepCase, NamesWhatAKeyDoesNotReach) {
    SweepScenario tree;
    std::string why, text;
    ASSERT_TRUE(tree.Load(kScenario, "swept.toml", why)) << why;
    const std::pair<const char*, const char*> wrong[] = {
        {"beacon[2].position", "the scenario has 1 beacon entry, not 2"},
        {"gradient[1].from", "the scenario has no gradient"},
        {"signal[1].id", "signal[1].id is not a number"},
        {"signal.position", "signal is not a table"},
        {"run.max_s.x", "run.max_s is not a table"},
        {"name[1]", "name is not a list"},
    };
    for (const auto& [key, words] : wrong) {
        EXPECT_FALSE(tree.CaseText({{key, 1}}, std::nullopt, text, why)) << key;
        EXPECT_EQ(why, words) << key;
    }
}

TEST(SweepCase, NamesTheSettingsTheCasesShare) {
    SweepScenario tree;
    std::string why, text;
    ASSERT_TRUE(tree.Load("[run]\nsettings = \"a \\\" b.dat\"\nmax_s = 5\n", "s.toml", why));
    ASSERT_TRUE(tree.CaseText({{"run.max_s", 6}}, "settings.dat", text, why)) << why;
    EXPECT_NE(text.find("settings = \"settings.dat\""), std::string::npos) << text;
    EXPECT_EQ(text.find("a \\\" b.dat"), std::string::npos) << text;
}

} // namespace
} // namespace velqa3::sim
