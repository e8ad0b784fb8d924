// What the driver's handles and keys last reported, between frames.
#pragma once

#include <cstdint>

namespace velqa3 {

struct DriverInputs {
    std::int32_t brakeNotch = 0; // 0 released, emergency notch = emergency
    std::int32_t powerNotch = 0;
    std::int32_t reverser = 0;
    std::uint8_t masterKeyFlags = 0x41; // bit 7 key mode, bit 4 key configured, bit 0 inserted
    std::int8_t masterKeyPosition = 2;
};

} // namespace velqa3
