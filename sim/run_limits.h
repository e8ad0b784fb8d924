// How much work a scenario asks for, reckoned before anything runs: a mistyped interval or
// limit (interval_ms = 1 with max_s = 604800) would otherwise fill the disc for hours.
#pragma once

#include "sim/scenario.h"

#include <cstdint>
#include <string>

namespace velqa3::sim {

// A scenario file, and a settings file it names, are read whole; anything larger is refused.
inline constexpr std::uintmax_t kMaxScenarioBytes = 4u << 20;
inline constexpr std::uintmax_t kMaxSettingsBytes = 4u << 20;

struct RunLimits {
    std::int64_t maxFrames = 50'000'000; // about a minute of the host's work
    std::int64_t maxTraceMb = 1024;
};

struct RunEstimate {
    std::int64_t frames = 0;     // at most, with every interval as short as the jitter allows
    std::int64_t traceBytes = 0; // about
};

RunEstimate EstimateRun(const Scenario& scenario);
// Why the run exceeds a limit (the estimate, and the option that raises it), or empty.
std::string RunTooLarge(const RunEstimate& estimate, const RunLimits& limits);

} // namespace velqa3::sim
