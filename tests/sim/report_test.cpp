// The run report as a page: names from a scenario cannot break out of it, and a long run is
// thinned to a page a browser opens while every short brake and every blink stays in it.
#include "sim/plot.h"
#include "sim/report.h"
#include "tests/sim/sim_harness.h"

#include <nlohmann/json.hpp>

namespace velqa3::sim::test {
namespace {

TEST(ReportText, ANameCannotEndTheScriptElementOrTheString) {
    const std::string json = JsonString("B home</script><script>alert(1)\"\\\n\x01\xff\xc3");
    EXPECT_EQ(json.find('<'), std::string::npos) << json;
    EXPECT_EQ(json.find('\n'), std::string::npos) << json;
    EXPECT_EQ(nlohmann::json::parse(json).get<std::string>(),
              "B home</script><script>alert(1)\"\\\n\x01\xEF\xBF\xBD\xEF\xBF\xBD");
    // Japanese names pass as they are.
    EXPECT_EQ(JsonString("場内 信号"), "\"場内 信号\"");
}

nlohmann::json RunData(const std::string& page) {
    const std::string open = "<script type=\"application/json\" id=\"run-data\">";
    const std::size_t from = page.find(open) + open.size();
    return nlohmann::json::parse(page.substr(from, page.find("</script>", from) - from));
}

const nlohmann::json& Column(const nlohmann::json& data, const std::string& key) {
    for (const auto& column : data["columns"])
        if (column["key"] == key) return column["values"];
    static const nlohmann::json none;
    return none;
}

TEST_F(Host, ALongRunIsThinnedAndKeepsEveryShortBrakeAndEveryBlink) {
    sim::Scenario scenario;
    ScenarioError error;
    ASSERT_TRUE(ParseScenario("name = \"long</title>\"\n[trace]\npanel = [5]\n",
                              root_ / "long.toml", scenario, error))
        << error.Text();
    Recorder recorder(scenario);
    ASSERT_TRUE(recorder.Open((root_ / kPlotTrace).string(), (root_ / "events.log").string()));
    std::int32_t panel[256] = {}, sound[256] = {};
    constexpr int kRows = 200000;
    for (int i = 0; i < kRows; ++i) {
        FrameRecord f;
        f.elapsedMs = i * 16;
        f.state.Location = i * 0.25;
        f.state.Speed = 54.0;
        // Two frames of brake once, and a lamp that blinks every 500 frames.
        f.output.Brake = i == 123457 || i == 123458 ? 9 : 0;
        panel[5] = i / 500 % 2;
        f.panel = panel;
        f.sound = sound;
        recorder.Trace(f);
    }
    ASSERT_TRUE(recorder.Close()) << recorder.Problem();
    RunOutcome run;
    std::string why;
    ASSERT_TRUE(WriteReport(scenario, recorder, run, root_, why)) << why;
    const std::string page = ReadWholeFile(root_ / kReportPage);
    EXPECT_NE(page.find("<title>long&lt;/title&gt; - "), std::string::npos);
    const nlohmann::json data = RunData(page);
    EXPECT_EQ(data["rows"], kRows);
    EXPECT_LE(data["shown"].get<int>(), 2 * static_cast<int>(kReportRows) + 1);
    // The brake is drawn as a step: on from the row it was set until the row it was released.
    const auto& brake = Column(data, "brake");
    const auto& x = Column(data, "x");
    const auto set = std::find(brake.begin(), brake.end(), 9);
    ASSERT_NE(set, brake.end());
    const auto at = static_cast<std::size_t>(set - brake.begin());
    EXPECT_EQ(x[at], 123457 * 0.25);
    EXPECT_EQ(brake[at + 1], 0);
    EXPECT_EQ(x[at + 1], 123459 * 0.25);
    const auto& lamp = Column(data, "panel5");
    int blinks = 0;
    for (std::size_t i = 1; i < lamp.size(); ++i)
        blinks += lamp[i] != lamp[i - 1];
    EXPECT_EQ(blinks, kRows / 500 - 1);
    // The page loads nothing from outside itself.
    EXPECT_EQ(page.find(" src="), std::string::npos);
    EXPECT_EQ(page.find(" href="), std::string::npos);
}

} // namespace
} // namespace velqa3::sim::test
