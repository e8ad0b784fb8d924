// Writes what one track beacon says about the road ahead into the pattern state.
#include "ats_pt/ptc.h"

#include <cmath>

namespace velqa3 {

namespace {

constexpr float kNoStopPoint = 100000.0f;
constexpr float kFarAway = 10000.0f;
constexpr float kHere = 0.01f; // a positive distance that runs out in the next moving frame

// A beacon distance as the pattern state can hold it. A distance that is not a number is taken
// as the beacon's own position, and nothing lies behind the train or beyond the farthest stop
// point, so a broken beacon can neither hide a stop point nor leave a distance that never
// counts down.
float BeaconDistance(float distance) {
    if (!(distance > 0.0f)) return 0.0f;
    return distance < kNoStopPoint ? distance : kNoStopPoint;
}

// The magnitude of an Optional, in 64 bits so that the most negative one has one too.
std::int64_t Magnitude(std::int32_t optional) {
    return optional < 0 ? -std::int64_t{optional} : std::int64_t{optional};
}

// The decoded fields are small; narrowing them to 32 bits first keeps the 32-bit build's
// conversion in SSE2 like every other (there is no SSE2 instruction for a 64-bit integer).
float Metres(std::int64_t small) {
    return static_cast<float>(static_cast<std::int32_t>(small));
}

// Three groups of three decimal digits, each a count of 4 m.
struct DistanceGroups {
    float first;
    float middle;
    float last;
};

DistanceGroups DecodeDistanceGroups(std::int32_t optional) {
    const std::int64_t r = Magnitude(optional) % 1'000'000'000;
    return {Metres(r / 1'000'000 * 4), Metres(r / 1000 % 1000 * 4), Metres(r % 1000 * 4)};
}

// Speed in 5 km/h steps above six digits, then distance and length in 4 m steps.
struct LimitCode {
    float speed;
    float distance;
    float length;
};

// A negative Optional reads as its magnitude, as the distance groups do. A limit that starts
// at the beacon itself is put just ahead: at 0 m it would never come into force.
LimitCode DecodeLimit(std::int32_t optional, float trainLength) {
    const std::int64_t o = Magnitude(optional);
    const float distance = Metres(o % 1'000'000 / 1000 * 4);
    return {Metres(o / 1'000'000 * 5), distance > 0.0f ? distance : kHere,
            Metres(o % 1000 * 4) + trainLength};
}

// Stop-point distances of types 60 and 62 are taken between 4 m and 3996 m.
float ClampStopDistance(float distance) {
    if (!(distance > 0.0f)) return 4.0f;
    return distance > 3996.0f ? 3996.0f : distance;
}

} // namespace

void PTC::BeaconIn(const PtcFrame& frame, std::int32_t type, std::int32_t signal, float distance,
                   std::int32_t optional, bool accept) {
    in = frame;
    lastBeacon = BeaconData{type, signal, distance, optional};
    const float d = BeaconDistance(distance);
    const bool moving = Speed() > 0.0f;

    switch (type) {
    case 3:
        if (accept) sigDis = signal == 0 ? d : kNoStopPoint;
        break;
    case 4:
        if (accept && d < 50.0f && moving) ApplyEmergencyBrake();
        break;
    case 50:
        lineType = static_cast<std::uint8_t>(optional & 0xFF);
        break;
    case 60:
    case 62: {
        if (nsdMode != 0 || !moving) break;
        const float stop = ClampStopDistance(distance);
        const DistanceGroups groups = DecodeDistanceGroups(optional);
        if (type == 62 || signal != 0 || stop >= 40.0f) {
            sigDis = stop + (signal > 0 ? groups.middle : 0.0f) + (signal > 2 ? groups.last : 0.0f);
            if (type == 60) nsdDis = 0.0f;
            break;
        }
        // A stop signal this close: the train cannot stop before it any more.
        const std::int32_t subKind = optional / 1'000'000'000;
        const std::uint8_t atsMode = AtsMode();
        if (subKind == 0) {
            ApplyEmergencyBrake();
            nsdArmed = 1;
            nsdDis = 80.0f;
            nsdSpd = 15.0f;
        } else if (subKind == 1 && (atsMode == kAtsPattern || atsMode == kAtsTargetVariant)) {
            nsdArmed = 1;
            nsdDis = groups.middle + 4.0f;
            nsdSpd = 25.0f;
        } else {
            nsdArmed = 0;
            nsdDis = 0.0f;
            nsdSpd = 0.0f;
        }
        break;
    }
    case 61:
        limDoMax = static_cast<float>(optional);
        break;
    case 64: {
        const std::int32_t subKind = optional / 10000;
        if (subKind < 0 || subKind > 3) break;
        const float extra = static_cast<float>(optional % 10000) + d;
        const float x = extra > 0.0f ? extra : 0.0f;
        if (signal == 0) ApplyEmergencyBrake();
        if (subKind == 0) {
            nsdArmed = 0;
            sigDis = x;
            nsdDis = 0.0f;
            nsdSpd = 0.0f;
        } else {
            nsdArmed = 1;
            nsdDis = x;
            nsdSpd = subKind == 2 ? 25.0f : 35.0f;
        }
        break;
    }
    case 68:
        patternHold = 1;
        sigDis = kFarAway;
        nsdDis = 0.0f;
        limSpd = kFarAway;
        limDis = 0.0f;
        limLength = 0.0f;
        break;
    case 69:
        patternHold = 0;
        break;
    case 70:
    case 105: {
        if (type == 70 && !moving) break;
        const LimitCode limit = DecodeLimit(optional, TrainLength());
        limSpd = limit.speed;
        limDis = limit.distance;
        limLength = limit.length;
        break;
    }
    case 75:
        if (optional >= -50 && optional <= 50) {
            // Per mille; the term is the magnitude for either sign of the gradient.
            const float g = static_cast<float>(optional) / 1000.0f;
            gradeDecel = std::fabs(9.8f * g / std::sqrt(1.0f + g * g));
        }
        patternHold = 0;
        break;
    case 100: {
        sigDis = 0.0f;
        if (!moving) break;
        const DistanceGroups groups = DecodeDistanceGroups(optional);
        const std::uint8_t atsMode = AtsMode();
        if (HasModeBit(atsMode, AtsModeBits::PatternAspectTable)) {
            targetDis = groups.first;
            if (signal > 0) nextBlockDis = groups.middle;
        } else if (HasModeBit(atsMode, AtsModeBits::TargetVariant)) {
            targetDis = optional == 0 ? d : groups.first;
            nextBlockDis = optional == 0 ? kFarAway : groups.middle;
        }
        break;
    }
    case 101:
    case 102:
    case 103:
        sigDis = 0.0f;
        targetDis = type == 101   ? kHere
                    : type == 102 ? d
                                  : BeaconDistance(static_cast<float>(optional));
        nextBlockDis = kFarAway;
        break;
    case 111:
    case 112:
        limSpd = static_cast<float>(optional);
        limDis = type == 111 ? kHere : 600.0f;
        limLength = kFarAway;
        break;
    case 113:
        limDoDis = TrainLength() + kHere;
        break;
    case 131: {
        constexpr float kMaxBySignal[] = {0.0f, 30.0f, 65.0f, 95.0f, 130.0f};
        if (signal >= 0 && signal <= 4) limDoMax = kMaxBySignal[signal];
        break;
    }
    case 132:
    case 133:
        if (signal >= 0)
            limDoMax = signal <= 1 ? (type == 132 ? 30.0f : 45.0f) : signal == 2 ? 95.0f : 130.0f;
        break;
    default:
        break;
    }

    const std::int32_t oldKind = patternKind;
    if (type >= 101 && type <= 119) {
        patternKind = 1;
    } else if (type >= 130 && type <= 149) {
        patternKind = 2;
        sigDis = kFarAway;
    }
    if (patternKind != oldKind) RingBell(true);

    // On a line that rings at every aspect change the bell follows the aspect as well.
    if (lineType == LineCode::TargetVariantLine && CurrentAspect() != lastAspectSeen) {
        RingBell(true);
        lastAspectSeen = CurrentAspect();
    }
}

} // namespace velqa3
