// What a beacon of the route means to the plug-in, in a few words, for the picture and the
// documentation's reader: "10 ST speed check 45 km/h".
#pragma once

#include <cstdint>
#include <string>

namespace velqa3::sim {

std::string BeaconLabel(std::int32_t type, std::int32_t optional);

} // namespace velqa3::sim
