// The panel's five animated display channels (destination, station name, car number …): each
// steps through its frames with a period beacons and keys set.
#pragma once

#include <cstdint>

namespace velqa3 {

inline constexpr int kDisplayChannels = 5;

struct DisplayChannels {
    std::int32_t period[kDisplayChannels] = {}; // 0 off; negative periods stop at the doors
    std::int32_t frame[kDisplayChannels] = {-1, -1, -1, -1, -1}; // -1 blank
    std::int32_t previousTime = 0;                               // ms of the day
    std::int32_t carNumberTimer = 0;                             // ms the car number stays shown
};

} // namespace velqa3
