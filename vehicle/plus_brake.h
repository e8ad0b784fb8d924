// The pressure-increase brake: at high speed the service notches are raised to stronger ones
// the vehicle data numbers past the emergency notch.
#pragma once

#include "config/settings.h"

#include <cstdint>

namespace velqa3 {

namespace PlusBrakeBits {
inline constexpr std::uint8_t Configured = 0x01;
inline constexpr std::uint8_t EmergencyBoost = 0x02;
inline constexpr std::uint8_t Active = 0x04;
inline constexpr std::uint8_t Lamp = 0x08;
} // namespace PlusBrakeBits

struct PlusBrake {
    std::uint8_t state = 0; // PlusBrakeBits
    std::int32_t notch = 0; // output while the pressure-increase brake acts
};

// What the pressure-increase brake reads besides the settings.
struct PlusBrakeInputs {
    float speed = 0.0f;      // km/h
    std::int32_t handle = 0; // the driver's brake notch
    std::int32_t serviceNotches = 0;
    std::int32_t emergencyNotch = 0;
    bool brakeDemand = false; // any automatic brake reason is present
};

// Once a frame: switches the boost on and off by speed and handle, and works out the notch the
// handle arbitration outputs while it is active.
void RunPlusBrake(PlusBrake& brake, const PlusBrakeInputs& in, const Settings& settings);

} // namespace velqa3
