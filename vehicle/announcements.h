// The five announcement channels that stop beacons call and opening the doors silences.
#pragma once

#include "vehicle/supervision.h"

#include <cstdint>

namespace velqa3 {

// A called channel (play once, 1) becomes 0 before the sound stage writes it: the host plays
// the announcement in a loop until the doors open and silence it.
void SettleAnnouncements(std::int32_t (&announcement)[kAnnouncementChannels]);

// Type 8: the train stops at the station ahead, and announcement channel Optional mod 5 is
// called. A negative Optional names no channel; the beacon is then ignored.
void StopStationBeacon(bool& stopStation, std::int32_t (&announcement)[kAnnouncementChannels],
                       std::int32_t optional);

} // namespace velqa3
