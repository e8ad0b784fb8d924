// Automatic brake reasons collected each frame, and the driving aids that raise them.
#pragma once

#include "host/brake_demand.h"
#include "host/host.h"
#include "vehicle/plus_brake.h"
#include "vehicle/slip.h"
#include "vehicle/speed_check.h"
#include "vehicle/vigilance.h"

#include <cstdint>

namespace velqa3 {

inline constexpr int kAnnouncementChannels = 5;

struct Supervision {
    std::uint8_t brakeDemand = 0; // any bit forces the emergency notch

    Vigilance vigilance;

    PlusBrake plusBrake;
    SpeedCheck speedCheck;

    SlipCheck slip;

    // Host sound commands; silent until a beacon calls one.
    std::int32_t announcement[kAnnouncementChannels] = {kSoundStop, kSoundStop, kSoundStop,
                                                        kSoundStop, kSoundStop};
};

} // namespace velqa3
