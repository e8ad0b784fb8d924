// The overhead line voltage as the cab sees it: a value wandering about the nominal voltage of
// the line, pulled down by traction current and up by regeneration.
#pragma once

#include <cstdint>

namespace velqa3 {

struct LineVoltageState {
    float VoltageBase = 1730.0f;          // V, the wandering value before the current's effect
    float NominalVoltage = 1730.0f;       // V, set by beacons of type 55
    float VoltageSpread = 30.0f;          // V either side of nominal, set by type 56
    std::int32_t VoltageFluctuation = 4;  // 0..9, set by type 57; 0 freezes the voltage
    std::int32_t LineVoltage = 1620;      // V
    std::int32_t RegenLossMargin = 0;     // V
    std::int32_t LastHighVoltageTime = 0; // ms of the day
};

} // namespace velqa3
