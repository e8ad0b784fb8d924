// A sweep's inputs: the first line as a --vary text, the rest as the scenario. What the sweep
// relies on: the values of a vary text stay within its range, ascending, and bounded in number;
// a scenario the reader took reads back the same after the sweep wrote it out as a case, with
// and without a value set; and nothing of it reaches a terminal unescaped.
#include "fuzz/fuzz_input.h"
#include "sim/run_limits.h"
#include "sim/scenario.h"
#include "sim/sweep.h"
#include "text/shown.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace velqa3::sim;

void CheckSame(const Scenario& a, const Scenario& b) {
    REQUIRE(a.run.maxS == b.run.maxS && a.run.intervalMs == b.run.intervalMs);
    REQUIRE(a.run.startLocation == b.run.startLocation && a.run.seed == b.run.seed);
    REQUIRE(a.route.signals.size() == b.route.signals.size());
    REQUIRE(a.route.beacons.size() == b.route.beacons.size());
    for (std::size_t i = 0; i < a.route.beacons.size(); ++i)
        REQUIRE(a.route.beacons[i].position == b.route.beacons[i].position &&
                a.route.beacons[i].type == b.route.beacons[i].type);
    REQUIRE(a.driver.size() == b.driver.size());
    REQUIRE(a.expectations.size() == b.expectations.size());
    REQUIRE(a.trace.panel == b.trace.panel);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxScenarioBytes) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = bytes.find('\n');
    const std::string vary = bytes.substr(0, newline);
    const std::string text = newline == std::string::npos ? "" : bytes.substr(newline + 1);

    SweepAxis axis;
    std::string why;
    const bool varies = ParseVary(vary, axis, why);
    if (varies) {
        REQUIRE(!axis.values.empty() && axis.values.size() <= kMaxSweepCases);
        REQUIRE(std::is_sorted(axis.values.begin(), axis.values.end()));
        REQUIRE(axis.key.size() <= kMaxSweepKeyBytes);
    } else {
        REQUIRE(!why.empty());
        const std::string shown = velqa3::text::Shown(vary + ": " + why);
        REQUIRE(shown.find('\x1b') == std::string::npos);
    }

    Scenario base;
    ScenarioError error;
    if (!ParseScenario(text, "fuzz.toml", base, error) && error.key != "sweep") return 0;
    SweepScenario tree;
    REQUIRE(tree.Load(text, "fuzz.toml", why));
    std::vector<std::string> table;
    tree.SweepTable(table, why);
    REQUIRE(table.size() <= kMaxSweepKeys);

    // Written out with nothing set, the scenario reads back as it was (the name aside).
    std::string caseText;
    REQUIRE(tree.CaseText({}, std::nullopt, caseText, why));
    Scenario again;
    if (error.key.empty()) {
        REQUIRE(ParseScenario(caseText, "fuzz.toml", again, error));
        CheckSame(base, again);
    }
    // With a value set, the case is either refused with a reason, or reads as a scenario or is
    // refused by the reader with a place.
    if (varies && tree.CaseText({{axis.key, axis.values.back()}}, std::nullopt, caseText, why)) {
        if (!ParseScenario(caseText, "fuzz.toml", again, error)) REQUIRE(!error.message.empty());
    } else if (varies) {
        REQUIRE(!why.empty());
    }
    return 0;
}
