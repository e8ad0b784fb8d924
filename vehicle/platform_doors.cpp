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
    // Platform doors must not shut on passengers boarding through train doors that opened
    // again while the close was still waiting.
    doors.flags &= static_cast<std::uint8_t>(~(Closing | CloseRequested));
    doors.flags |= Open;
}

void PlatformDoorsClosed(PlatformDoorState& doors, std::int32_t clock, std::int32_t closeMs) {
    using namespace PlatformDoorBits;
    if ((doors.flags & (DoorsFitted | DoorsLinked)) != (DoorsFitted | DoorsLinked)) return;
    const std::int32_t delay = closeMs < 0 ? 0 : closeMs;
    const std::int64_t due = static_cast<std::int64_t>(clock) + delay;
    doors.closeTime = static_cast<std::int32_t>(due % kMsPerDay);
    doors.closeFrom = clock;
    doors.closeLeft = delay;
    doors.flags &= static_cast<std::uint8_t>(~StationArmed);
    doors.flags |= CloseRequested;
}

void RunPlatformDoorTimer(PlatformDoorState& doors, const FrameValues& frame) {
    using namespace PlatformDoorBits;
    std::uint8_t& flags = doors.flags;
    if ((flags & DoorsFitted) == 0) return;
    // What has passed since the train's doors closed: for a close that starts now, the time
    // from its clock (the doors may have closed between frames or within this one); for one
    // already running, this frame.
    std::int32_t passed = 0;
    if ((flags & (DoorsLinked | CloseRequested)) == (DoorsLinked | CloseRequested)) {
        flags &= static_cast<std::uint8_t>(~CloseRequested);
        flags |= Closing;
        passed = FrameInterval(doors.closeFrom, frame.clock);
    } else if ((flags & Closing) != 0) {
        passed = frame.interval;
    }
    if ((flags & Closing) == 0) return;
    // The doors shut only once the clock is past the close time: a frame that ends exactly on
    // it, or a frame of no length at a delay of 0, leaves them open.
    if (passed > doors.closeLeft)
        flags &= static_cast<std::uint8_t>(~(Open | Closing));
    else
        doors.closeLeft -= passed;
}

} // namespace velqa3
