// The report of a run: one HTML file that any browser opens with no network, the charting
// library inline. Speed, pattern speed and brake output over distance with the route's marks,
// the line voltage and the brake-cylinder gauge, and the strip of lamps and sounds, on one
// distance axis that zooms together, with a cursor that reads every value at a point. Made from
// the trace after the run, so the frames pay nothing for it.
#pragma once

#include "sim/host_run.h"
#include "sim/recorder.h"
#include "sim/scenario.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace velqa3::sim {

inline constexpr const char* kReportPage = "report.html";
// Rows of the trace a report carries at most: every so many rows one, plus as many rows where a
// step changes (a notch, a lamp, a sound) again, so that a blink or a short brake is not
// thinned away.
inline constexpr std::size_t kReportRows = 20000;

// Writes report.html into the run folder from the trace beside it; false, with the file and the
// reason in why, when it could not be written whole.
bool WriteReport(const Scenario& scenario, const Recorder& recorder, const RunOutcome& run,
                 const std::filesystem::path& folder, std::string& why);

// Text as a JSON string that may stand inside an HTML script element: no "</script", no
// control characters, and bytes that are not UTF-8 as U+FFFD, so a name from the scenario
// never ends the element or the string.
std::string JsonString(std::string_view text);

} // namespace velqa3::sim
