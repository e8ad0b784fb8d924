#include "vehicle/brake_cylinder.h"

#include <cfloat>
#include <cmath>

namespace velqa3 {

namespace {

constexpr std::int32_t kVoltageBlendPeriod = 2000; // ms

// Pressures are worked in double and stored as float; a value past the float range (a host
// reporting 1e30 kPa) saturates rather than becoming infinite.
float ToPressure(double value) {
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

float EffectiveMid(const BrakeCylinderDisplay& bc, const Settings& settings) {
    return bc.midRaised ? settings.tPriorityStart + 0.1f : settings.tPriorityMid;
}

// The notch's own T-priority pressure; only notches 2 to 8 have one.
bool NotchPressure(const Settings& settings, std::int32_t notch, float& pressure) {
    if (notch < 2 || notch > 8) return false;
    pressure = settings.tPriorityB[notch - 2];
    return true;
}

// Below T-PriorityStart the air brake takes over from the electric brake as it fades: the
// target rises from the host's pressure at standstill to the notch's pressure at
// T-PriorityMid, and falls back to the host's pressure at T-PriorityStart.
float SpeedBlend(BrakeCylinderDisplay& bc, const Settings& settings, double speed, double bcHost,
                 double notchPressure) {
    if (settings.tPriorityMid == settings.tPriorityStart) bc.midRaised = true;
    const double mid = EffectiveMid(bc, settings);
    const double start = settings.tPriorityStart;
    if (speed <= mid) {
        // A mid of 0 makes standstill the speed of full blend.
        const double share = mid > 0.0 ? speed / mid : 1.0;
        return ToPressure((notchPressure - bcHost) * share + bcHost);
    }
    // Here mid < speed <= start, so the width is never zero.
    return ToPressure((notchPressure - bcHost) * (start - speed) / (start - mid) + bcHost);
}

// Above ABStart the line can take less regenerated current, and the air brake makes up the
// difference in proportion up to EGBEnd, where regeneration drops out.
double VoltageBlend(const Settings& settings, std::int32_t lineVoltage, double bcHost,
                    double notchPressure) {
    const double width = static_cast<double>(settings.egbEnd) - settings.abStart;
    // A blend of no width (EGBEnd = ABStart) is at its end as soon as it starts: full air.
    const double share =
        width > 0.0 ? (static_cast<double>(lineVoltage) - settings.abStart) / width : 1.0;
    return (notchPressure - bcHost) * share + bcHost;
}

void UpdateTarget(BrakeCylinderDisplay& bc, const FrameValues& frame, const Settings& settings,
                  const BrakeCylinderInputs& in) {
    const float bcHost = frame.state.BcPressure;
    const float current = frame.state.Current;
    const double speed = std::fabs(static_cast<double>(frame.state.Speed));
    bc.bcTarget = bcHost;
    float pressure = 0.0f;
    if (!NotchPressure(settings, in.brakeOutput, pressure)) {
        bc.bcTargetPrev = bc.bcTarget;
        return;
    }
    if (speed <= settings.tPriorityStart &&
        static_cast<double>(current) >= -static_cast<double>(settings.tPriorityCur))
        bc.bcTarget = SpeedBlend(bc, settings, speed, bcHost, pressure);

    const bool highLine = settings.abStart <= in.lineVoltage && in.lineVoltage <= settings.egbEnd;
    if (highLine && in.brakeOutput <= in.serviceNotches && current < 0.0f) {
        if (CrossesBoundary(frame.clock, frame.interval, kVoltageBlendPeriod)) {
            const float q = ToPressure(VoltageBlend(settings, in.lineVoltage, bcHost, pressure));
            if (q > bc.bcTarget) bc.bcTarget = q;
        } else if (bc.bcTargetPrev > bc.bcTarget) {
            bc.bcTarget = bc.bcTargetPrev;
        }
    }
    bc.bcTargetPrev = bc.bcTarget;
}

// The gauge moves at a rate of Speed × 0.02 × sqrt(MR) kPa per second: the fuller the main
// reservoir the faster the cylinder fills and empties. No air (MR at or below 0) moves nothing.
double Rate(std::int32_t speedSetting, const FrameValues& frame) {
    const double mr = frame.state.MrPressure > 0.0f ? frame.state.MrPressure : 0.0;
    return speedSetting * 0.02 * std::sqrt(mr) * frame.interval / 1000.0;
}

void FollowTarget(BrakeCylinderDisplay& bc, const FrameValues& frame, const Settings& settings) {
    const float target = bc.bcTarget;
    if (bc.bcDisplay == target) return;
    const float speed = frame.state.Speed;
    if (bc.bcDisplay > target) {
        float shown = ToPressure(bc.bcDisplay - Rate(settings.releaseSpeed, frame));
        if (shown < target + 3.0f) shown = target;
        if (shown >= 1000.0f) shown = 999.9f;
        bc.bcDisplay = shown;
        if (bc.bcDisplay > 200.0f && speed != 0.0f &&
            std::fabs(speed) <= EffectiveMid(bc, settings))
            bc.releasingLowSpeed = true;
        else if (!bc.releasingLowSpeed)
            bc.releasing = true;
        return;
    }
    float shown = ToPressure(bc.bcDisplay + Rate(settings.applySpeed, frame));
    if (shown > target - 3.0f) shown = target;
    if (shown < frame.state.BcPressure) shown = frame.state.BcPressure;
    bc.bcDisplay = shown;
    bc.releasing = false;
    bc.releasingLowSpeed = false;
}

} // namespace

void RunBrakeCylinder(BrakeCylinderDisplay& bc, const FrameValues& frame, const Settings& settings,
                      const BrakeCylinderInputs& in) {
    if (settings.tPriorityModel == 1) {
        UpdateTarget(bc, frame, settings, in);
        FollowTarget(bc, frame, settings);
    } else {
        bc.bcDisplay = frame.state.BcPressure;
    }
    const float snow = static_cast<float>(settings.snowBrake);
    if (bc.bcDisplay < snow) bc.bcDisplay = snow;
}

void RunAtsStartupTest(AtsStartupTest& test, const FrameValues& frame, float& gaugeKpa,
                       std::int32_t& bellOut) {
    std::int32_t& atsTestTimer = test.timer;
    if (atsTestTimer > 0) {
        atsTestTimer -= frame.interval;
        // Landing exactly on 0 has run the test out as surely as overshooting it.
        if (atsTestTimer == 0) atsTestTimer = -1;
        const double bcHost = frame.state.BcPressure;
        // The needle rises 8 % over 0.8 s and comes back over the next 0.8 s.
        if (atsTestTimer >= 3700 && atsTestTimer < 4500)
            gaugeKpa = ToPressure((1.0 + (4500 - atsTestTimer) * 0.0001) * bcHost);
        else if (atsTestTimer >= 2900 && atsTestTimer < 3700)
            gaugeKpa = ToPressure((1.0 + (atsTestTimer - 2900) * 0.0001) * bcHost);
        return;
    }
    if (atsTestTimer < 0) {
        if (bellOut == 1) {
            bellOut = 2;
            atsTestTimer = 0;
        } else {
            bellOut = 1;
        }
    }
}

} // namespace velqa3
