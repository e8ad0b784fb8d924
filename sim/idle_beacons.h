// Why a beacon the plug-in has just been handed will do nothing: a route author otherwise sees a
// limit on the panel that never brakes, and finds out only by reading the code.
#pragma once

#include "host/diagnostics.h"
#include "host/host.h"

#include <string>

namespace velqa3::sim {

// The reason in a few words, or empty when something will act on the beacon. after is the
// plug-in's state once it has taken the beacon (a beacon may itself change the mode); speed is
// the train's, km/h.
std::string IdleBeaconReason(const BeaconData& beacon, const Diagnostics& after, double speed);

} // namespace velqa3::sim
