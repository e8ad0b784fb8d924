// One frame of the pattern protection: count the distances down by the way travelled, build
// the braking curves, let the checker of the active mode judge the speed, and give the outputs.
#include "ats_pt/ptc.h"

#include <cmath>

namespace velqa3 {

namespace {

constexpr float kNoLimit = 999.9f;
constexpr float kNoPatternDistance = 10000.0f;
constexpr float kFree = 1.0f;           // s of free running before the brake takes hold
constexpr float kSquareOf3_6 = 12.96f;  // (km/h per m/s) squared
constexpr float kServiceDecel = 0.778f; // 2.8 km/h/s: 2.8 / 3.6 m/s²
constexpr float kTargetDecel = 0.889f;  // 3.2 km/h/s: 3.2 / 3.6 m/s²

struct AspectTable {
    float held[5];   // by the held aspect, allowed until the target
    float target[5]; // by the current aspect, to be reached at the target
};
constexpr AspectTable kAspectTable1 = {{25, 25, 45, 75, 110}, {0, 25, 45, 75, 110}};
constexpr AspectTable kAspectTable2 = {{25, 25, 55, 85, 160}, {0, 25, 55, 85, 160}};

// Aspects outside the table, negative ones too, read its last column.
int AspectColumn(std::int32_t aspect) {
    return aspect >= 0 && aspect <= 3 ? aspect : 4;
}

// Takes a (possibly huge) frame length off a timer without wrapping it; a negative one adds.
std::int32_t CountDown(std::int32_t timer, std::int32_t ms) {
    const std::int64_t left = std::int64_t{timer} - ms;
    return left < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(left);
}

} // namespace

PtcModes PTC::Update(const PtcFrame& frame) {
    in = frame;
    return Update();
}

PtcModes PTC::Update() {
    UpdateAspectSpeeds();
    const float v = Speed() / 3.6f;
    const float step = static_cast<float>(FrameLength()) * v / 1000.0f;
    if (patternHold == 0) {
        CountDownSignalDistances(step);
        CountDownLimitDistances(step);
    }
    ComputePatterns();
    RunChecker();
    RunReleasePeriod();
    ComputePatternSpeed();
    nsdLamp = nsdMode;
    UpdateBell();
    if (serviceLatch != 0 && static_cast<float>(releaseSpd) > Speed()) {
        serviceLatch = 0;
        brakeLamp = 0;
        state = 0;
    }
    return {in.atsMode, in.cabSwitches};
}

// On a drop of the aspect the one before the drop is held: its speed applies until the target.
void PTC::UpdateAspectSpeeds() {
    const std::int32_t current = CurrentAspect();
    if (current < prevAspect)
        heldAspect = prevAspect;
    else if (current > prevAspect)
        heldAspect = current;
    prevAspect = current;

    const std::uint8_t atsMode = AtsMode();
    const AspectTable* table = nullptr;
    if (HasModeBit(atsMode, AtsModeBits::PatternAspectTable))
        table = &kAspectTable1;
    else if (patternKind == 1 || atsMode == kAtsTargetVariant)
        table = &kAspectTable2;
    if (table == nullptr) return;
    aspectSpd = table->held[AspectColumn(heldAspect)];
    targetSpd = table->target[AspectColumn(current)];
}

void PTC::CountDownSignalDistances(float step) {
    if (sigDis > 0.0f) {
        sigDis -= step;
        // A frame that ends exactly at the stop point has reached it too; otherwise the stop
        // pattern would end there with nothing taking over.
        if (sigDis <= 0.0f) {
            sigDis = 0.0f;
            nsdMode = 1; // the stop point is passed
        }
    }
    if (nsdDis > 0.0f) {
        nsdDis -= step;
        if (nsdDis <= 0.0f) {
            nsdDis = 0.0f;
            nsdMode = 0;
        }
    }
    if (nsdMode != 0 && nsdDis <= 0.0f) {
        // Past the stop point with no protection zone to run in: the pattern protection has
        // nothing left to guard, and the spot protection takes over.
        nsdDis = 0.0f;
        nsdMode = 0;
        if (nsdArmed == 0 && AtsMode() != kAtsMargin) {
            Reset();
            FallBackToSpot(in.atsMode);
        }
    }
    if (patternKind == 1) {
        // Reaching the target exactly hands over to the next block, as running past it does.
        const bool targetAhead = targetDis > 0.0f;
        targetDis -= step;
        if (targetDis < 0.0f || (targetAhead && targetDis == 0.0f)) {
            targetDis += nextBlockDis;
            limDoSpd = limSpd;
            // A next block shorter than the overshoot leaves the target right here.
            if (targetDis < 0.0f) targetDis = 0.0f;
        }
    } else {
        targetDis = 0.0f;
    }
}

// A distance that runs out exactly at the end of a frame has been reached, as one that runs
// past it has: at 90 km/h in 20 ms frames the train covers exactly 0.5 m a frame, and beacon
// distances are whole metres, so exact zeros are common. A zero that was not counted down this
// frame is no event: 0 is also what "no limit ahead" and "no limit in force" read as.
void PTC::CountDownLimitDistances(float step) {
    const bool limitAhead = limDis > 0.0f;
    const bool limitInForce = limDoDis > 0.0f;
    if (limitAhead) limDis -= step;
    if (limitInForce) limDoDis -= step;
    const bool limitStarts = limDis < 0.0f || (limitAhead && limDis == 0.0f);
    const bool limitEnds = !limitStarts && limitInForce && limDoDis <= 0.0f;
    if (limitStarts) {
        // The limit starts here; what the train overshot in this frame is already behind it.
        limDoDis = limLength + limDis;
        limDoSpd = limSpd;
        limDis = 0.0f;
    }
    // A limit shorter than the frame's overshoot is over as soon as it began.
    if (limitEnds || limDoDis < 0.0f) {
        limDoDis = 0.0f;
        limDoSpd = kNoLimit;
    }
}

// Each curve is a free-running second followed by a constant deceleration a, with v the
// train's speed in m/s and u the speed to be reached (0 at a stop point):
//
//   distance needed   D(v) = v·kFree + (v² − u²) / (2a)
//
// which, with kFree = 1 s, is the (v / (2a) + 1)·v of the stop pattern and the
// (v² − u²) / (2a) + v of the target and limit patterns. The speed allowed at a distance d is
// the v for which D(v) = d; from v² + 2a·v − (2a·d + u²) = 0, the positive root
//
//   v = −a + √(a² + 2a·d + u²) = −a + √(a·(a + 2d) + u²)
//
// times 3.6 for km/h; u² is the km/h speed squared over 3.6² (kSquareOf3_6). The stop pattern
// uses the service deceleration, the target pattern the stronger one. The grade term is the
// along-track part of gravity on the last gradient a beacon gave, g·sinθ with tanθ the gradient
// (9.8·i / √(1 + i²)), added as a magnitude whichever way the line falls: it shifts every curve
// of the line by the same amount, as the line's data defines it.
void PTC::ComputePatterns() {
    const float v = Speed() / 3.6f;
    const float a1 = kServiceDecel + gradeDecel;
    const float a2 = kTargetDecel + gradeDecel;
    if (sigDis > 0.0f) {
        sigPtnDis = (v / (2.0f * a1) + kFree) * v;
        sigPtnSpd = (-a1 + std::sqrt(a1 * (a1 + 2.0f * sigDis))) * 3.6f;
        if (sigPtnSpd < 10.0f) sigPtnSpd = 10.0f;
    } else if (targetDis > 0.0f || patternKind == 1) {
        const float targetSquare = targetSpd * targetSpd / kSquareOf3_6;
        sigPtnDis = (v * v - targetSquare) / (2.0f * a2) + v;
        sigPtnSpd = (-a2 + std::sqrt(a2 * (a2 + 2.0f * targetDis) + targetSquare)) * 3.6f;
    } else {
        sigPtnDis = kNoPatternDistance;
        sigPtnSpd = kNoLimit;
    }
    if (limDis > 0.0f) {
        const float limitSquare = limSpd * limSpd / kSquareOf3_6;
        limPtnDis = (v * v - limitSquare) / (2.0f * a1) + v;
        limPtnSpd = (-a1 + std::sqrt(a1 * (a1 + 2.0f * limDis) + limitSquare)) * 3.6f;
        if (limPtnSpd < limSpd) limPtnSpd = limSpd;
    } else {
        limPtnDis = kNoPatternDistance;
        limPtnSpd = kNoLimit;
    }
}

void PTC::RunChecker() {
    switch (CheckerOf(AtsMode(), CabSwitches())) {
    case PatternChecker::Emergency:
        CheckEmergency();
        break;
    case PatternChecker::RestrictedEmergency:
        CheckRestrictedEmergency();
        break;
    case PatternChecker::Service:
        CheckService();
        break;
    case PatternChecker::RestrictedService:
        CheckRestrictedService();
        break;
    case PatternChecker::Margin:
        CheckMargin();
        break;
    case PatternChecker::LimitOnly:
        CheckLimitOnly();
        break;
    case PatternChecker::Aspect:
        CheckAspect();
        break;
    case PatternChecker::LimitMax:
        CheckLimitMax();
        break;
    case PatternChecker::None:
        break;
    }
}

// The driver's brake-release key opens a 60 s period, counted from the first power notch,
// in which the protection does not brake: 45 s with the lamp steady, then 15 s with the lamp
// blinking and the bell every 3 s as a reminder that it is about to end.
void PTC::RunReleasePeriod() {
    using namespace CabSwitchBits;
    const std::int32_t ms = FrameLength();
    if (HasCabSwitch(in.cabSwitches, BrakeReleaseRequested) && in.powerNotch > 0)
        StartBrakeReleaseRun(in.cabSwitches);

    if (HasCabSwitch(in.cabSwitches, BrakeReleaseRunning)) {
        releaseTimer = CountDown(releaseTimer, ms);
        serviceLatch = 0;
        emergencyLatch = 0;
        brakeLamp = 0;
        if (lineType == LineCode::QuickRelease) {
            // This line keeps the lamp steady to the end and rings no reminder.
            releaseLamp = 1;
        } else {
            state = 0;
            if (releaseTimer > 15000) {
                bellTimer = 3000;
                releaseLamp = 1;
            } else {
                bellTimer = CountDown(bellTimer, ms);
                if (bellTimer < 0) {
                    bellTimer = CountDown(bellTimer, -3000);
                    bellCode = 1;
                }
                releaseLamp = bellTimer % 1500 >= 750 ? 1 : 0;
            }
        }
        if (releaseTimer < 0) {
            releaseTimer = 60000;
            EndBrakeRelease(in.cabSwitches);
        }
    }
    if (!HasCabSwitch(in.cabSwitches, BrakeReleaseRequested | BrakeReleaseRunning)) releaseLamp = 0;
}

// The stop pattern, the protection zone, the aspect, the next limit, the limit in force and
// the maximum speed each cap the displayed pattern speed; the target pattern does not.
void PTC::ComputePatternSpeed() {
    float p = static_cast<float>(noPatternSpd);
    if (sigDis > 0.0f) p = sigPtnSpd;
    const auto cap = [&p](float limit) {
        if (limit < p) p = limit;
    };
    if (nsdDis > 0.0f) cap(nsdSpd);
    cap(aspectSpd);
    if (limDis > 0.0f) cap(limPtnSpd);
    if (limDoDis > 0.0f) cap(limDoSpd);
    cap(limDoMax);
    patternSpd = p;
}

void PTC::UpdateBell() {
    const std::int32_t ms = FrameLength();
    if (state != prevState) {
        bellTimer = state == 2 ? 3000 : state == 3 ? 1100 : 0;
        if (patternKind != 0 || prevState == 0) RingBell(prevState != 0);
        prevState = state;
    } else if (state == 3) {
        // The emergency bell alternates its two sounds every 1.1 s.
        bellTimer = CountDown(bellTimer, ms);
        if (bellTimer < 0) {
            bellTimer = CountDown(bellTimer, -1100);
            bellCode = bellAlternate != 0 ? 1 : 3;
            bellAlternate = bellAlternate != 0 ? 0 : 1;
        }
    } else if (state == 2) {
        bellTimer = CountDown(bellTimer, ms);
        if (bellTimer < 0) {
            bellTimer = CountDown(bellTimer, -3000);
            bellCode = 1;
        }
    }
    // A bell code sounds in one frame only; after it the bell just continues.
    bellOut = bellCode;
    if (bellCode != 0) bellCode = 2;
}

} // namespace velqa3
