// Reasons for an automatic emergency brake. Each subsystem that raises one owns its bit; any
// bit set forces the emergency notch.
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

inline void SetDemand(std::uint8_t& demand, std::uint8_t bit, bool on) {
    demand = static_cast<std::uint8_t>(on ? demand | bit : demand & ~bit);
}

} // namespace velqa3
