// The pattern protection: what the track beacons told it about the road ahead, the braking
// curves it builds from that every frame, and the brake, lamp and bell outputs it gives.
#pragma once

#include "host/host.h"
#include "host/mode.h"
#include "host/mode_transitions.h"

#include <cstdint>

namespace velqa3 {

inline constexpr int kStatusJsonSize = 2000;

// The frame as the pattern protection reads it, filled by the frame driver for each call.
struct PtcFrame {
    float speed = 0.0f;       // km/h
    std::int32_t frameMs = 0; // length of the last frame
    std::int32_t powerNotch = 0;
    std::int32_t brakeNotch = 0;
    std::int32_t reverser = 0;
    std::int32_t aspect = 0;      // currentAspect
    std::uint8_t atsMode = 0;     // the fall-back to spot protection changes it
    std::uint8_t cabSwitches = 0; // the brake-release period changes it
};

// The two mode bytes as the protection leaves them after a frame.
struct PtcModes {
    std::uint8_t atsMode = 0;
    std::uint8_t cabSwitches = 0;
};

class PTC {
  public:
    PTC() = default;
    virtual ~PTC() = default;

    // --- Route knowledge and pattern state (distances m, speeds km/h, times ms) -------------
    std::uint8_t lineType = 0; // the protection's own copy of the line code (type-50 beacon)
    float targetDis = 0.0f;    // to the aspect target
    float nextBlockDis = 0.0f; // added to targetDis when that runs out
    float sigDis = 4096.0f;    // to the stop point; 100000 / 10000 mean none in range
    std::uint8_t nsdArmed = 0; // a protection zone beyond the stop point was announced
    std::uint8_t nsdMode = 0;  // the train is beyond the stop point
    float nsdDis = 0.0f;       // protection zone left
    float nsdSpd = 15.0f;      // allowed in the protection zone
    float limDis = 0.0f;       // to the start of the next speed limit
    float limSpd = 999.9f;     // that limit; 999.9 (10000 after a type-68 beacon) means none
    float limLength = 0.0f;    // its length, train length included
    float limDoDis = 0.0f;     // left of the limit in force
    float limDoSpd = 999.9f;   // the limit in force
    float limDoMax = 120.0f;   // maximum speed
    float targetSpd = 999.9f;  // of the current aspect, to be reached at the target
    float aspectSpd = 999.9f;  // of the held aspect, allowed until the target
    float sigPtnDis = 0.0f;    // braking distance of the signal (or target) pattern
    float sigPtnSpd = 0.0f;    // allowed speed of the signal (or target) pattern
    float limPtnDis = 0.0f;    // braking distance to the next limit
    float limPtnSpd = 0.0f;    // allowed speed of the limit pattern
    std::int32_t releaseTimer = 60000; // left of the brake-release period
    float gradeDecel = 0.0f;           // m/s², gradient term added to the pattern deceleration
    BeaconData lastBeacon{};
    std::int32_t heldAspect = 0;
    std::int32_t prevAspect = 0;
    std::int32_t releaseSpd = 0; // the service brake lets go below this speed
    std::int32_t prevState = 0;
    std::int32_t bellCode = 0;
    std::int32_t bellTimer = 0;
    std::uint8_t bellAlternate = 1;
    std::int32_t lastAspectSeen = 0;
    char statusJson[kStatusJsonSize] = {};
    std::int32_t approachNo = 0; // reason code of the current warning or brake

    // The frame of the call in progress (or of the latest one, for the status text).
    PtcFrame in{};

    std::uint8_t patternHold = 0; // while set no distance counts down
    std::int32_t noPatternSpd = 160;
    std::int32_t ebNotch = 0;
    float trainLength = 0.0f;
    std::int32_t patternKind = 0; // 0 signal pattern, 1 target pattern, 2 types 130-149

    // --- Outputs ----------------------------------------------------------------------------
    float patternSpd = 0.0f;
    std::int32_t bellOut = 0; // 0 none, 1 bell, 2 bell continuing, 3 second bell sound
    std::int32_t state = 0;   // 0 none, 1 beacon brake or service warning, 2 warning, 3 braked
    std::int32_t brakeLamp = 0;
    std::int32_t resetReady = 0;
    std::int32_t releaseLamp = 0;
    std::uint8_t serviceLatch = 0;
    std::uint8_t emergencyLatch = 0;
    std::uint8_t nsdLamp = 0;

    // One beacon into the pattern state. accept lets the spot beacons of types 3 and 4 in.
    void BeaconIn(const PtcFrame& frame, std::int32_t type, std::int32_t signal, float distance,
                  std::int32_t optional, bool accept);
    void StartPattern(const PtcFrame& frame);
    void Reset(const PtcFrame& frame);
    void ReleaseBrake(const PtcFrame& frame);
    void ClearSignalTarget();
    // Formats the status message into statusJson and returns it. The speed is the frame's own:
    // the protection's copy of it is only as fresh as the protection's last run, and with the
    // pattern protection idle that may be long ago.
    const char* StatusJson(float currentSpeed);

    // One frame of the pattern protection: distances, patterns, the checker of the active
    // mode, the brake-release period, the pattern speed, lamps and bell.
    PtcModes Update(const PtcFrame& frame);
    // The same on the frame the caller has written into `in` itself. A frame built elsewhere
    // and copied in is read back in wide words just after its fields were written one by one,
    // and the copy waits for those writes to land: a few nanoseconds of every frame.
    PtcModes Update();

    void ApplyServiceBrake(std::int32_t releaseSpeed);
    void ApplyEmergencyBrake();
    void RingBell(bool forced);

    // The checkers, on the frame of the call in progress (in).
    // Emergency checkers.
    void CheckEmergency();
    void CheckRestrictedEmergency();
    void CheckMaxSpeed();
    void CheckMaxSpeed(const PtcFrame& frame);
    // Service checkers.
    void CheckService();
    void CheckRestrictedService();
    void CheckMargin();
    void CheckAspect();
    void CheckLimitOnly();
    void CheckLimitMax();

  private:
    void StartPattern();
    void Reset();
    void ReleaseBrake();
    // The speed as 0 when it is not a number and within a range that keeps every pattern
    // product finite.
    float Speed() const;
    std::int32_t FrameLength() const;
    // The train length as limit lengths can use it: never negative, never a non-number.
    float TrainLength() const;
    std::uint8_t AtsMode() const { return in.atsMode; }
    std::uint8_t CabSwitches() const { return in.cabSwitches; }
    std::int32_t CurrentAspect() const { return in.aspect; }

    void UpdateAspectSpeeds();
    void CountDownSignalDistances(float step);
    void CountDownLimitDistances(float step);
    void ComputePatterns();
    void RunChecker();
    void RunReleasePeriod();
    void ComputePatternSpeed();
    void UpdateBell();
};

} // namespace velqa3
