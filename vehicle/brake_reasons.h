// The automatic brake reasons that come from outside the supervision step (the two
// protections and the driver's own emergency handle) and the roll-back check, which raises one.
#pragma once

#include "host/frame.h"

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

inline constexpr float kRollbackSpeed = 7.0f; // km/h

// Only lines whose equipment code has bit 0x04 watch for roll-back. The brake latches until
// the reset key.
void RunRollback(const FrameValues& frame, std::int32_t lineCode, std::int32_t reverser,
                 std::uint8_t& brakeDemand, std::uint8_t& soundRequests);

} // namespace velqa3
