// The station approach indicator: a lamp lit from a set distance before a station until the
// end of the approach, both loaded by a beacon.
#pragma once

#include "host/frame.h"

#include <cstdint>

namespace velqa3 {

inline constexpr float kApproachLampRange = 500.0f; // m left of the lamp distance when it lights

struct StationApproach {
    std::int32_t stationNumber = 0;
    float lampDistance = 0.0f; // the lamp is lit from 500 m left of it
    float endDistance = 0.0f;  // m left until the approach ends
    std::uint8_t lamp = 0;
};

// Counts both distances down by the frame's travel. The approach that runs out in this frame
// puts the lamp out in this frame.
void RunStationApproach(StationApproach& approach, const FrameValues& frame);

// Type 71, taken only from a moving train: station number in the millions, then the distance
// to the lamp and the length of the approach beyond it, each in 4 m. A negative Optional is
// ignored.
void StationApproachBeacon(StationApproach& approach, std::int32_t optional, float speed);

} // namespace velqa3
