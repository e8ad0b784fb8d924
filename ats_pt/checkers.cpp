// The checkers: each compares the speed with the patterns of its protection variant and
// decides to brake, to warn or to let a warning go. All share one order of decision: the
// first brake rule that holds brakes; with no intervention the first warning rule that holds
// warns; a warning already on stays while any of its hold rules holds.
#include "ats_pt/ptc.h"

#include <cmath>
#include <cstddef>

namespace velqa3 {

namespace {

struct Rule {
    bool holds;
    float releaseSpeed; // km/h, service checkers only
    std::int32_t reason;
};

enum class Family { Emergency, Service };

// A release speed as a whole km/h, truncated, without leaving the int range.
std::int32_t WholeKmh(float speed) {
    if (std::isnan(speed)) return 0;
    if (speed >= 2147483648.0f) return INT32_MAX;
    if (speed < -2147483648.0f) return INT32_MIN;
    return static_cast<std::int32_t>(speed);
}

// The terms the rules are written in, for the speed of this frame.
struct Terms {
    float v;    // km/h
    bool sig;   // a stop point is ahead
    bool tgt;   // an aspect target is ahead
    bool nsd;   // inside the protection zone beyond the stop point
    bool inNsd; // the same as the hold rules read it: zone length not yet zero
    bool lim;   // a speed limit is ahead
    bool ldo;   // a speed limit is in force

