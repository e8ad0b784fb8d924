// Wheel slip and slide: the wheels' speed (the host's Speed) against the speed the train
// really covers ground at (from its location).
#pragma once

#include "host/frame.h"

#include <cstdint>

namespace velqa3 {

struct SlipCheck {
    // The host has just put the train somewhere (Initialize): the next frame's travel is that
    // jump, not the wheels' work, and must not read as a slide.
    bool relocated = false;
};

// Once a frame: a wheel running well ahead of the ground speed is slipping, one well behind it
// under hard deceleration is sliding; either latches SlipBrake. A sharp deceleration with the
// wheels following the ground again releases a slide. A frame of no length or without
// movement tells nothing and changes nothing; nor does the frame after a relocation.
void RunSlipCheck(SlipCheck& check, const FrameValues& frame, std::uint8_t& brakeDemand,
                  std::uint8_t& soundRequests);

} // namespace velqa3
