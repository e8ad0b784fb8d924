// The overhead line voltage and what it does to the power and brake notches.
#pragma once

#include "config/settings.h"

#include <cstdint>

namespace velqa3 {

struct LineVoltageState {
    std::int32_t lineVoltage = 1620; // V
    std::int32_t atsTestTimer = 0;   // ms left of the protection's start-up test
};

// The power notch the host gets for the driver's notch: a weak line cannot feed full power.
std::int32_t PowerAfterReduction(std::int32_t handleNotch, std::int32_t lineVoltage,
                                 std::int32_t powerNotches, const Settings& settings);

// The driver's own brake notch, one lower while the line is too high to take back the
// regenerated current.
std::int32_t BrakeAfterReduction(std::int32_t handleNotch, std::int32_t lineVoltage,
                                 std::int32_t emergencyNotch, const Settings& settings);

} // namespace velqa3
