#include "sim/run_limits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velqa3::sim {

namespace {
// A trace row: the fixed columns take about 90 bytes and the diagnostics about 40 (a single
// brake reason), each traced panel or sound entry up to 12 more (a comma and a 32-bit value).
constexpr std::int64_t kRowBytes = 130;
constexpr std::int64_t kColumnBytes = 12;
} // namespace

RunEstimate EstimateRun(const Scenario& scenario) {
    const RunSettings& run = scenario.run;
    const double runMs = run.maxS * 1000.0;
    const double shortest = std::max(1, run.intervalMs - run.jitterMs);
    RunEstimate estimate;
    estimate.frames = static_cast<std::int64_t>(std::ceil(runMs / shortest));
    std::int64_t rows = estimate.frames;
    if (scenario.trace.periodMs > 0)
        rows = std::min<std::int64_t>(
            rows, static_cast<std::int64_t>(std::ceil(runMs / scenario.trace.periodMs)) + 1);
    const auto columns =
        static_cast<std::int64_t>(scenario.trace.panel.size() + scenario.trace.sound.size());
    estimate.traceBytes = (rows + 1) * (kRowBytes + kColumnBytes * columns);
    return estimate;
}

std::string RunTooLarge(const RunEstimate& estimate, const RunLimits& limits) {
    char text[400];
    if (estimate.frames > limits.maxFrames) {
        std::snprintf(text, sizeof text,
                      "the run would take up to %lld frames, more than the limit of %lld; "
                      "shorten max_s, lengthen interval_ms, or raise the limit with --max-frames",
                      static_cast<long long>(estimate.frames),
                      static_cast<long long>(limits.maxFrames));
        return text;
    }
    const std::int64_t traceMb = (estimate.traceBytes + (1 << 20) - 1) >> 20;
    if (traceMb > limits.maxTraceMb) {
        std::snprintf(text, sizeof text,
                      "the trace would take about %lld MB, more than the limit of %lld MB; "
                      "shorten max_s, trace one row per period ([trace] period_ms), or raise "
                      "the limit with --max-trace-mb",
                      static_cast<long long>(traceMb), static_cast<long long>(limits.maxTraceMb));
        return text;
    }
    return "";
}

} // namespace velqa3::sim
