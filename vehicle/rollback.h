// Roll-back detection: a train moving against its reverser, or moving with none selected.
#pragma once

#include "host/frame.h"

#include <cstdint>

namespace velqa3 {

inline constexpr float kRollbackSpeed = 7.0f; // km/h

// Only lines whose equipment code has bit 0x04 watch for roll-back. The brake latches until
// the reset key.
void RunRollback(const FrameValues& frame, std::int32_t lineCode, std::int32_t reverser,
                 std::uint8_t& brakeDemand, std::uint8_t& soundRequests);

} // namespace velqa3
