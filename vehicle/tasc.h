// Automatic train stopping.
#pragma once

#include <cstdint>

namespace velqa3 {

struct TascState {
    // Brake steps of the TASC command scale: at least the service notches, one fewer when
    // notch 1 holds the train.
    std::int32_t notchSteps = 0;
};

} // namespace velqa3
