// Automatic train stopping.
#pragma once

#include <cstdint>

namespace velqa3 {

struct TascState {
    std::uint8_t mode = 0; // stopping pattern 1..3, 0 when none is configured
    bool braking = false;
    bool targetSet = false;
    bool onMark = false;
    bool rain = false;
    bool switchedOn = false;
    bool installed = false;
    float stopDistance = 0.0f; // m to the stop point
    std::int32_t step = 0;
    std::int32_t brakeCommand = 0; // notch offered to the handle arbitration, 0 for none
    // Brake steps of the TASC command scale: at least the service notches, one fewer when
    // notch 1 holds the train.
    std::int32_t notchSteps = 0;
};

} // namespace velqa3
