#include "vehicle/aid_beacons.h"

#include "host/host.h"

namespace velqa3 {

void LineVoltageBeacon(LineVoltageState& voltage, std::int32_t type, std::int32_t optional) {
    switch (type) {
    case 55:
        if (optional >= 1) voltage.nominalVoltage = static_cast<float>(optional);
        return;
    case 56:
        if (optional >= 0 && static_cast<float>(optional) < voltage.nominalVoltage)
            voltage.voltageSpread = static_cast<float>(optional);
        return;
    case 57:
        if (optional >= 0 && optional <= 9) voltage.voltageFluctuation = optional;
        return;
    default:
        return;
    }
}

void StationApproachBeacon(StationApproach& approach, std::int32_t optional, float speed) {
    // A negative Optional packs no distances; the route has a mistake, and a lamp lit from it
    // would mislead the driver.
    if (speed == 0.0f || optional < 0) return;
    approach.stationNumber = optional / 1'000'000;
    approach.lampDistance = static_cast<float>(optional / 1000 % 1000 * 4);
    approach.endDistance = approach.lampDistance + static_cast<float>(optional % 1000 * 4);
}

void TascStopBeacon(TascState& tasc, std::int32_t type, std::int32_t optional, float speed) {
    if (!tasc.installed || !tasc.switchedOn || !(speed > 0.0f)) return;
    // A negative distance names no stop point ahead; taking it would drop the one in force.
    if (optional < 0) return;
    // Centimetres are what let TASC judge the ±0.35 m of a stop on the mark, so they are kept.
    tasc.stopDistance =
        type == 121 ? static_cast<float>(optional) / 100.0f : static_cast<float>(optional);
    tasc.targetSet = true;
}

void StopStationBeacon(bool& stopStation, std::int32_t (&announcement)[kAnnouncementChannels],
                       std::int32_t optional) {
    if (optional < 0) return;
    stopStation = true;
    announcement[optional % kAnnouncementChannels] = kSoundPlayOnce;
}

} // namespace velqa3
