// Automatic train stopping: from a stop beacon on, TASC counts the distance to the stop mark
// down, watches a stopping pattern and, once the train is faster than the pattern, offers the
// brake notch the remaining distance needs. At a stand it holds the train until the driver
// takes over with the brake handle.
#pragma once

#include "config/settings.h"
#include "host/driver_inputs.h"
#include "host/frame.h"

#include <cstdint>

namespace velqa3 {

struct TascState {
    std::uint8_t mode = 0; // stopping pattern 1..3, 0 when none is configured
    bool braking = false;  // the train crossed the pattern; TASC is stopping it
    bool targetSet = false;
    bool onMark = false; // stands within 0.35 m of the stop mark
    bool rain = false;   // wet rail: the gentler pattern of mode 3
    bool switchedOn = false;
    bool installed = false;
    float stopDistance = 0.0f;     // m to the stop point; negative once overrun
    std::int32_t step = 0;         // TASC notch step 0..notchSteps, 0 when not braking
    std::int32_t brakeCommand = 0; // notch offered to the handle arbitration, 0 for none
    // Brake steps of the TASC command scale: at least the service notches, one fewer when
    // notch 1 holds the train.
    std::int32_t notchSteps = 0;
};

// Fitted, switched on and given a pattern.
bool TascActive(const TascState& tasc);

// The notch scale once the host has told the service notch count: a configured Notch counts
// only when it exceeds that count.
void SetTascNotchSteps(TascState& tasc, std::int32_t configuredNotch, std::int32_t serviceNotches,
                       bool holdBrake);

// Once a frame, in the supervision step, while a TASC mode is configured. brakeCommand may lie
// beyond the emergency notch: the vehicle data gives such notches their meaning.
void RunTasc(TascState& tasc, const FrameValues& frame, const DriverInputs& driver,
             const Settings& settings, std::int32_t serviceNotches);

// Types 120 (m) and 121 (cm): the distance to the stop mark, taken only by a TASC that is
// fitted and switched on, on a train moving forward. A negative distance is ignored.
void TascStopBeacon(TascState& tasc, std::int32_t type, std::int32_t optional, float speed);

} // namespace velqa3
