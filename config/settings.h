// Values of the settings file with their compiled-in defaults. Every subsystem reads them from
// here; only the settings reader writes them.
#pragma once

#include <cstdint>

namespace velqa3 {

struct Settings {
    // [TRAIN]
    std::uint8_t holdBrake = 0; // handle notch 1 is a holding notch
    float length = 0.0f;        // m; 0 means cars x 20 m

    // [TASC]
    std::int32_t tascNotch = 2; // notch scale of the TASC brake command
};

} // namespace velqa3
