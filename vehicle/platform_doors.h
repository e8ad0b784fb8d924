// The platform-door interlock: platform doors that open and close with the train's doors at
// stations that have them.
#pragma once

#include <cstdint>

namespace velqa3 {

namespace PlatformDoorBits {
inline constexpr std::uint8_t DoorsFitted = 0x01;
inline constexpr std::uint8_t DoorsLinked = 0x02;
inline constexpr std::uint8_t Open = 0x04;
inline constexpr std::uint8_t Closing = 0x08;
inline constexpr std::uint8_t CloseRequested = 0x10;
inline constexpr std::uint8_t StationArmed = 0x20;
inline constexpr std::uint8_t AtPlatform = 0x40;
} // namespace PlatformDoorBits

struct PlatformDoorState {
    std::uint8_t flags = 0;
    std::int32_t closeTime = 0; // ms of the day the platform doors finish closing; -1 none
    std::uint8_t lampVariant = 0;
};

// Type 122: 2 announces a platform with doors, 1 marks the train's arrival at it, anything
// else its departure; a train reversing over the beacon undoes what it did.
void PlatformDoorBeacon(PlatformDoorState& doors, std::int32_t optional, float speed);

// The train's doors opened: linked platform doors open with them.
void PlatformDoorsOpened(PlatformDoorState& doors);
// The train's doors closed at clock (ms of the day): linked platform doors close closeMs later.
void PlatformDoorsClosed(PlatformDoorState& doors, std::int32_t clock, std::int32_t closeMs);
// Once a frame: a requested close starts, and a close whose time has passed ends.
void RunPlatformDoorTimer(PlatformDoorState& doors, std::int32_t clock);

} // namespace velqa3
