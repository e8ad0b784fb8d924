#include "host/frame.h"

#include <cmath>

namespace velqa3 {

namespace {

float FiniteOr(float value, float fallback) {
    return std::isfinite(value) ? value : fallback;
}

} // namespace

std::int32_t FrameInterval(std::int32_t previousClock, std::int32_t time) {
    const std::int64_t step = std::int64_t{time} - previousClock;
    if (step >= 0) return step > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(step);
    const std::int64_t wrapped = step + kMsPerDay;
    if (wrapped > 0 && wrapped <= kMaxMidnightStep) return static_cast<std::int32_t>(wrapped);
    return 0;
}

void CaptureFrame(FrameValues& frame, const VehicleState& host) {
    VehicleState& state = frame.state;
    state.Time = host.Time;
    state.Location = std::isfinite(host.Location) ? host.Location : state.Location;
    state.Speed = FiniteOr(host.Speed, state.Speed);
    state.BcPressure = FiniteOr(host.BcPressure, state.BcPressure);
    state.MrPressure = FiniteOr(host.MrPressure, state.MrPressure);
    state.ErPressure = FiniteOr(host.ErPressure, state.ErPressure);
    state.BpPressure = FiniteOr(host.BpPressure, state.BpPressure);
    state.SapPressure = FiniteOr(host.SapPressure, state.SapPressure);
    state.Current = FiniteOr(host.Current, state.Current);

    frame.interval = FrameInterval(frame.clock, state.Time);
    frame.clock = state.Time;
    frame.locationStep = state.Location - frame.lastLocation;
    frame.lastLocation = state.Location;
    frame.speed = state.Speed;
    frame.distanceStep = NarrowToFloat(state.Location - frame.previousLocation);
    frame.mrPressure = state.MrPressure;
    // A frame of no length tells nothing about acceleration: keep the last estimate rather
    // than divide by zero, and likewise when extreme speeds overflow the estimate.
    if (frame.interval > 0) {
        const float change = (frame.speed - frame.previousSpeed) * 1000.0f;
        const float estimate = change / static_cast<float>(frame.interval);
        if (std::isfinite(estimate)) frame.acceleration = static_cast<double>(estimate);
    }
    frame.panelLocation += frame.distanceStep;
}

} // namespace velqa3
