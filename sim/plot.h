// The picture of a run: speed over distance, the pattern speed read from the panel, the brake
// output and the beacons, drawn by gnuplot from the trace.
#pragma once

#include "sim/recorder.h"
#include "sim/scenario.h"

#include <filesystem>
#include <string>

namespace velqa3::sim {

struct PlotRange {
    double fromM = 0.0;
    double toM = 0.0;
    double topSpeed = 0.0; // km/h
};

// Writes the gnuplot script beside the trace; true when it was written.
bool WritePlotScript(const Scenario& scenario, const Recorder& recorder, PlotRange range,
                     const std::filesystem::path& trace, const std::filesystem::path& picture,
                     const std::filesystem::path& script);
// Runs gnuplot on the script; false (and problem says why) when no picture came of it.
bool RenderPlot(const std::filesystem::path& script, const std::filesystem::path& picture,
                std::string& problem);

} // namespace velqa3::sim
