// The five announcement channels beacons call and opening the doors silences.
#pragma once

#include "plugin/host.h"

#include <cstdint>

namespace velqa3 {

inline constexpr int kAnnouncementChannels = 5;

struct Announcements {
    // Host sound commands; silent until a beacon calls one.
    std::int32_t channel[kAnnouncementChannels] = {kSoundStop, kSoundStop, kSoundStop, kSoundStop,
                                                   kSoundStop};
};

} // namespace velqa3
