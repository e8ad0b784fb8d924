// Binding, the resets and the brake and bell primitives of the pattern protection.
#include "ats_pt/ptc.h"

#include <cmath>

namespace velqa3 {

namespace {
// Far beyond any train, yet small enough that squares and products of it stay finite floats.
constexpr float kSpeedBound = 10000.0f;
// No train is this long; a longer figure is a broken setting.
constexpr float kLengthBound = 10000.0f;
} // namespace

void PTC::Bind(const float* speedKmh, const std::int32_t* frameLengthMs,
               const std::int32_t* powerNotchRef, const std::int32_t* brakeNotchRef,
               const std::int32_t* reverserRef, std::uint8_t* atsModeRef, std::uint8_t* cabSwitches,
               const std::int32_t* currentAspect) {
    speed = speedKmh;
    frameMs = frameLengthMs;
    powerNotch = powerNotchRef;
    brakeNotch = brakeNotchRef;
    reverser = reverserRef;
    mode = atsModeRef;
    cabSwitchesRef = cabSwitches;
    aspect = currentAspect;
}

float PTC::Speed() const {
    if (speed == nullptr || std::isnan(*speed)) return 0.0f;
    if (*speed > kSpeedBound) return kSpeedBound;
    if (*speed < -kSpeedBound) return -kSpeedBound;
    return *speed;
}

// Time never runs backwards for the protection: a negative frame counts as none.
std::int32_t PTC::FrameLength() const {
    if (frameMs == nullptr || *frameMs < 0) return 0;
    return *frameMs;
}

float PTC::TrainLength() const {
    if (!(trainLength > 0.0f)) return 0.0f;
    return trainLength < kLengthBound ? trainLength : kLengthBound;
}

void PTC::Reset() {
    sigDis = 100000.0f;
    ReleaseBrake();
    patternSpd = 0.0f;
    nsdLamp = 0;
}

void PTC::StartPattern() {
    Reset();
    sigDis = 100000.0f;
    patternSpd = 0.0f;
    resetReady = 1;
    RingBell(true);
}

void PTC::ReleaseBrake() {
    state = 0;
    brakeLamp = 0;
    serviceLatch = 0;
    emergencyLatch = 0;
    resetReady = 0;
    const std::int32_t notch = brakeNotch != nullptr ? *brakeNotch : 0;
    const std::int32_t position = reverser != nullptr ? *reverser : 0;
    if (notch == ebNotch && position == 0) resetReady = 1;
}

void PTC::ClearSignalTarget() {
    sigDis = 100000.0f;
}

std::uint8_t PTC::ModeHighBits() const {
    return static_cast<std::uint8_t>(AtsMode() >> 6);
}

void PTC::ApplyServiceBrake(std::int32_t releaseSpeed) {
    serviceLatch = 1;
    brakeLamp = 1;
    state = 0;
    releaseSpd = releaseSpeed;
}

void PTC::ApplyEmergencyBrake() {
    emergencyLatch = 1;
    brakeLamp = 1;
    state = 1;
}

// A bell that is not forced stays silent at a stand.
void PTC::RingBell(bool forced) {
    if (Speed() == 0.0f && !forced) return;
    bellCode = 1;
}

} // namespace velqa3
