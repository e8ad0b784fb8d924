// The one-man doors close by themselves a while after the lit door button is released.
#pragma once

#include "vehicle/cab_keys.h"

#include <cstdint>

namespace velqa3 {

inline constexpr std::int32_t kOneManCloseDelay = 3500; // ms

struct OneManDoorTimer {
    std::int32_t remaining = 0; // ms until the doors close, 0 when none is due
};

// Once a frame, with one-man operation fitted: starts the delay when the last lit button goes
// out with the doors open, counts it down, and says when the doors are to close (the frame that
// uses up the delay closes them).
bool RunOneManDoorTimer(OneManDoorTimer& timer, const CabKeys& keys, std::int32_t interval);

} // namespace velqa3