    // The distance covered in k seconds, plus x.
    float Ahead(float k, float x) const { return v / 3.6f * k + x; }
};

// Runs the three steps over one checker's rules.
void Decide(PTC& ptc, Family family, bool writesReason, const Rule* brakes, std::size_t brakeCount,
            const Rule* warnings, std::size_t warningCount, const bool* holds,
            std::size_t holdCount) {
    for (std::size_t i = 0; i < brakeCount; ++i) {
        if (!brakes[i].holds) continue;
        if (family == Family::Emergency) {
            ptc.ApplyEmergencyBrake();
            ptc.state = 3;
        } else {
            ptc.ApplyServiceBrake(WholeKmh(brakes[i].releaseSpeed));
        }
        if (writesReason) ptc.approachNo = brakes[i].reason;
        break;
    }
    if (ptc.state == 0) {
        for (std::size_t i = 0; i < warningCount; ++i) {
            if (!warnings[i].holds) continue;
            ptc.state = family == Family::Emergency ? 2 : 1;
            if (writesReason) ptc.approachNo = warnings[i].reason;
            return;
        }
        return;
    }
    if (ptc.state != 1 && ptc.state != 2) return;
    for (std::size_t i = 0; i < holdCount; ++i)
        if (holds[i]) return;
    ptc.state = 0;
    if (writesReason) ptc.approachNo = 0;
}

template <std::size_t B, std::size_t W, std::size_t H>
void Decide(PTC& ptc, Family family, const Rule (&brakes)[B], const Rule (&warnings)[W],
            const bool (&holds)[H], bool writesReason = false) {
    Decide(ptc, family, writesReason, brakes, B, warnings, W, holds, H);
}

// Inlined into every checker: returned from a call, the bytes of the terms are stored one by
// one and loaded back as a word, a stall that cost more than working them out.
[[gnu::always_inline]] inline Terms TermsOf(const PTC& ptc, float v) {
    Terms t{};
    t.v = v;
    t.sig = ptc.sigDis > 0.0f;
    t.tgt = ptc.targetDis > 0.0f;
    t.nsd = ptc.nsdMode != 0 && ptc.nsdDis > 0.0f;
    t.inNsd = ptc.nsdMode != 0 && ptc.nsdDis != 0.0f;
    t.lim = ptc.limDis > 0.0f;
    t.ldo = ptc.limDoDis > 0.0f;
    return t;
}

// A zero-speed limit so close that the train must already be stopping for it. Worked out in
// double precision with the deceleration of the checker's variant.
bool ZeroLimitClose(const PTC& ptc, const Terms& t, double decel) {
    return t.lim &&
           static_cast<double>(ptc.limDis) <
               1.93 / (decel + static_cast<double>(ptc.gradeDecel)) + 6.94 &&
           ptc.limSpd == 0.0f;
}

// The five brake rules the plain service variants share, with their release speeds.
struct ServiceBrakes {
    Rule rules[5];
};

ServiceBrakes CommonServiceBrakes(const PTC& p, const Terms& t) {
    const float v = t.v;
    return {{
        {t.sig && p.sigPtnDis > p.sigDis && v > 10.0f, 0.0f, 0},
        {t.nsd && v >= p.nsdSpd, p.nsdSpd, 0},
        {t.lim && p.limPtnDis > p.limDis && v > p.limSpd + 10.0f, p.limSpd, 0},
        {t.ldo && v >= p.limDoSpd + 10.0f, p.limDoSpd, 0},
        {v >= p.limDoMax + 10.0f, p.limDoMax, 0},
    }};
}

// The two plain service variants differ only in where a warning starts: how far before the
// pattern, and from which speed.
struct WarningReach {
    float sig;          // m: a stop point closer than this warns
    float lim;          // m: a speed limit closer than this warns
    float sigWarnFrom;  // km/h
    float nsdWarnFrom;  // km/h
    float nsdHoldAbove; // km/h
};

void CheckPlainService(PTC& p, const Terms& t, const WarningReach& reach) {
    const float v = t.v;
    const bool low = ZeroLimitClose(p, t, 0.778);
    const ServiceBrakes brakes = CommonServiceBrakes(p, t);
    const Rule warnings[] = {
        {t.sig && reach.sig > p.sigDis && v >= reach.sigWarnFrom, 0, 0},
        {t.nsd && v >= reach.nsdWarnFrom, 0, 0},
        {t.lim && reach.lim > p.limDis && v > p.limSpd + 5.0f, 0, 0},
        {t.ldo && v >= p.limDoSpd + 5.0f, 0, 0},
        {low, 0, 0},
        {v >= p.limDoMax + 5.0f, 0, 0},
    };
    const bool holds[] = {
        t.sig && p.sigDis < reach.sig && v > 5.0f,
        t.inNsd && v > reach.nsdHoldAbove,
        t.lim && p.limDis < reach.lim && v > p.limSpd + 5.0f,
        t.ldo && v >= p.limDoSpd + 5.0f,
        low,
        v >= p.limDoMax + 5.0f,
    };
    Decide(p, Family::Service, brakes.rules, warnings, holds);
}

} // namespace

void PTC::CheckEmergency() {
    if (emergencyLatch != 0) return;
    const Terms t = TermsOf(*this, Speed());
    const float v = t.v;
    const Rule brakes[] = {
        {t.sig && sigPtnDis > sigDis && v > 10.0f, 0, 21},
        {t.nsd && v >= nsdSpd, 0, 22},
        {t.lim && limPtnDis > limDis && v > limSpd + 10.0f, 0, 23},
        {t.ldo && v >= limDoSpd + 10.0f, 0, 24},
        {v >= limDoMax + 10.0f, 0, 25},
    };
    const Rule warnings[] = {
        {t.sig && t.Ahead(5, sigPtnDis) > sigDis && v >= 6.0f, 0, 11},
        {t.nsd && v >= 6.0f, 0, 12},
        {t.lim && t.Ahead(5, limPtnDis) > limDis && v > limSpd + 5.0f, 0, 13},
        {t.ldo && v >= limDoSpd + 5.0f, 0, 14},
        {v >= limDoMax + 5.0f, 0, 15},
    };
    const bool holds[] = {
        t.sig && sigDis < t.Ahead(5, sigPtnDis) && v > 5.0f,
        t.inNsd && v > 5.0f,
        t.lim && v >= limSpd,
        t.ldo && v >= limDoSpd,
        ZeroLimitClose(*this, t, 0.778),
        v >= limDoMax,
    };
    Decide(*this, Family::Emergency, brakes, warnings, holds, true);
}

void PTC::CheckRestrictedEmergency() {
    if (emergencyLatch != 0) return;
    const Terms t = TermsOf(*this, Speed());
    const float v = t.v;
    const Rule brakes[] = {{v > 30.0f, 0, 0}, {t.nsd && v >= nsdSpd, 0, 0}};
    const Rule warnings[] = {{v >= 27.0f, 0, 0}, {t.nsd && v >= 6.0f, 0, 0}};
    const bool holds[] = {v >= 27.0f, t.inNsd && v > 5.0f};
    Decide(*this, Family::Emergency, brakes, warnings, holds);
}

void PTC::CheckMaxSpeed() {
    if (emergencyLatch != 0) return;
    const float v = Speed();
    const Rule brakes[] = {{v >= limDoMax + 10.0f, 0, 0}};
    const Rule warnings[] = {{v >= limDoMax + 5.0f, 0, 0}};
    const bool holds[] = {v >= limDoMax};
    Decide(*this, Family::Emergency, brakes, warnings, holds);
}

void PTC::CheckService() {
    if (emergencyLatch != 0 || serviceLatch != 0) return;
    const Terms t = TermsOf(*this, Speed());
    CheckPlainService(*this, t,
                      {.sig = t.Ahead(4, sigPtnDis),
                       .lim = t.Ahead(4, limPtnDis),
                       .sigWarnFrom = 7.0f,
                       .nsdWarnFrom = 10.0f,
                       .nsdHoldAbove = 8.0f});
}

// Like the plain service variant, but it warns on a fixed 50 m margin before the pattern
// instead of a look-ahead in time.
void PTC::CheckMargin() {
    if (emergencyLatch != 0 || serviceLatch != 0) return;
    const Terms t = TermsOf(*this, Speed());
    CheckPlainService(*this, t,
                      {.sig = sigPtnDis + 50.0f,
                       .lim = limPtnDis + 50.0f,
                       .sigWarnFrom = 6.0f,
                       .nsdWarnFrom = 6.0f,
                       .nsdHoldAbove = 5.0f});
}

void PTC::CheckAspect() {
    if (emergencyLatch != 0 || serviceLatch != 0) return;
    const Terms t = TermsOf(*this, Speed());
    const float v = t.v;
    const bool low = ZeroLimitClose(*this, t, 0.889);
    const ServiceBrakes common = CommonServiceBrakes(*this, t);
    const Rule brakes[] = {
        {t.sig && sigPtnDis > sigDis && v >= 10.0f, 0.0f, 0},
        {t.tgt && sigPtnDis > targetDis && v >= targetSpd + 10.0f, targetSpd, 0},
        {t.tgt && v >= aspectSpd + 10.0f, aspectSpd, 0},
        common.rules[1],
        common.rules[2],
        common.rules[3],
        common.rules[4],
    };
    const Rule warnings[] = {
        {t.sig && t.Ahead(5, sigPtnDis) > sigDis && v >= 6.0f, 0, 0},
        {t.tgt && t.Ahead(5, sigPtnDis) > targetDis && v >= targetSpd + 5.0f, 0, 0},
        {t.tgt && v >= aspectSpd + 5.0f, 0, 0},
        {t.nsd && v >= 6.0f, 0, 0},
        {t.lim && t.Ahead(5, limPtnDis) > limDis && v > limSpd + 5.0f, 0, 0},
        {t.ldo && v >= limDoSpd + 5.0f, 0, 0},
        {low, 0, 0},
        {v >= limDoMax + 5.0f, 0, 0},
    };
    const bool holds[] = {
        t.sig && sigDis < t.Ahead(5, sigPtnDis) && v > 5.0f,
        t.tgt && targetDis < t.Ahead(5, sigPtnDis) && v >= targetSpd + 5.0f,
        t.tgt && v >= aspectSpd + 5.0f,
        t.inNsd && v > 5.0f,
        t.lim && limDis < t.Ahead(5, limPtnDis) && v >= limSpd,
        t.ldo && v >= limDoSpd,
        low,
        v >= limDoMax + 5.0f,
    };
    Decide(*this, Family::Service, brakes, warnings, holds);
}

// Speed limits only; the maximum speed is left to the driver.
void PTC::CheckLimitOnly() {
    if (emergencyLatch != 0 || serviceLatch != 0) return;
    const Terms t = TermsOf(*this, Speed());
    const float v = t.v;
    const ServiceBrakes common = CommonServiceBrakes(*this, t);
    const Rule brakes[] = {common.rules[2], common.rules[3]};
    const Rule warnings[] = {
        {t.lim && t.Ahead(5, limPtnDis) > limDis && v > limSpd + 5.0f, 0, 0},
        {t.ldo && v >= limDoSpd + 5.0f, 0, 0},
    };
    const bool holds[] = {
        t.lim && limDis < t.Ahead(4, limPtnDis) && v >= limSpd,
        t.ldo && v >= limDoSpd + 5.0f,
        ZeroLimitClose(*this, t, 0.778),
    };
    Decide(*this, Family::Service, brakes, warnings, holds);
}

// Speed limits, and the maximum speed without the usual 10 km/h margin.
void PTC::CheckLimitMax() {
    if (emergencyLatch != 0 || serviceLatch != 0) return;
    const Terms t = TermsOf(*this, Speed());
    const float v = t.v;
    const bool low = ZeroLimitClose(*this, t, 0.889);
    const ServiceBrakes common = CommonServiceBrakes(*this, t);
    const Rule brakes[] = {common.rules[2], common.rules[3], {v > limDoMax, limDoMax, 0}};
    const Rule warnings[] = {
        {t.lim && t.Ahead(5, limPtnDis) > limDis && v > limSpd + 5.0f, 0, 0},
        {t.ldo && v >= limDoSpd + 5.0f, 0, 0},
        {low, 0, 0},
        {v > limDoMax - 5.0f, 0, 0},
    };
    const bool holds[] = {
        t.lim && limDis < t.Ahead(5, limPtnDis) && v >= limSpd,
        t.ldo && v >= limDoSpd,
        low,
        v > limDoMax - 5.0f,
    };
    Decide(*this, Family::Service, brakes, warnings, holds);
}

// Shunting with the change-over switch at 8: a flat 30 km/h, and the protection zone.
void PTC::CheckRestrictedService() {
    if (emergencyLatch != 0) return;
    const Terms t = TermsOf(*this, Speed());
    const float v = t.v;
    const Rule brakes[] = {{v > 30.0f, 25.0f, 0}, {t.nsd && v >= nsdSpd, nsdSpd, 0}};
    const Rule warnings[] = {{v >= 27.0f, 0, 0}, {t.nsd && v >= 6.0f, 0, 0}};
    const bool holds[] = {v >= 27.0f, t.inNsd && v > 5.0f};
    Decide(*this, Family::Service, brakes, warnings, holds);
}

} // namespace velqa3
