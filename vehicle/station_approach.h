// The station approach indicator: a lamp lit from a set distance before a station until the
// end of the approach, both loaded by a beacon.
#pragma once

#include <cstdint>

namespace velqa3 {

struct StationApproach {
    std::int32_t stationNumber = 0;
    float lampDistance = 0.0f; // m left until the lamp comes on (below 500 m)
    float endDistance = 0.0f;  // m left until the approach ends
    std::uint8_t lamp = 0;
};

} // namespace velqa3
