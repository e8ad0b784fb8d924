// The platform-door interlock: platform doors that open and close with the train's doors at
// stations that have them.
#pragma once

#include "host/frame.h"

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
    // The close is timed by counting the delay down frame by frame from the clock at which the
    // train's doors closed, so a delay that runs over midnight ends when it should.
    std::int32_t closeFrom = 0; // ms of the day the train's doors closed
    std::int32_t closeLeft = 0; // ms still to wait once closing
};

// Type 122: 2 announces a platform with doors, 1 marks the train's arrival at it, anything
// else its departure; a train reversing over the beacon undoes what it did.
void PlatformDoorBeacon(PlatformDoorState& doors, std::int32_t optional, float speed);

// The train's doors opened: linked platform doors open with them, and a close still waiting
// for its delay is called off.
void PlatformDoorsOpened(PlatformDoorState& doors);
// The train's doors closed at clock (ms of the day): linked platform doors close closeMs later.
void PlatformDoorsClosed(PlatformDoorState& doors, std::int32_t clock, std::int32_t closeMs);
// Once a frame: a requested close starts, and a close whose delay has run out (this frame
// included) ends.
void RunPlatformDoorTimer(PlatformDoorState& doors, const FrameValues& frame);

} // namespace velqa3
