// Timers of panel lamps that blink for a while after an event.
#pragma once

#include <cstdint>

namespace velqa3 {

struct PanelTimers {
    // ms the spot-protection lamp of the [DC25] cab keeps blinking after leaving pattern
    // territory
    std::int32_t dc25BlinkTimer = 0;
};

} // namespace velqa3
