// The beacon dispatcher: decides by a beacon's type, and by the protection mode in force,
// whether it goes to the spot protection, to the pattern protection, changes the mode, or
// feeds a driving aid or the panel.
#pragma once

#include "config/settings.h"
#include "host/host.h"
#include "plugin/state.h"

namespace velqa3 {

// Hands a beacon to whoever takes it: a protection, a driving aid, the panel, or the mode.
// The router holds no state of its own; type 80 sets the panel location in the frame.
void DispatchBeacon(const BeaconData& beacon, const Settings& settings, FrameValues& frame,
                    Protection& protection, Aids& aids, CabState& cab);

// The packed forms some beacons are turned into before the pattern protection takes them.
// Each gives the Optional of the converted beacon.

// Type 22: the distance to the signal, d + Offset, as the first distance group of a type-100
// beacon, the other two groups as far as they reach.
std::int32_t PackSignalDistance(float distance);
// Types 205 to 207 with a limit speed: Optional = distance in m × 1000 + speed in km/h, into
// the type-105 limit form (speed in 5 km/h, distance in 4 m, the longest length).
std::int32_t PackTrackLimit(std::int32_t optional);
// Type 4 on the aspect-table variant with a limit speed: Optional = track position of the
// limit's start in m × 100 + speed in 5 km/h, into the type-70 limit form.
std::int32_t PackPositionLimit(std::int32_t optional, double location);

} // namespace velqa3
