// The panel's display channels: numbered frames that beacons and keys set cycling.
#pragma once

#include "config/settings.h"
#include "host/frame.h"

#include <cstdint>

namespace velqa3 {

inline constexpr int kDisplayChannels = 5;
inline constexpr int kStationChannel = 3;
inline constexpr int kCarNumberChannel = 4;

struct DisplayChannels {
    std::int32_t period[kDisplayChannels] = {};                  // 0 = channel off
    std::int32_t frame[kDisplayChannels] = {-1, -1, -1, -1, -1}; // -1 = blank
    std::int32_t carNumberTimer = 0;                             // ms the car number stays shown
};

// Once a frame, from the supervision step: every 500 ms of the clock each channel with a
// period steps to its next frame (the station channel by the rules of its Station mode), a
// channel without one goes blank, and the car number goes out when its timer has run.
void StepDisplayChannels(DisplayChannels& display, const FrameValues& frame,
                         const Settings& settings);

} // namespace velqa3
