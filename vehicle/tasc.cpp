#include "vehicle/tasc.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace velqa3 {

namespace {

// Within this of the mark a train counts as stopped on it.
constexpr float kOnMarkTolerance = 0.35f; // m

std::int32_t SaturateToInt32(std::int64_t value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

void Reset(TascState& tasc) {
    tasc.brakeCommand = 0;
    tasc.step = 0;
    tasc.stopDistance = 0.0f;
    tasc.braking = false;
    tasc.targetSet = false;
    tasc.onMark = false;
}

// The pattern is the speed from which the pattern's deceleration stops the train at the mark,
// v = sqrt(2·b·d): k below is 2·b in m/s², so 3.6·sqrt(k·d) is in km/h. Mode 3 aims 2 m short
// with fixed decelerations of 2.5 km/h/s (k = 2·2.5/3.6) or, on wet rail, 1.75 km/h/s.
bool FasterThanPattern(const TascState& tasc, double v, double deceleration) {
    const double d = static_cast<double>(tasc.stopDistance) + v / 3.6; // one second ahead
    double k = 0.0;
    double reach = d;
    switch (tasc.mode) {
    case 1:
        k = deceleration;
        break;
    case 2:
        k = 2.0 * deceleration;
        break;
    default:
        k = tasc.rain ? 0.9722222 : 1.388889;
        reach = d - 2.0;
        break;
    }
    if (reach < 0.0) return false; // past the pattern's end: it gives no speed
    return v > 3.6 * std::sqrt(k * reach);
}

// The step that brakes at least as hard as the deceleration still needed, a = v²/(2·s) in m/s²
// with v in km/h (2·3.6² = 25.92); the full scale of N steps gives the TASC deceleration.
std::int32_t NeededStep(const TascState& tasc, double v, double deceleration) {
    const std::int32_t steps = tasc.notchSteps;
    const double s = tasc.stopDistance;
    if (s <= 0.0) return steps;
    const bool aimShort = tasc.mode == 3 && s >= 5.0 && v > 7.34;
    const double needed = v * v / (25.92 * (aimShort ? s - 2.0 : s));
    const double share = static_cast<double>(steps) * needed / deceleration;
    // No usable deceleration configured, or more needed than the scale gives: the whole scale.
    if (!(share >= 0.0 && share < static_cast<double>(steps))) return steps;
    return static_cast<std::int32_t>(share) + 1;
}

// Steps beyond the service notches are numbered past the emergency notch, where the vehicle
// data gives them their own brake forces.
std::int32_t StepNotch(std::int32_t step, std::int32_t steps, std::int32_t serviceNotches,
                       const Settings& settings) {
    const std::int64_t service = serviceNotches;
    if (std::int64_t{steps} + 1 <= service) return step;
    std::int64_t notch = step + (settings.plusBrakeConfigured != 0 ? 2 * service : service);
    if (settings.holdBrake != 0) --notch;
    if (settings.plusBrakeEmergencyBoost != 0) ++notch;
    if (notch == service + 1) ++notch; // never the emergency notch itself
    return SaturateToInt32(notch);
}

std::int32_t StandHoldNotch(std::int32_t steps, std::int32_t serviceNotches,
                            const Settings& settings) {
    std::int64_t notch = std::int64_t{steps} + 2 * std::int64_t{serviceNotches};
    if (settings.holdBrake != 0) --notch;
    if (settings.plusBrakeEmergencyBoost != 0) ++notch;
    return SaturateToInt32(notch);
}

void AtStand(TascState& tasc, std::int32_t handle, std::int32_t serviceNotches,
             const Settings& settings) {
    if (tasc.targetSet && std::fabs(tasc.stopDistance) <= kOnMarkTolerance) tasc.onMark = true;
    const bool holdBrake = settings.holdBrake != 0;
    const bool takenOver = holdBrake ? tasc.braking && handle > 4 : handle > 3;
    if (takenOver) {
        const bool onMark = tasc.onMark; // shown until the train moves off
        Reset(tasc);
        tasc.onMark = onMark;
    } else if (tasc.braking) {
        tasc.brakeCommand = StandHoldNotch(tasc.notchSteps, serviceNotches, settings);
        tasc.step = 1;
    }
}

} // namespace

bool TascActive(const TascState& tasc) {
    return tasc.installed && tasc.switchedOn && tasc.mode != 0;
}

void SetTascNotchSteps(TascState& tasc, std::int32_t configuredNotch, std::int32_t serviceNotches,
                       bool holdBrake) {
    tasc.notchSteps = configuredNotch;
    if (configuredNotch <= serviceNotches) {
        tasc.notchSteps = serviceNotches;
        if (holdBrake && serviceNotches != INT32_MIN) --tasc.notchSteps;
    }
    // A new vehicle mid-stop: the step shown until the next frame recounts it must lie on the
    // new scale.
    tasc.step = std::clamp(tasc.step, 0, std::max(tasc.notchSteps, 0));
}

void RunTasc(TascState& tasc, const FrameValues& frame, const DriverInputs& driver,
             const Settings& settings, std::int32_t serviceNotches) {
    // Without a single step on its scale (a vehicle without service notches) TASC has no notch
    // to offer, so it stays as inert as one switched off.
    if (!TascActive(tasc) || tasc.notchSteps < 1) {
        Reset(tasc);
        return;
    }
    const double v = frame.speed;
    const double deceleration = settings.tascDeceleration;
    if (tasc.stopDistance > 0.0f) {
        const double travelled = static_cast<double>(frame.interval) * v / 3600.0;
        tasc.stopDistance = NarrowToFloat(static_cast<double>(tasc.stopDistance) - travelled);
    }

    if (!tasc.braking && tasc.stopDistance > 0.0f) {
        // The first braking notch follows in the next frame.
        if (FasterThanPattern(tasc, v, deceleration)) tasc.braking = true;
        tasc.step = 0;
        tasc.brakeCommand = 0;
    } else if (tasc.braking) {
        const std::int32_t step = NeededStep(tasc, v, deceleration);
        tasc.step = step;
        tasc.brakeCommand = StepNotch(step, tasc.notchSteps, serviceNotches, settings);
    } else {
        tasc.step = 0;
        tasc.brakeCommand = 0;
    }

    if (frame.speed != 0.0f)
        tasc.onMark = false;
    else
        AtStand(tasc, driver.brakeNotch, serviceNotches, settings);
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

} // namespace velqa3
