// What beacons tell the driving aids: line voltage, station approach, the TASC stop point,
// announcements and the station ahead. The beacon dispatcher routes them here.
#pragma once

#include "vehicle/line_voltage.h"
#include "vehicle/station_approach.h"
#include "vehicle/supervision.h"
#include "vehicle/tasc.h"

#include <cstdint>

namespace velqa3 {

// Types 55, 56 and 57: the line's nominal voltage, how far it wanders and how fast. Values
// the model cannot use are ignored.
void LineVoltageBeacon(LineVoltageState& voltage, std::int32_t type, std::int32_t optional);

// Type 71, taken only from a moving train: station number in the millions, then the distance
// to the lamp and the length of the approach beyond it, each in 4 m. A negative Optional is
// ignored.
void StationApproachBeacon(StationApproach& approach, std::int32_t optional, float speed);

// Types 120 (m) and 121 (cm): the distance to the stop mark, taken only by a TASC that is
// fitted and switched on, on a train moving forward. A negative distance is ignored.
void TascStopBeacon(TascState& tasc, std::int32_t type, std::int32_t optional, float speed);

// Type 8: the train stops at the station ahead, and announcement channel Optional mod 5 is
// called. A negative Optional names no channel; the beacon is then ignored.
void StopStationBeacon(bool& stopStation, std::int32_t (&announcement)[kAnnouncementChannels],
                       std::int32_t optional);

} // namespace velqa3
