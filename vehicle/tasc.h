// Automatic train stopping.
#pragma once

#include <cstdint>

namespace velqa3 {

struct TascState {
    // Brake steps of the TASC command scale: at least the service notches, one fewer when
    // notch 1 holds the train.
    std::int32_t notchSteps = 0;

    std::uint8_t Installed = 0;  // fitted to the train
    std::uint8_t SwitchedOn = 0; // switched on by the driver (fitted trains start on)
    float StopDistance = 0.0f;   // m to the stop point; negative after an overrun
    std::uint8_t TargetSet = 0;  // a stop beacon has come since the last stop was finished
};

} // namespace velqa3
