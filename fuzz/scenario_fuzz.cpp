// Reads any bytes as a scenario file, then checks what the rest of velqa3-sim relies on: a
// scenario that was taken stays within every bound its reader promises, and a refusal names a
// place and shows nothing a terminal would obey.
#include "fuzz/fuzz_input.h"
#include "sim/run_limits.h"
#include "sim/scenario.h"
#include "sim/scenario_parts.h"
#include "sim/toml_fields.h"
#include "text/shown.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace velqa3::sim;

void CheckTaken(const Scenario& s) {
    REQUIRE(s.run.maxS > 0.0 && s.run.maxS <= 7 * 86400.0);
    REQUIRE(s.run.intervalMs >= 1 && s.run.jitterMs < s.run.intervalMs);
    REQUIRE(std::fabs(s.run.startLocation) <= 1e9);
    REQUIRE(TextProblem(s.name).empty());
    REQUIRE(s.route.signals.size() <= kMaxSignals && s.route.beacons.size() <= kMaxBeacons);
    REQUIRE(s.route.grades.size() <= kMaxGradients && s.driver.size() <= kMaxDriverSteps);
    REQUIRE(s.expectations.size() <= kMaxExpectations);
    for (const auto* indices : {&s.trace.panel, &s.trace.sound}) {
        std::vector<int> sorted = *indices;
        std::sort(sorted.begin(), sorted.end());
        REQUIRE(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
        REQUIRE(sorted.empty() || (sorted.front() >= 0 && sorted.back() <= 255));
    }
    for (std::size_t i = 0; i < s.route.signals.size(); ++i) {
        const Signal& signal = s.route.signals[i];
        REQUIRE(TextProblem(signal.id).empty());
        REQUIRE(std::fabs(signal.position) <= 1e9);
        REQUIRE(signal.changes.size() <= kMaxSignalChanges);
        if (i > 0) REQUIRE(s.route.signals[i - 1].position <= signal.position);
    }
    for (const Beacon& b : s.route.beacons) {
        REQUIRE(std::fabs(b.position) <= 1e9);
        REQUIRE(b.signal >= -1 && b.signal < static_cast<int>(s.route.signals.size()));
    }
    const RunEstimate estimate = EstimateRun(s);
    REQUIRE(estimate.frames >= 0 && estimate.traceBytes >= 0);
    RunTooLarge(estimate, RunLimits{});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxScenarioBytes) return 0; // refused before it is read
    const std::string text(reinterpret_cast<const char*>(data), size);
    Scenario scenario;
    ScenarioError error;
    if (ParseScenario(text, "fuzz.toml", scenario, error)) {
        CheckTaken(scenario);
        return 0;
    }
    REQUIRE(!error.message.empty() && error.line >= 0);
    const std::string shown = velqa3::text::Shown(error.Text());
    REQUIRE(shown.find('\x1b') == std::string::npos && shown.find('\n') == std::string::npos);
    return 0;
}
