#include "vehicle/announcements.h"

#include "host/host.h"

namespace velqa3 {

void SettleAnnouncements(std::int32_t (&announcement)[kAnnouncementChannels]) {
    for (std::int32_t& channel : announcement)
        if (channel == kSoundPlayOnce) channel = kSoundLoop;
}

void StopStationBeacon(bool& stopStation, std::int32_t (&announcement)[kAnnouncementChannels],
                       std::int32_t optional) {
    if (optional < 0) return;
    stopStation = true;
    announcement[optional % kAnnouncementChannels] = kSoundPlayOnce;
}

} // namespace velqa3
