// The values one frame captures from the host and later stages read.
#pragma once

#include "host/host.h"

#include <cfloat>
#include <cstdint>

namespace velqa3 {

inline constexpr std::int32_t kMsPerDay = 86'400'000;
// A backwards step of the clock no longer than this is taken as the day wrapping at midnight;
// a longer one is the host restarting the run at another time.
inline constexpr std::int32_t kMaxMidnightStep = 60'000;

// A double beyond the float range has no float value; distances counted in float saturate
// instead of becoming infinite.
inline float NarrowToFloat(double value) {
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

struct FrameValues {
    std::int32_t clock = 0;    // ms of the day, latest full frame
    std::int32_t interval = 0; // ms since the previous full frame
    float speed = 0.0f;        // km/h
    double lastLocation = 0.0;
    double locationStep = 0.0;
    float distanceStep = 0.0f;
    double panelLocation = 0.0;
    double acceleration = 0.0; // km/h per s
    double previousAcceleration = 0.0;
    float mrPressure = 0.0f;

    float previousSpeed = 0.0f;
    double previousLocation = 0.0;
    std::int8_t previousKeyPosition = 0;
    std::int32_t previousReverser = 0;
    std::int32_t previousBrakeNotch = 0;
    float previousPatternSpeed = 0.0f; // km/h
    std::int32_t displayedBrakeNotch = 0;

    // The host's state of the latest full frame, with values that are not numbers replaced by
    // the last ones that were, so no stage ever computes with them.
    VehicleState state{};
};

// Milliseconds from the previous frame clock to time. Forward steps are taken as they are
// (saturating); a short backwards step is the midnight wrap; any other backwards step (a
// restart at an earlier time) counts as no time passing.
std::int32_t FrameInterval(std::int32_t previousClock, std::int32_t time);

// Whether the frame ending at clock, interval ms long, crossed a multiple of period ms,
// midnight included. The frame (clock - interval, clock] holds a multiple exactly when the
// clock lies less than interval past the latest one at or before it; counting from below
// zero too (the step past midnight starts below 0), that is the remainder taken upward. Inline,
// since a frame asks it several times with constant periods.
inline bool CrossesBoundary(std::int32_t clock, std::int32_t interval, std::int32_t period) {
    if (period <= 0 || interval <= 0) return false;
    std::int32_t sincePrevious = clock % period;
    if (sincePrevious < 0) sincePrevious += period;
    return sincePrevious < interval;
}

// Step 2 of a full frame: takes the host's state into the frame values.
void CaptureFrame(FrameValues& frame, const VehicleState& host);

} // namespace velqa3
