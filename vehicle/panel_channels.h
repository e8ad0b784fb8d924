// The panel's display channels: numbered frames that beacons and keys set cycling.
#pragma once

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

} // namespace velqa3
