// Platform screen doors that open and close with the train's doors at stations that have them.
#pragma once

#include <cstdint>

namespace velqa3 {

struct PlatformDoorState {
    std::uint8_t DoorsFitted = 0; // both set by the settings only
    std::uint8_t DoorsLinked = 0;
    std::uint8_t Open = 0;
    std::uint8_t Closing = 0;
    std::uint8_t CloseRequested = 0;
    std::uint8_t StationArmed = 0; // a beacon announced a platform with doors ahead
    std::uint8_t AtPlatform = 0;   // the train stands at such a platform
    std::int32_t CloseTime = 0;    // ms of the day at which the platform doors shut
};

} // namespace velqa3
