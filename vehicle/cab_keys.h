// Cab switches and doors worked by the keys the plug-in polls itself.
#pragma once

#include <cstdint>

namespace velqa3 {

namespace OneManBits {
inline constexpr std::uint8_t Right = 0x01; // right-side door button lit
inline constexpr std::uint8_t Left = 0x02;
inline constexpr std::uint8_t Closed = 0x04; // one-man doors closed
inline constexpr std::uint8_t AllCars = 0x08;
inline constexpr std::uint8_t Fitted = 0x80;
} // namespace OneManBits

struct CabKeys {
    std::uint8_t oneManDoors = 0;
    std::uint8_t previousOneManDoors = 0;
    bool ebnfbSwitch = true;
    bool recordSwitch = false;
};

} // namespace velqa3
