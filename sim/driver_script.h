// When a step of the driver's script is due, and how its actions read in the event log.
#pragma once

#include "sim/scenario.h"

#include <string>

namespace velqa3::sim {

// The train and the plug-in as the driver sees them between two frames.
struct DriverView {
    double elapsedS = 0.0;
    std::int64_t clockMs = 0;
    double location = 0.0;
    double speed = 0.0;          // km/h, absolute
    double sinceLastS = 0.0;     // s since the step before fired (or since the start)
    bool pluginBrake = false;    // the plug-in's brake output is above the driver's notch
    bool movedSinceLast = false; // the train moved since the step before fired
};

bool StepDue(const DriverStep& step, const DriverView& view);
// "power 3, brake 0" and the step's note, for the event log.
std::string DescribeStep(const DriverStep& step);

} // namespace velqa3::sim
