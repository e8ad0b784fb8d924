// The vigilance device: a driver who does nothing for too long is warned, then braked.
#pragma once

#include "host/host.h"

#include <cstdint>

namespace velqa3 {

struct Vigilance {
    std::int32_t timer = 0; // ms without a driver action above 15 km/h
    bool warning = false;
    std::int32_t buzzer = kSoundStop; // host sound command
};

void ResetVigilance(Vigilance& vigilance);

// Any handle, horn or acknowledge action restarts the device, unless it has already braked:
// then only the emergency handle lets it go (see VigilanceEmergencyHandle).
void VigilanceDriverAction(Vigilance& vigilance, std::uint8_t brakeDemand);

// The driver putting the handle to emergency acknowledges a vigilance brake.
void VigilanceEmergencyHandle(Vigilance& vigilance, std::uint8_t& brakeDemand);

} // namespace velqa3
