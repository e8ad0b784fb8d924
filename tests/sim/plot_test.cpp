// The picture of a run, read back from the PNG and the script that drew it: the whole route,
// signals in the colour they showed, labelled beacons that keep apart, the notches by name.
#include "sim/plot.h"
#include "tests/sim/sim_harness.h"

#include <cstdio>

namespace velqa3::sim::test {
namespace {

struct PngSize {
    unsigned width = 0, height = 0;
};

PngSize SizeOf(const fs::path& png) {
    const std::string bytes = ReadWholeFile(png);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {};
    const auto big = [&](std::size_t at) {
        unsigned value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {big(16), big(20)};
}

// The script's line that begins with prefix, or empty.
std::string LineWith(const std::string& script, const std::string& prefix) {
    const std::size_t at = script.find("\n" + prefix);
    if (at == std::string::npos) return "";
    return script.substr(at + 1, script.find('\n', at + 1) - at - 1);
}

double LabelHeight(const std::string& line) {
    double height = -1.0;
    const std::size_t at = line.find(", graph ");
    if (at != std::string::npos) std::sscanf(line.c_str() + at, ", graph %lf", &height);
    return height;
}

std::string Scenario(int patternPanel) {
    return R"(name = "picture"
signal = [{ id = "near", position = 30, aspect = 0 }, { id = "far", position = 5000, aspect = 4 }]
beacon = [{ position = 20, type = 10, optional = 450 }, { position = 21, type = 0 }]
driver = [{ reverser = 1, brake = 0, power = 5 }, { at_location = 60, end = true }]
[run]
max_s = 60
[trace]
pattern_speed_panel = )" +
           std::to_string(patternPanel) + "\n";
}

TEST_F(Host, ThePictureShowsTheWholeRouteAndWhatTheTrainMetOnIt) {
    const SimRun run = Run(Scenario(10), VELQA3_PROBE_PATH, {});
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;
    const PngSize size = SizeOf(run.folder / "run.png");
    EXPECT_EQ(size.width, 1400u);
    EXPECT_EQ(size.height, 800u);
    const std::string script = ReadWholeFile(run.folder / "plot.gp");

    // The train stopped short of 100 m; the axis still reaches the far signal.
    double from = 0, to = 0;
    ASSERT_EQ(
        std::sscanf(LineWith(script, "set xrange").c_str(), "set xrange [%lf:%lf]", &from, &to), 2)
        << script;
    EXPECT_LE(from, 0.0);
    EXPECT_GE(to, 5000.0);
    // Passed at stop: red; never reached: grey, and said so.
    EXPECT_NE(LineWith(script, "set arrow from 30, graph 0").find("'#d62728'"), std::string::npos)
        << script;
    EXPECT_NE(LineWith(script, "set arrow from 5000, graph 0").find("'#999999'"), std::string::npos)
        << script;
    EXPECT_NE(script.find("'far: 4 (not passed)'"), std::string::npos) << script;
    // Two beacons a metre apart: both named with their meaning, on different rows.
    const std::string check = LineWith(script, "set label '10 ST speed check 45 km/h'");
    const std::string alarm = LineWith(script, "set label '0 ST alarm (stop aspect)'");
    ASSERT_FALSE(check.empty()) << script;
    ASSERT_FALSE(alarm.empty()) << script;
    EXPECT_NE(LabelHeight(check), LabelHeight(alarm));
    // The brake axis names the ATS and the emergency notch.
    const std::string tics = LineWith(script, "set y2tics");
    EXPECT_NE(tics.find("'ATS 2' 2"), std::string::npos) << tics;
    EXPECT_NE(tics.find("'EB 9' 9"), std::string::npos) << tics;
    EXPECT_NE(script.find("title 'pattern speed (panel 10)'"), std::string::npos) << script;
}

TEST_F(Host, APanelTheRunNeverSetIsLeftOutOfThePictureAndSaidSo) {
    const SimRun run = Run(Scenario(12), VELQA3_PROBE_PATH, {});
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_EQ(SizeOf(run.folder / "run.png").width, 1400u);
    const std::string script = ReadWholeFile(run.folder / "plot.gp");
    EXPECT_EQ(script.find("pattern speed (panel"), std::string::npos) << script;
    EXPECT_NE(LineWith(script, "set title")
                  .find("pattern speed panel 12 stayed 0 all run: not "
                        "drawn"),
              std::string::npos)
        << script;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

TEST_F(Host, BrakeMarksAreLabelledUpToTheCapAndTheVoltagePanelFollowsTheDiagnostics) {
    sim::Scenario scenario;
    ScenarioError error;
    ASSERT_TRUE(ParseScenario("name = \"marks\"\n", root_ / "marks.toml", scenario, error))
        << error.Text();
    const Recorder recorder(scenario);
    RunOutcome run;
    run.highest = 3000.0;
    run.diagnostics = true;
    for (int i = 0; i < 30; ++i)
        run.brakeMarks.Add({100.0 * i, 0x08});
    std::string why;
    ASSERT_TRUE(WritePlotScript(scenario, recorder, run, root_, why)) << why;
    std::string script = ReadWholeFile(root_ / kPlotScript);
    // Every mark is drawn in both panels; only kMaxBrakeLabels are named, the rest counted.
    EXPECT_EQ(Count(script, "nohead lc rgb '#e377c2'"), 60u) << script;
    EXPECT_EQ(Count(script, "set label 'VigilanceBrake'"), 20u) << script;
    EXPECT_NE(script.find("'10 more automatic brake reasons set than named (at most 20)"),
              std::string::npos)
        << script;
    const std::string volts = "using 3:" + std::to_string(recorder.LineVoltageColumn()) + " with";
    EXPECT_NE(script.find(volts), std::string::npos) << script;

    // A run keeps the first kMaxBrakeMarks and counts the rest.
    for (std::size_t i = 30; i < kMaxBrakeMarks + 5; ++i)
        run.brakeMarks.Add({2900.0, 0x08});
    EXPECT_EQ(run.brakeMarks.end() - run.brakeMarks.begin(), 1000);
    EXPECT_EQ(run.brakeMarks.leftOut(), 5u);

    run.diagnostics = false;
    run.brakeMarks = {};
    ASSERT_TRUE(WritePlotScript(scenario, recorder, run, root_, why)) << why;
    script = ReadWholeFile(root_ / kPlotScript);
    EXPECT_EQ(script.find("line voltage"), std::string::npos) << script;
    EXPECT_EQ(script.find("multiplot"), std::string::npos) << script;
}

} // namespace
} // namespace velqa3::sim::test
