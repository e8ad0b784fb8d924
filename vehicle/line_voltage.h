// The overhead line voltage and what it does to the power and brake notches.
#pragma once

#include "config/settings.h"
#include "host/driver_inputs.h"
#include "host/frame.h"
#include "host/host.h"

#include <cstdint>

namespace velqa3 {

struct LineVoltageState {
    std::int32_t lineVoltage = 1620; // V, at the pantograph

    // What the line's beacons say about it (types 55, 56, 57).
    float nominalVoltage = 1730.0f;      // V
    float voltageSpread = 30.0f;         // V either side of nominal the voltage wanders
    std::int32_t voltageFluctuation = 4; // 0..9; 0 holds the voltage still

    float voltageBase = 1730.0f;          // V at the substation side, before the train's current
    std::int32_t regenLossMargin = 0;     // V; while > 0 regeneration has dropped out
    std::int32_t lastHighVoltageTime = 0; // ms of the day the line was last above EGBStart
};

// Step 13 of a frame: the line's wander on its 250 ms boundaries, the drop or rise from the
// train's own current, and the loss of regeneration when the line cannot take any more, which
// opens the reverser output for this frame.
void RunLineVoltage(LineVoltageState& voltage, const FrameValues& frame, const Settings& settings,
                    const DriverInputs& driver, HandleOutput& output);

// The power notch the host gets for the driver's notch: a weak line cannot feed full power.
std::int32_t PowerAfterReduction(std::int32_t handleNotch, std::int32_t lineVoltage,
                                 std::int32_t powerNotches, const Settings& settings);

// The driver's own brake notch, one lower while the line is too high to take back the
// regenerated current.
std::int32_t BrakeAfterReduction(std::int32_t handleNotch, std::int32_t lineVoltage,
                                 std::int32_t emergencyNotch, const Settings& settings);

// Types 55, 56 and 57: the line's nominal voltage, how far it wanders and how fast. Values
// the model cannot use are ignored.
void LineVoltageBeacon(LineVoltageState& voltage, std::int32_t type, std::int32_t optional);

} // namespace velqa3
