// The resets, the brake and bell primitives and the status message of the pattern protection.
#include "ats_pt/ptc.h"

#include "host/json_number.h"

#include <cmath>
#include <cstdio>

namespace velqa3 {

namespace {
// Far beyond any train, yet small enough that squares and products of it stay finite floats.
constexpr float kSpeedBound = 10000.0f;
// No train is this long; a longer figure is a broken setting.
constexpr float kLengthBound = 10000.0f;
} // namespace

float PTC::Speed() const {
    const float v = in.speed;
    if (std::isnan(v)) return 0.0f;
    if (v > kSpeedBound) return kSpeedBound;
    if (v < -kSpeedBound) return -kSpeedBound;
    return v;
}

// Time never runs backwards for the protection: a negative frame counts as none.
std::int32_t PTC::FrameLength() const {
    return in.frameMs < 0 ? 0 : in.frameMs;
}

float PTC::TrainLength() const {
    if (!(trainLength > 0.0f)) return 0.0f;
    return trainLength < kLengthBound ? trainLength : kLengthBound;
}

void PTC::StartPattern(const PtcFrame& frame) {
    in = frame;
    StartPattern();
}

void PTC::Reset(const PtcFrame& frame) {
    in = frame;
    Reset();
}

void PTC::ReleaseBrake(const PtcFrame& frame) {
    in = frame;
    ReleaseBrake();
}

void PTC::CheckMaxSpeed(const PtcFrame& frame) {
    in = frame;
    CheckMaxSpeed();
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
    if (in.brakeNotch == ebNotch && in.reverser == 0) resetReady = 1;
}

void PTC::ClearSignalTarget() {
    sigDis = 100000.0f;
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

// The status message, sent to whoever listens twice a second.
const char* PTC::StatusJson(float currentSpeed) {
    std::snprintf(statusJson, sizeof statusJson,
                  "{\"Ats\":{\"ApproachNo\":%d, \"Spd\":%.1f}, "
                  "\"Sig\":{\"Dis\":%.1f, \"PtnDis\":%.1lf, \"PtnSpd\":%.1f}, "
                  "\"NSD\":{\"Mode\":%d, \"Dis\":%.1f}, "
                  "\"Lim\":{\"Dis\":%.1f, \"PtnDis\":%.1f, \"PtnSpd\":%.1f, \"Spd\":%.1f}, "
                  "\"LimDo\":{\"Dis\":%.1f, \"Spd\":%.1f, \"Max\":%.1f}, "
                  "\"Beacon\":{\"Type\":%d, \"Signal\":%d, \"Optional\":%d}}",
                  static_cast<int>(approachNo), JsonNumber(currentSpeed), JsonNumber(sigDis),
                  JsonNumber(sigPtnDis), JsonNumber(sigPtnSpd), static_cast<int>(nsdMode),
                  JsonNumber(nsdDis), JsonNumber(limDis), JsonNumber(limPtnDis),
                  JsonNumber(limPtnSpd), JsonNumber(limSpd), JsonNumber(limDoDis),
                  JsonNumber(limDoSpd), JsonNumber(limDoMax), static_cast<int>(lastBeacon.Type),
                  static_cast<int>(lastBeacon.Signal), static_cast<int>(lastBeacon.Optional));
    return statusJson;
}

} // namespace velqa3
