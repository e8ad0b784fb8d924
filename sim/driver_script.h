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

// What the driver's handles were when a host key went down.
struct CabView {
    std::int32_t brake = 0;
    std::int32_t reverser = 0;
    double speed = 0.0; // km/h, as the plug-in was last told
};
// The host key's function, for the event log ("ATS confirm"), or empty for a key without one.
const char* KeyName(int key);
// Why the plug-in passes over a host key with the cab as it is, for keys whose conditions the
// host interface fixes (confirm, protection reset); empty when nothing stands in the way.
std::string KeyIgnoredBecause(int key, const CabView& cab, const VehicleSpec& spec);
// "power 3, brake 0" and the step's note, for the event log.
std::string DescribeStep(const DriverStep& step);

} // namespace velqa3::sim
