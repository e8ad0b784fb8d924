// What the driver's handles and keys last reported, between frames.
#pragma once

#include <cstdint>

namespace velqa3 {

namespace MasterKeyBits {
inline constexpr std::uint8_t Inserted = 0x01;
inline constexpr std::uint8_t Configured = 0x10; // the train has a master-controller key
// The polled key has been acted on and must be let go before it turns the key again.
inline constexpr std::uint8_t Handled = 0x20;
inline constexpr std::uint8_t TwoPosition = 0x40; // no key to turn with host key 4
inline constexpr std::uint8_t KeyMode = 0x80;
} // namespace MasterKeyBits

struct DriverInputs {
    std::int32_t brakeNotch = 0; // 0 released, emergency notch = emergency
    std::int32_t powerNotch = 0; // the arbitration clears it when it cuts power
    std::int32_t reverser = 0;
    std::int8_t lastBrakeSeen = 0;   // the previous SetBrake argument
    std::int32_t brakeCallCount = 0; // SetBrake calls; 1 again after a protection reset
    std::uint8_t masterKeyFlags = 0x41;
    std::int8_t masterKeyPosition = 2; // 0..3
    bool doorsClosed = true;
    std::int32_t doorCounter = 0; // door closings, shown on the panel
    std::int8_t holdBrakeKey = 0; // notch held by key 13, 0 when the key is up
    bool key0Held = false;
    bool key11Held = false;
    bool key15Latched = false;
    bool brakeReleasedOnKey13Up = false;
};

} // namespace velqa3
