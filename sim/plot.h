// The picture of a run: speed over distance, the pattern speed read from the panel, the brake
// output and the beacons, drawn by gnuplot from the trace.
#pragma once

#include "sim/recorder.h"
#include "sim/scenario.h"

#include <filesystem>
#include <string>

namespace velqa3::sim {

// The files of a picture, inside the run folder.
inline constexpr const char* kPlotScript = "plot.gp";
inline constexpr const char* kPlotPicture = "run.png";
inline constexpr const char* kPlotTrace = "trace.csv";
inline constexpr int kPlotWidth = 1400;
inline constexpr int kPlotHeight = 800;

struct PlotRange {
    double fromM = 0.0;
    double toM = 0.0;
    double topSpeed = 0.0; // km/h
};

// Writes the gnuplot script into the run folder, beside the trace; true when it was written.
bool WritePlotScript(const Scenario& scenario, const Recorder& recorder, PlotRange range,
                     const std::filesystem::path& folder);
// Runs gnuplot on the script inside the run folder, without a shell; false (and problem says
// why) when no picture came of it.
bool RenderPlot(const std::filesystem::path& folder, std::string& problem);

} // namespace velqa3::sim
