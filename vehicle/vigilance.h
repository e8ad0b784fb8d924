// The vigilance device: a driver who does nothing for too long is warned, then braked.
#pragma once

#include "config/settings.h"
#include "host/frame.h"
#include "host/host.h"

#include <cstdint>

namespace velqa3 {

inline constexpr float kVigilanceSpeed = 15.0f; // km/h; below it the driver is not watched

struct Vigilance {
    std::int32_t timer = 0; // ms without a driver action above 15 km/h
    bool warning = false;
    std::int32_t buzzer = kSoundStop; // host sound command
};

// What the device reads besides the frame and the settings.
struct VigilanceInputs {
    std::uint8_t cabSwitches = 0;         // bit 0x80: the device is switched in
    std::int32_t previousBrakeOutput = 0; // the brake command the host got last frame
    std::int32_t emergencyNotch = 0;
};

// Once a frame: counts the time without a driver action while running, warns with the buzzer
// and finally sets VigilanceBrake. A limit reached exactly at the end of a frame counts.
void RunVigilance(Vigilance& vigilance, const FrameValues& frame, const Settings& settings,
                  const VigilanceInputs& in, std::uint8_t& brakeDemand);

void ResetVigilance(Vigilance& vigilance);

// Any handle, horn or acknowledge action restarts the device, unless it has already braked:
// then only the emergency handle lets it go (see VigilanceEmergencyHandle).
void VigilanceDriverAction(Vigilance& vigilance, std::uint8_t brakeDemand);

// The driver putting the handle to emergency acknowledges a vigilance brake.
void VigilanceEmergencyHandle(Vigilance& vigilance, std::uint8_t& brakeDemand);

} // namespace velqa3
