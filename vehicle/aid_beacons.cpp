#include "vehicle/aid_beacons.h"

#include "plugin/host.h"

namespace velqa3 {

void LineVoltageBeacon(LineVoltageState& voltage, std::int32_t type, std::int32_t optional) {
    switch (type) {
    case 55:
        if (optional >= 1) voltage.NominalVoltage = static_cast<float>(optional);
        return;
    case 56:
        if (optional >= 0 && static_cast<float>(optional) < voltage.NominalVoltage)
            voltage.VoltageSpread = static_cast<float>(optional);
        return;
    case 57:
        if (optional >= 0 && optional <= 9) voltage.VoltageFluctuation = optional;
        return;
    default:
        return;
    }
}

void StationApproachBeacon(StationApproach& approach, std::int32_t optional, float speed) {
    if (speed == 0.0f) return;
    approach.stationNumber = optional / 1'000'000;
    approach.lampDistance = static_cast<float>(optional / 1000 % 1000 * 4);
    approach.endDistance = approach.lampDistance + static_cast<float>(optional % 1000 * 4);
}

void TascStopBeacon(TascState& tasc, std::int32_t type, std::int32_t optional, float speed) {
    if (tasc.Installed == 0 || tasc.SwitchedOn == 0 || !(speed > 0.0f)) return;
    // Centimetres are what let TASC judge the ±0.35 m of a stop on the mark, so they are kept.
    const float metres =
        type == 121 ? static_cast<float>(optional) / 100.0f : static_cast<float>(optional);
    tasc.StopDistance = metres;
    tasc.TargetSet = 1;
}

void PlatformDoorBeacon(PlatformDoorState& doors, std::int32_t optional, float speed) {
    if (doors.DoorsFitted == 0) return;
    const bool reversing = speed < 0.0f;
    if (optional == 2) {
        doors.StationArmed = 1;
    } else if (optional == 1) {
        if (doors.StationArmed != 0) doors.AtPlatform = reversing ? 0 : 1;
    } else {
        doors.AtPlatform = reversing ? 1 : 0;
    }
}

void StopStationBeacon(StationStop& station, Announcements& announcements, std::int32_t optional) {
    if (optional < 0) return;
    station.stopStation = 1;
    announcements.channel[optional % kAnnouncementChannels] = kSoundPlayOnce;
}

} // namespace velqa3
