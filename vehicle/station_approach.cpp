#include "vehicle/station_approach.h"

namespace velqa3 {

void RunStationApproach(StationApproach& approach, const FrameValues& frame) {
    if (approach.endDistance > 0.0f) {
        const float travelled = frame.distanceStep;
        // Saturated: running back a long way must not count to infinity.
        if (approach.lampDistance > 0.0f)
            approach.lampDistance = NarrowToFloat(double{approach.lampDistance} - travelled);
        approach.endDistance = NarrowToFloat(double{approach.endDistance} - travelled);
        // The lamp lights inside 500 m; 500 m left exactly at the end of a frame is not yet.
        if (approach.lampDistance < kApproachLampRange) approach.lamp = 1;
    }
    // Not "else": an approach that ends exactly at the end of this frame has ended, and its
    // lamp must not burn one frame past the station. A non-number (an absurd travel) ends it too.
    if (!(approach.endDistance > 0.0f)) {
        approach.lamp = 0;
        approach.endDistance = 0.0f;
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

} // namespace velqa3
