// What the stand-in host shows of the plug-in's automatic brakes, TASC and line voltage: the
// trace's last columns, the event log, the brake reason and TASC expectations, and what it says
// of a library that tells none of it.
#include "sim/brake_reason_names.h"
#include "tests/sim/sim_harness.h"

namespace velqa3::sim::test {
namespace {

TEST(BrakeReasonNames, EveryBitByItsNameJoinedLowestFirst) {
    EXPECT_EQ(BrakeReasonNames(0), "");
    EXPECT_EQ(BrakeReasonNames(0x08), "VigilanceBrake");
    EXPECT_EQ(BrakeReasonNames(0x3F),
              "EbHandle+RollbackBrake+SlipBrake+VigilanceBrake+PtBrake+StBrake");
    // A bit no reason owns is shown, not dropped.
    EXPECT_EQ(BrakeReasonNames(0x90), "PtBrake+0x80");
    EXPECT_EQ(BrakeReasonBit("PtBrake"), 0x10);
    EXPECT_FALSE(BrakeReasonBit("ptbrake"));
}

Lines LinesOf(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Cells(const std::string& row) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(row);
    while (std::getline(in, cell, ','))
        cells.push_back(cell);
    if (!row.empty() && row.back() == ',') cells.emplace_back();
    return cells;
}

// Nobody touches the handles after 1 s: the vigilance device warns, and brakes 5 s later.
std::string Unattended(const std::string& expectations) {
    return R"(name = "unattended"
[run]
settings = "vigilance.dat"
interval_ms = 20
max_s = 50
[[driver]]
at_s = 1
reverser = 1
brake = 0
power = 4
)" + expectations;
}

class Diagnosed : public Host {
  protected:
    void SetUp() override {
        Host::SetUp();
        std::ofstream(root_ / "vigilance.dat") << "[TRAIN]\nEmgBrake=3\n";
    }
};

TEST_F(Diagnosed, AVigilanceBrakeShowsInTheTraceTheEventLogAndItsExpectation) {
    const SimRun run = Run(Unattended(R"(
[[expect]]
brake_reason = "VigilanceBrake"
between_s = [42, 46]
[[expect]]
brake_reason = "PtBrake"
)"),
                           VELQA3_PLUGIN_PATH);
    EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
    EXPECT_TRUE(run.Printed("ok: the automatic brake reason VigilanceBrake is set between 42.00 s "
                            "and 46.00 s: first at 44.38 s"))
        << run.output;
    EXPECT_TRUE(run.Printed("FAILED: the automatic brake reason PtBrake is set: never"))
        << run.output;

    const Lines events = LinesOf(ReadWholeFile(run.folder / "events.log"));
    const auto said = [&](const std::string& text) {
        return std::count_if(events.begin(), events.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    };
    EXPECT_EQ(said("automatic brake: VigilanceBrake set"), 1);
    EXPECT_EQ(said("offers no diagnostics"), 0);

    const Lines trace = LinesOf(ReadWholeFile(run.folder / "trace.csv"));
    ASSERT_GT(trace.size(), 2u);
    const std::vector<std::string> header = Cells(trace[0]);
    ASSERT_GE(header.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(header.end() - 6, header.end()),
              (std::vector<std::string>{"tasc_distance_m", "tasc_step", "brake_demand",
                                        "brake_reasons", "line_voltage_v", "bc_display_kpa"}));
    const std::vector<std::string> first = Cells(trace[1]), last = Cells(trace.back());
    ASSERT_EQ(last.size(), header.size()) << trace.back();
    EXPECT_EQ(first[header.size() - 3], "");
    EXPECT_EQ(last[header.size() - 4], "8");
    EXPECT_EQ(last[header.size() - 3], "VigilanceBrake");
    EXPECT_EQ(last[header.size() - 6], "") << "no TASC stop point, no distance";
    EXPECT_GT(std::stoi(last[header.size() - 2]), 1000) << "line voltage";
}

// The route author's trap: a limit beacon that selects a variant with no pattern checker shows
// on the panel and never brakes. The log says so once, the summary counts it, and a scenario
// that expects every beacon to act fails on it.
TEST_F(Diagnosed, ABeaconThatNothingActsOnIsNamedInTheLogAndCanBeExpectedAbsent) {
    const std::string route = R"(name = "unenforced"
[run]
settings = "vigilance.dat"
interval_ms = 20
max_s = 40
[[signal]]
id = "S1"
position = 3000
aspect = 4
[[beacon]]
position = 100
type = 60
signal = "S1"
[[beacon]]
position = 300
type = 205
optional = 200030
[[driver]]
at_s = 1
reverser = 1
brake = 0
power = 5
[[driver]]
at_location = 350
end = true
[[driver]]
speed_above = 60
power = 0
)";
    const SimRun run = Run(route + "[[expect]]\nno_idle_beacons = true\n", VELQA3_PLUGIN_PATH);
    EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
    EXPECT_TRUE(run.Printed("FAILED: every beacon the plug-in takes has an effect: 1 did nothing, "
                            "first beacon type 205 at 300.0 m does nothing: it shows on the panel, "
                            "but protection mode 68 (0x44) has no pattern checker"))
        << run.output;
    EXPECT_TRUE(run.Printed("1 beacon without effect")) << run.output;
    const Lines events = LinesOf(ReadWholeFile(run.folder / "events.log"));
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& line) {
                                return line.find("warning: beacon type") != std::string::npos;
                            }),
              1);
}

TEST_F(Host, ALibraryWithoutDiagnosticsLeavesTheColumnsEmptyAndSaysSoOnce) {
    const SimRun run = Run(R"(name = "probe"
driver = [{ at_s = 1, end = true }]
[[expect]]
brake_reason = "VigilanceBrake"
[[expect]]
tasc_stop_within = 0.35
)");
    EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_TRUE(run.Printed("NOT CHECKED: the automatic brake reason VigilanceBrake is set: cannot "
                            "be checked with this library"))
        << run.output;
    EXPECT_TRUE(run.Printed("NOT CHECKED: the train first stands within 0.35 m of the TASC stop"))
        << run.output;
    const std::string events = ReadWholeFile(run.folder / "events.log");
    const std::size_t at = events.find("the library offers no diagnostics");
    ASSERT_NE(at, std::string::npos) << events;
    EXPECT_EQ(events.find("the library offers no diagnostics", at + 1), std::string::npos);
    const Lines trace = LinesOf(ReadWholeFile(run.folder / "trace.csv"));
    ASSERT_GT(trace.size(), 1u);
    EXPECT_EQ(trace[1].substr(trace[1].size() - 6), ",,,,,,") << trace[1];
}

TEST_F(Host, MalformedBrakeReasonAndTascExpectationsAreNamed) {
    const auto refused = [&](const std::string& expect, const std::string& message) {
        const SimRun run = Run("name = \"bad\"\n[[expect]]\n" + expect + "\n");
        EXPECT_EQ(run.exitCode, 2) << expect;
        EXPECT_TRUE(run.Said(message)) << expect << "\n" << run.errors;
    };
    refused("brake_reason = \"Vigilance\"",
            "scenario.toml:3: expect[1].brake_reason: must be one of EbHandle, RollbackBrake");
    refused("brake_reason = 8", "expect[1].brake_reason: must be a string");
    refused("brake_reason = \"PtBrake\"\nbetween_m = [1, 2]\nbetween_s = [1, 2]",
            "cannot be given with between_m");
    refused("tasc_stop_within = 0", "expect[1].tasc_stop_within: must be above 0");
}

} // namespace
} // namespace velqa3::sim::test
