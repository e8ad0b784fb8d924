#include "vehicle/platform_doors.h"

#include "host/frame.h"

namespace velqa3 {

namespace {
void SetFlag(std::uint8_t& flags, std::uint8_t flag, bool on) {
    flags = static_cast<std::uint8_t>(on ? flags | flag : flags & ~flag);
}
} // namespace

void PlatformDoorBeacon(PlatformDoorState& doors, std::int32_t optional, float speed) {
    using namespace PlatformDoorBits;
    if ((doors.flags & DoorsFitted) == 0) return;
    const bool reversing = speed < 0.0f;
    if (optional == 2)
        doors.flags |= StationArmed;
    else if (optional != 1)
        SetFlag(doors.flags, AtPlatform, reversing);
    else if ((doors.flags & StationArmed) != 0)
        SetFlag(doors.flags, AtPlatform, !reversing);
}

void PlatformDoorsOpened(PlatformDoorState& doors) {
    using namespace PlatformDoorBits;
    if ((doors.flags & (DoorsFitted | DoorsLinked)) != (DoorsFitted | DoorsLinked)) return;
    doors.closeTime = -1;
    doors.flags |= Open;
}

void PlatformDoorsClosed(PlatformDoorState& doors, std::int32_t clock, std::int32_t closeMs) {
    using namespace PlatformDoorBits;
    if ((doors.flags & (DoorsFitted | DoorsLinked)) != (DoorsFitted | DoorsLinked)) return;
    const std::int64_t due = static_cast<std::int64_t>(clock) + closeMs;
    doors.closeTime = static_cast<std::int32_t>(due % kMsPerDay);
    doors.flags &= static_cast<std::uint8_t>(~StationArmed);
    doors.flags |= CloseRequested;
}

void RunPlatformDoorTimer(PlatformDoorState& doors, std::int32_t clock) {
    using namespace PlatformDoorBits;
    std::uint8_t& flags = doors.flags;
    if ((flags & DoorsFitted) == 0) return;
    if ((flags & (DoorsLinked | CloseRequested)) == (DoorsLinked | CloseRequested)) {
        flags &= static_cast<std::uint8_t>(~CloseRequested);
        flags |= Closing;
    }
    if ((flags & Closing) != 0 && clock > doors.closeTime)
        flags &= static_cast<std::uint8_t>(~(Open | Closing));
}

} // namespace velqa3
