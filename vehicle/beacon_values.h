// Values that beacons of types 250 to 255 hand to the panel as they are.
#pragma once

#include <cstdint>

namespace velqa3 {

inline constexpr int kBeaconValues = 6;
inline constexpr std::int32_t kFirstBeaconValueType = 250;

struct BeaconValues {
    std::int32_t value[kBeaconValues] = {}; // of types 250..255
};

} // namespace velqa3
