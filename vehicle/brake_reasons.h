// The automatic brake reasons that come from outside the supervision step: the two
// protections and the driver's own emergency handle.
#pragma once

#include <cstdint>

namespace velqa3 {

struct ProtectionReasons {
    bool stEmergency = false; // the spot protection's emergency relay
    bool ptEmergency = false; // the pattern protection's emergency latch
    bool ebHandle = false;    // the driver's handle stands at the emergency notch
};

// Copies the three reasons into the demand flags; they hold only as long as their source does.
// A new protection emergency also asks the sound stage for the alarm.
void CollectProtectionReasons(const ProtectionReasons& reasons, std::uint8_t& brakeDemand,
                              std::uint8_t& soundRequests);

// Sets a latched supervision reason and asks the sound stage for the alarm.
void RaiseAlarmedDemand(std::uint8_t flag, std::uint8_t& brakeDemand, std::uint8_t& soundRequests);

} // namespace velqa3
