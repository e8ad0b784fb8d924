#include "vehicle/plus_brake.h"

#include <cstdint>

namespace velqa3 {

namespace {

using namespace PlusBrakeBits;

// Notch arithmetic on host-given values saturates instead of wrapping.
std::int32_t Saturate(std::int64_t value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

void SetActive(std::uint8_t& state, bool on) {
    state = static_cast<std::uint8_t>(on ? state | Active | Lamp : state & ~(Active | Lamp));
}

} // namespace

void RunPlusBrake(PlusBrake& brake, const PlusBrakeInputs& in, const Settings& settings) {
    std::uint8_t& state = brake.state;
    std::int32_t& notch = brake.notch;
    if ((state & Configured) == 0) {
        state = 0;
        notch = in.handle;
        return;
    }
    const bool hold = settings.holdBrake != 0;
    const bool active = (state & Active) != 0;
    const bool boosting = (state & EmergencyBoost) != 0 && in.brakeDemand;
    // With a holding brake, notch 1 only holds the train; it does not count as braking.
    const std::int32_t firstBrakingNotch = hold ? 2 : 1;
    if (boosting) {
        if (in.speed >= settings.pbEnd && !active)
            SetActive(state, true);
        else if (in.speed <= settings.pbEnd)
            SetActive(state, false);
    } else if (!active && in.speed >= settings.pbStart && in.handle != in.emergencyNotch &&
               in.handle >= firstBrakingNotch) {
        SetActive(state, true);
    } else if ((in.speed < settings.pbEnd && active) || in.handle < firstBrakingNotch) {
        SetActive(state, false);
    }

    if ((state & Active) != 0) {
        const std::int64_t eb = in.emergencyNotch;
        if (boosting)
            notch = Saturate(2 * eb - (hold ? 1 : 0));
        else if (hold && in.handle <= 1)
            notch = in.handle;
        else
            notch = Saturate(std::int64_t{in.handle} + in.serviceNotches + (hold ? 0 : 1));
    } else if (in.handle == 0 && !in.brakeDemand) {
        notch = 0;
    }
}

} // namespace velqa3
