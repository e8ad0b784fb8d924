#include "vehicle/one_man_door_timer.h"

namespace velqa3 {

bool RunOneManDoorTimer(OneManDoorTimer& timer, const CabKeys& keys, std::int32_t interval) {
    using namespace OneManBits;
    if ((keys.oneManDoors & Fitted) == 0) return false;
    const bool buttonsOut = (keys.oneManDoors & (Right | Left)) == 0;
    const bool wereOut = (keys.previousOneManDoors & (Right | Left)) == 0;
    if ((keys.oneManDoors & Closed) == 0 && buttonsOut && !wereOut)
        timer.remaining = kOneManCloseDelay;
    if (timer.remaining == 0) return false;
    timer.remaining -= interval; // interval is never negative
    if (timer.remaining > 0) return false;
    timer.remaining = 0;
    return true;
}

} // namespace velqa3
