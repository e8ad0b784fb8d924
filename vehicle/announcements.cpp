#include "vehicle/announcements.h"

#include "host/host.h"

namespace velqa3 {

void SettleAnnouncements(std::int32_t (&announcement)[kAnnouncementChannels]) {
    for (std::int32_t& channel : announcement)
        if (channel == kSoundPlayOnce) channel = kSoundLoop;
}

} // namespace velqa3
