#include "vehicle/line_voltage.h"

#include "platform/platform.h"

#include <climits>
#include <cmath>
#include <cstdint>

namespace velqa3 {

namespace {

constexpr std::int32_t kWanderPeriod = 250; // ms

// Truncation toward zero that saturates instead of leaving the int range (the C conversion
// would be undefined there).
std::int32_t SaturatingTrunc(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

// The runtime's generator is reseeded every step, from the clock of the day, the calendar
// time and the brake cylinder, so two runs seldom wander alike. The seed is taken modulo 2^32
// as the runtime's unsigned seed takes it.
void Wander(LineVoltageState& voltage, const FrameValues& frame) {
    const std::int32_t fluctuation = voltage.voltageFluctuation;
    if (fluctuation > 0 && fluctuation < 10) {
        const std::int64_t seed = std::int64_t{frame.clock} - platform::CalendarTime() +
                                  SaturatingTrunc(frame.state.BcPressure);
        platform::SeedRandom(static_cast<std::uint32_t>(static_cast<std::uint64_t>(seed)));
        const int r = platform::Random() % (fluctuation * 20 + 1);
        voltage.voltageBase =
            static_cast<float>(voltage.voltageBase + (r * 0.1 - fluctuation * 1.0));
    }
    const float low = voltage.nominalVoltage - voltage.voltageSpread;
    const float high = voltage.nominalVoltage + voltage.voltageSpread;
    if (voltage.voltageBase < low) voltage.voltageBase = low;
    if (voltage.voltageBase > high) voltage.voltageBase = high;
    if (voltage.regenLossMargin > 0) voltage.regenLossMargin -= 5;
}

// The line's resistance turns the train's current into a drop of |I|·I / 1500 · F / 3 volts:
// a traction current pulls the voltage down, a regenerating one pushes it up. While
// regeneration has dropped out the margin raises the voltage back by margin² in the same units.
// Worked in double, where even the largest float current squared stays finite, so a
// fluctuation of 0 removes the current's effect instead of giving infinity times zero.
std::int32_t PantographVoltage(const LineVoltageState& voltage, double current) {
    const double base = voltage.voltageBase;
    const double fluctuation = voltage.voltageFluctuation;
    const double squared = std::fabs(current) * current;
    if (current < 0.0) return SaturatingTrunc(base - squared / 1500.0 * fluctuation / 3.0);
    const double margin = voltage.regenLossMargin;
    const std::int32_t v =
        SaturatingTrunc(base - (squared - margin * margin) / 1500.0 * fluctuation / 3.0);
    return v < 0 ? 0 : v;
}

} // namespace

void RunLineVoltage(LineVoltageState& voltage, const FrameValues& frame, const Settings& settings,
                    const DriverInputs& driver, HandleOutput& output) {
    if (CrossesBoundary(frame.clock, frame.interval, kWanderPeriod)) Wander(voltage, frame);

    // In double: a huge CurrentK must saturate the voltage, not overflow a float into infinity.
    const double current = static_cast<double>(frame.state.Current) * settings.currentK;
    voltage.lineVoltage = PantographVoltage(voltage, current);

    const std::int64_t lossAt = std::int64_t{settings.egbEnd} - voltage.regenLossMargin;
    const bool braking = driver.powerNotch == 0 && driver.brakeNotch != 0;
    if (voltage.lineVoltage > lossAt && braking) {
        output.Reverser = 0;
        if (voltage.regenLossMargin <= 0)
            voltage.regenLossMargin = SaturatingTrunc(std::fabs(current * 1.25));
        return;
    }
    voltage.regenLossMargin = 0;
    if (voltage.lineVoltage > settings.egbStart) voltage.lastHighVoltageTime = frame.clock;
}

std::int32_t PowerAfterReduction(std::int32_t handleNotch, std::int32_t lineVoltage,
                                 std::int32_t powerNotches, const Settings& settings) {
    if (lineVoltage < settings.powerDownV) {
        if (settings.powerDownMode1 != 0 && handleNotch > 1) return handleNotch - 1;
        // The second mode numbers reduced notches above the top notch; the vehicle data says
        // what they do. Saturate rather than wrap for absurd notch counts.
        if (settings.powerDownMode2 != 0 && handleNotch > 0)
            return powerNotches < 0 || handleNotch > INT32_MAX - powerNotches
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

} // namespace velqa3
