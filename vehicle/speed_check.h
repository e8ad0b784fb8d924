// The signal speed check of cab-signal lines: each aspect code has a limit, and a train above
// it is braked, first with full service, then with a reduced notch.
#pragma once

#include "host/frame.h"
#include "host/host.h"
#include "host/mode.h"

#include <cstdint>

namespace velqa3 {

inline constexpr int kSpeedCheckCodes = 20;
// Over the limit this long (ms), full service gives way to the reduced notch.
inline constexpr std::int32_t kFullServiceTime = 1000;

namespace SpeedCheckStates {
inline constexpr std::int32_t Within = 0;
inline constexpr std::int32_t Reduced = 1;
inline constexpr std::int32_t FullService = 2;
inline constexpr std::int32_t Emergency = 3;
} // namespace SpeedCheckStates

struct SpeedCheck {
    std::int32_t limit[kSpeedCheckCodes] = {}; // km/h per cabSignalCode
    std::int32_t state = SpeedCheckStates::Within;
    std::int32_t overLimitTime = 0; // ms
    std::int32_t previousCode = 0;
    bool previousBraking = false;
    std::int32_t bell = kSoundContinue; // host sound command
};

// Once a frame while the check runs (cabSignalMode): decides state from the speed against the
// limit of cabSignalCode, and rings the bell when the code or the braking changes. A code
// outside the table (no host aspect gives one) is ignored: nothing changes. While the check
// is off its state is 0.
void RunSpeedCheck(SpeedCheck& check, const FrameValues& frame, const ModeGlobals& mode);

// Limits per aspect code, once the vehicle is known: -5 means stop (never reachable), 0 no
// running.
void FillSpeedCheckLimits(SpeedCheck& check);

} // namespace velqa3
