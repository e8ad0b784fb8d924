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

// The whole values of atsMode that keys and beacons set.
enum AtsMode : std::uint8_t {
    kAtsOff = 0,                 // not yet switched on
    kAtsSpot = 0x02,             // spot protection alone
    kAtsPattern = 0x04,          // pattern protection alone
    kAtsSpotPairs = 0x08,        // spot beacons of types 12 and 13
    kAtsAspectTableStart = 0x10, // the aspect-table variant, before its pattern starts
    kAtsDual = 0x07,             // both protections, on a line that has both
    kAtsDualSpotPairs = 0x0F,    // both, with the spot pairs of types 12 and 13
    kAtsAspectTable = 0x15,      // the aspect-table variant's pattern released
    kAtsTrackVariant = 0x47,     // the pattern variant of types 130-149, 200, 205-207
    kAtsTargetVariant = 0x85,    // the pattern variant of types 101-119
};

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
