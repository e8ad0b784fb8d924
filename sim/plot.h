// The picture of a run: speed over distance, the pattern speed read from the panel, the brake
// output, the beacons and where an automatic brake reason was set; below it the line voltage and
// the brake-cylinder gauge, and the strip of traced lamps and sounds; drawn by gnuplot from the
// trace.
#pragma once

#include "sim/host_run.h"
#include "sim/recorder.h"
#include "sim/scenario.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace velqa3::sim {

// The files of a picture, inside the run folder.
inline constexpr const char* kPlotScript = "plot.gp";
inline constexpr const char* kPlotPicture = "run.png";
inline constexpr const char* kPlotTrace = "trace.csv";
inline constexpr int kPlotWidth = 1400;
inline constexpr int kPlotHeight = 800;
inline constexpr int kPlotTallHeight = 1000; // three panels: speed, voltage and the strip
// Brake reasons labelled at most; further ones are marked, and counted in the picture.
inline constexpr int kMaxBrakeLabels = 20;

// Writes the gnuplot script into the run folder, beside the trace; false, with the file and
// the reason in why, when it could not be written whole.
bool WritePlotScript(const Scenario& scenario, const Recorder& recorder, const RunOutcome& run,
                     const std::filesystem::path& folder, std::string& why);
// The colour a signal is drawn in: by the aspect it showed when passed, grey when never passed.
const char* AspectColour(std::int32_t aspect);
// Runs gnuplot on the script inside the run folder, without a shell, for at most seconds;
// false (and problem says why) when no picture came of it.
inline constexpr int kPlotSeconds = 60;
bool RenderPlot(const std::filesystem::path& folder, std::string& problem,
                int seconds = kPlotSeconds);

// Text as a gnuplot single-quoted string, safe whatever it holds (see plot.cpp).
std::string GnuplotQuoted(std::string_view text);

} // namespace velqa3::sim
