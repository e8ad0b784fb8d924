// Automatic brake reasons collected each frame, and the signal speed-check limits.
#pragma once

#include <cstdint>

namespace velqa3 {

namespace BrakeDemandBits {
inline constexpr std::uint8_t EbHandle = 0x01;
inline constexpr std::uint8_t RollbackBrake = 0x02;
inline constexpr std::uint8_t SlipBrake = 0x04;
inline constexpr std::uint8_t VigilanceBrake = 0x08;
inline constexpr std::uint8_t PtBrake = 0x10;
inline constexpr std::uint8_t StBrake = 0x20;
} // namespace BrakeDemandBits

inline constexpr int kSpeedCheckCodes = 20;

struct Supervision {
    std::uint8_t brakeDemand = 0;                        // any bit forces the emergency notch
    std::int32_t speedCheckLimit[kSpeedCheckCodes] = {}; // km/h per cabSignalCode
};

// Limits per aspect code: -5 means stop (never reachable), 0 no running.
inline void FillSpeedCheckLimits(Supervision& supervision) {
    constexpr std::int32_t kLow[8] = {-5, 0, 25, 40, 55, 65, 75, -5};
    for (int i = 0; i < 8; ++i)
        supervision.speedCheckLimit[i] = kLow[i];
    for (int i = 8; i < kSpeedCheckCodes; ++i)
        supervision.speedCheckLimit[i] = 40 + 5 * i;
}

} // namespace velqa3
