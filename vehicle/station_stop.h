// What the route told the train about the station ahead: whether it stops there, and its id.
#pragma once

#include <cstdint>

namespace velqa3 {

struct StationStop {
    std::uint8_t stopStation = 0; // set by a beacon of type 8, cleared when the doors open
    std::int32_t stationId = 0;   // the Optional of the latest beacon of type 9
};

} // namespace velqa3
