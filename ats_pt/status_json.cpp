// The status message of the pattern protection, sent to whoever listens twice a second.
#include "ats_pt/ptc.h"

#include "host/json_number.h"

#include <cstdio>

namespace velqa3 {

const char* PTC::StatusJson(float currentSpeed) {
    std::snprintf(statusJson, sizeof statusJson,
                  "{\"Ats\":{\"ApproachNo\":%d, \"Spd\":%.1f}, "
                  "\"Sig\":{\"Dis\":%.1f, \"PtnDis\":%.1lf, \"PtnSpd\":%.1f}, "
                  "\"NSD\":{\"Mode\":%d, \"Dis\":%.1f}, "
                  "\"Lim\":{\"Dis\":%.1f, \"PtnDis\":%.1f, \"PtnSpd\":%.1f, \"Spd\":%.1f}, "
                  "\"LimDo\":{\"Dis\":%.1f, \"Spd\":%.1f, \"Max\":%.1f}, "
                  "\"Beacon\":{\"Type\":%d, \"Signal\":%d, \"Optional\":%d}}",
                  static_cast<int>(approachNo), JsonNumber(currentSpeed), JsonNumber(sigDis),
                  JsonNumber(sigPtnDis), JsonNumber(sigPtnSpd), static_cast<int>(nsdMode),
                  JsonNumber(nsdDis), JsonNumber(limDis), JsonNumber(limPtnDis),
                  JsonNumber(limPtnSpd), JsonNumber(limSpd), JsonNumber(limDoDis),
                  JsonNumber(limDoSpd), JsonNumber(limDoMax), static_cast<int>(lastBeacon.Type),
                  static_cast<int>(lastBeacon.Signal), static_cast<int>(lastBeacon.Optional));
    return statusJson;
}

} // namespace velqa3
