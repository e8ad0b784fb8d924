// Which protection is in force: shared by both protections, the driver inputs and the cab.
#pragma once

#include <cstdint>

namespace velqa3 {

namespace AtsModeBits {
inline constexpr std::uint8_t Spot = 0x02;
inline constexpr std::uint8_t Pattern = 0x04;
inline constexpr std::uint8_t SpotTypes12And13 = 0x08;
inline constexpr std::uint8_t PatternAspectTable = 0x10;
} // namespace AtsModeBits

// The change-over switch in cabSwitches: in its pattern-only position the spot protection
// stands aside.
namespace ChangeOverSwitch {
inline constexpr std::uint8_t Mask = 0x0C;
inline constexpr std::uint8_t PatternOnly = 0x08;
} // namespace ChangeOverSwitch

struct ModeGlobals {
    std::uint8_t atsMode = 0; // 0 until the protection is switched on
    std::uint8_t atsModePanel = 0;
    std::int32_t lineCode = 4; // line equipment; [TRAIN] Default, then type-50 beacons
    std::uint8_t cabSwitches = 0x81;
    std::uint8_t dualEquipped = 0;
    std::uint8_t acceptSpotBeacons = 0;
    std::uint8_t cabSignalMode = 0;
    std::int32_t cabSignalCode = 0;
    std::int32_t currentAspect = 0;
    std::uint8_t atsStarted = 0;
};

} // namespace velqa3
