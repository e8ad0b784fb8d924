#include "ats_st/stc.h"

#include "host/frame.h"
#include "host/host.h"
#include "host/mode.h"

#include <cstdint>

namespace velqa3 {

namespace {

constexpr std::int32_t kConfirmWindowMs = 5000;
constexpr std::int32_t kPairTooShortMs = 500; // the pair's spacing covered faster than this
constexpr std::int32_t kPairForgottenMs = 1000;
constexpr std::int32_t kStartupBellMs = 500;
constexpr std::int32_t kBlinkHalfPeriodMs = 375;
constexpr float kOverspeedLow = 115.0f;
constexpr float kOverspeedHigh = 125.0f;

// The host's clock is ms of the day, but nothing stops it from sending any value.
std::int32_t TimeOfDay(std::int64_t ms) {
    std::int64_t r = ms % kMsPerDay;
    if (r < 0) r += kMsPerDay;
    return static_cast<std::int32_t>(r);
}

// Timers only ever grow by frame intervals; a run long enough to overflow one stays at the top.
std::int32_t Grow(std::int32_t timer, std::int32_t step) {
    const std::int64_t sum = std::int64_t{timer} + (step > 0 ? step : 0);
    return sum > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(sum);
}

} // namespace

void STC::Beacon(const StcFrame& frame, std::int32_t type, std::int32_t signal,
                 std::int32_t optional) {
    in = frame;
    switch (type) {
    case 0: // alarm beacon ahead of a signal
        if (signal == 0) StartAlarm();
        return;
    case 1: // immediate-stop beacon at the signal
        if (signal == 0) emergency = 1;
        return;
    case 10: // speed check, first of a pair
        if (optional != 0 && !(optional == 10000 && signal == 0))
            CheckSpeed(static_cast<float>(optional / 10));
        StartPair();
        return;
    case 11:
    case 13:
        EndPair();
        return;
    case 12:
        AspectCheck(signal, optional);
        return;
    default:
        return;
    }
}

void STC::StartAlarm() {
    armed = 1;
    deadline = TimeOfDay(std::int64_t{in.clock} + kConfirmWindowMs);
    chimeReq = 0;
    bellSound = kSoundLoop;
    chimeSound = kSoundStop;
    normalLamp = 0;
    alarmLamp = 1;
}

void STC::CheckSpeed(float limit) {
    if (in.speed > limit) emergency = 1;
}

void STC::EndPair() {
    if (pairArmed != 0 && pairTimer < kPairTooShortMs) emergency = 1;
    pairArmed = 0;
    pairTimer = 0;
}

// The checks of beacon type 12 depend on the aspect of the signal they belong to.
void STC::AspectCheck(std::int32_t signal, std::int32_t optional) {
    if (optional == 0) {
        StartPair();
    } else if (optional >= 30000) {
        if (signal <= optional % 10000) StartPair();
    } else if (optional >= 20000) {
        const std::int32_t aspect = optional % 10000;
        constexpr float kLimits[] = {20.0f, 30.0f, 70.0f, 90.0f, 50.0f, 70.0f};
        const float limit = aspect < 6 ? kLimits[aspect] : 0.0f;
        if (signal == aspect) CheckSpeed(limit);
        StartPair();
    } else if (optional >= 10000) {
        if (signal == optional % 10000) StartPair();
    } else {
        CheckSpeed(static_cast<float>(optional / 10));
        StartPair();
    }
}

// The deadline is a time of day. Comparing it directly would fire at once when the 5 s cross
// midnight (deadline wrapped past 0) or never (deadline beyond the day's end), so the distance
// to it is taken on the day's circle instead, as the nearer of the two ways round.
bool STC::DeadlinePassed() const {
    std::int64_t ahead = std::int64_t{TimeOfDay(deadline)} - TimeOfDay(in.clock);
    if (ahead >= kMsPerDay / 2) ahead -= kMsPerDay;
    if (ahead < -kMsPerDay / 2) ahead += kMsPerDay;
    return ahead < 0;
}

void STC::Update(const StcFrame& frame) {
    in = frame;
    const std::int32_t step = in.frameMs;
    if (pairArmed != 0) {
        pairTimer = Grow(pairTimer, step);
        if (pairTimer > kPairForgottenMs) {
            pairTimer = 0;
            pairArmed = 0;
        }
    }

    // An alarm left unconfirmed ends in the emergency brake, and with that it is over: were it
    // kept armed, the expired deadline would latch the brake again in the frame after every
    // reset, and the train could never be released.
    if (armed != 0 && DeadlinePassed()) {
        emergency = 1;
        armed = 0;
    }

    if (emergency != 0 || testBell != 0) {
        bellSound = kSoundLoop;
        chimeSound = kSoundStop;
        normalLamp = 0;
        alarmLamp = 1;
        if (testBell == 0) {
            testTimer = -1;
        } else if (testTimer <= kStartupBellMs) {
            testTimer = Grow(testTimer, step);
        } else {
            testBell = 0;
            testTimer = -1;
            chimeReq = 1;
        }
    } else if (chimeReq != 0) {
        bellSound = kSoundStop;
        chimeSound = kSoundLoop;
        normalLamp = 1;
        alarmLamp = 0;
    }

    if (armed != 0) alarmLamp = TimeOfDay(in.clock) % (2 * kBlinkHalfPeriodMs) / kBlinkHalfPeriodMs;

    const float v = in.speed;
    overspeed = (osrMode == 1 && v >= kOverspeedLow) || (osrMode == 2 && v >= kOverspeedHigh);
}

void STC::Confirm() {
    if (armed == 0 || emergency != 0) return;
    armed = 0;
    chimeReq = 1;
}

void STC::StopChime() {
    if (chimeReq == 0) return;
    chimeReq = 0;
    chimeSound = kSoundStop;
}

void STC::Restart(bool silent) {
    emergency = 0;
    armed = 0;
    pairArmed = 0;
    pairTimer = 0;
    bellSound = kSoundStop;
    chimeSound = kSoundStop;
    normalLamp = 1;
    alarmLamp = 0;
    testBell = silent ? 0 : 1;
    chimeReq = 0;
    testTimer = 0;
}

void STC::Clear() {
    emergency = 0;
    bellSound = kSoundStop;
    chimeSound = kSoundStop;
    normalLamp = 0;
    alarmLamp = 0;
}

bool RunSpotProtection(STC& stc, const StcFrame& frame, std::uint8_t cabSwitches, bool ebCircuitOn,
                       std::int32_t masterKeyPosition) {
    if (!ebCircuitOn || masterKeyPosition != 2) return false;
    if (!ChangeOverIsPatternOnly(cabSwitches)) stc.Update(frame);
    return stc.emergency != 0;
}

} // namespace velqa3
