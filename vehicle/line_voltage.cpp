#include "vehicle/line_voltage.h"

#include <climits>

namespace velqa3 {

std::int32_t PowerAfterReduction(std::int32_t handleNotch, std::int32_t lineVoltage,
                                 std::int32_t powerNotches, const Settings& settings) {
    if (lineVoltage < settings.powerDownV) {
        if (settings.powerDownMode1 != 0 && handleNotch > 1) return handleNotch - 1;
        // The second mode numbers reduced notches above the top notch; the vehicle data says
        // what they do. Saturate rather than wrap for absurd notch counts.
        if (settings.powerDownMode2 != 0 && handleNotch > 0)
            return handleNotch > INT_MAX - powerNotches || powerNotches < 0
                       ? handleNotch
                       : handleNotch + powerNotches;
    }
    return handleNotch;
}

std::int32_t BrakeAfterReduction(std::int32_t handleNotch, std::int32_t lineVoltage,
                                 std::int32_t emergencyNotch, const Settings& settings) {
    if (settings.brakeDownMode == 0 || lineVoltage <= settings.brakeDownV) return handleNotch;
    const std::int32_t lowest = settings.holdBrake != 0 ? 3 : 2;
    if (handleNotch >= lowest && handleNotch < emergencyNotch) return handleNotch - 1;
    return handleNotch;
}

} // namespace velqa3
