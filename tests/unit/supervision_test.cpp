// The supervision stages one by one, each on a frame the test builds. Frames of 20 ms at
// 90 km/h cover exactly 0.5 m, so limits that fall on a frame's end are met exactly.
#include "host/brake_demand.h"
#include "vehicle/brake_reasons.h"
#include "vehicle/line_voltage.h"
#include "vehicle/panel_channels.h"
#include "vehicle/plus_brake.h"
#include "vehicle/slip.h"
#include "vehicle/sound.h"
#include "vehicle/speed_check.h"
#include "vehicle/station_approach.h"
#include "vehicle/supervision.h"
#include "vehicle/tasc.h"
#include "vehicle/vigilance.h"

#include <gtest/gtest.h>

#include <climits>

namespace velqa3 {
namespace {

using namespace BrakeDemandBits;

FrameValues Running(float speed, std::int32_t intervalMs = 20) {
    FrameValues frame;
    frame.clock = 36'000'000;
    frame.interval = intervalMs;
    frame.speed = speed;
    frame.previousSpeed = speed;
    return frame;
}

TEST(Rollback, MovingAgainstTheReverserOrWithoutOneBrakes) {
    struct Case {
        std::int32_t lineCode, reverser;
        float speed;
        bool brakes;
    };
    const Case cases[] = {
        {4, 1, -7.0f, true}, {4, 1, -6.9f, false}, {4, -1, 7.0f, true}, {4, 0, 6.9f, false},
        {4, 0, 7.0f, true},  {4, 0, -7.0f, true},  {4, 5, -7.0f, true}, {0x10, 1, -30.0f, false},
    };
    for (const Case& c : cases) {
        std::uint8_t demand = 0;
        std::uint8_t sound = 0;
        RunRollback(Running(c.speed), c.lineCode, c.reverser, demand, sound);
        EXPECT_EQ(demand == RollbackBrake, c.brakes) << c.reverser << " " << c.speed;
    }
}

TEST(StationApproach, ABeaconLoadsTheApproachOnlyForAMovingTrain) {
    StationApproach approach;
    StationApproachBeacon(approach, -3'130'002, 90.0f);
    StationApproachBeacon(approach, 3'130'002, 0.0f);
    EXPECT_EQ(approach.endDistance, 0.0f) << "negative Optional and a standing train: ignored";
    StationApproachBeacon(approach, 3'130'002, 90.0f);
    EXPECT_EQ(approach.stationNumber, 3);
    EXPECT_EQ(approach.lampDistance, 520.0f);
    EXPECT_EQ(approach.endDistance, 528.0f);
}

// The lamp lights below 500 m and goes out as the approach ends, whatever the frame's length;
// distances that land exactly on 500 m and on the end are met at the end of a frame.
TEST(StationApproach, LampInside500MetresUntilTheEndOfTheApproach) {
    struct Case {
        float step;    // m a frame
        int litAfter;  // frames after which the lamp is first on
        int endsAfter; // frames after which it is off again
    };
    // Lamp at 520 m, end 8 m beyond it: 20 m to the lamp range, 528 m to the end.
    const Case cases[] = {
        {0.5f, 41, 1056},  // 20 ms at 90 km/h: exactly 500 m left after 40 frames
        {0.25f, 81, 2112}, // 17 ms at 52.9 km/h: also exact
        {0.35f, 58, 1509}, // 33 ms at 38.2 km/h: 499.7 m left after 58 frames
    };
    for (const Case& c : cases) {
        StationApproach approach;
        StationApproachBeacon(approach, 3'130'002, 90.0f);
        FrameValues frame = Running(90.0f);
        frame.distanceStep = c.step;
        int frames = 0;
        auto runTo = [&](int until) {
            for (; frames < until; ++frames)
                RunStationApproach(approach, frame);
        };
        runTo(c.litAfter - 1);
        EXPECT_EQ(approach.lamp, 0)
            << c.step << " m frames, " << approach.lampDistance << " m left";
        runTo(c.litAfter);
        EXPECT_EQ(approach.lamp, 1)
            << c.step << " m frames, " << approach.lampDistance << " m left";
        runTo(c.endsAfter - 1);
        EXPECT_EQ(approach.lamp, 1)
            << c.step << " m frames, " << approach.endDistance << " m to go";
        runTo(c.endsAfter);
        EXPECT_EQ(approach.lamp, 0) << c.step << " m frames, the end reached";
    }
}

// Warn past 30 s and brake past 35 s without an action (EmgBrake=3), and 60 s and 65 s
// (EmgBrake=1), in frames that land on the limits and frames that do not.
TEST(Vigilance, WarnsAndBrakesOnTheFirstFramePastEachLimit) {
    struct Case {
        std::int8_t mode;
        std::int32_t frameMs, warnAt, brakeAt;
    };
    const Case cases[] = {
        {3, 20, 30'000, 35'000}, {3, 17, 30'000, 35'000}, {3, 33, 30'000, 35'000},
        {1, 20, 60'000, 65'000}, {1, 33, 60'000, 65'000}, {3, 5'000, 30'000, 35'000},
    };
    const VigilanceInputs in{.cabSwitches = 0x81, .previousBrakeOutput = 0, .emergencyNotch = 9};
    for (const Case& c : cases) {
        Settings settings;
        settings.emgBrake = c.mode;
        Vigilance vigilance;
        std::uint8_t demand = 0;
        std::int32_t elapsed = 0;
        while (demand == 0 && elapsed < 100'000) {
            const bool warnedBefore = vigilance.warning;
            RunVigilance(vigilance, Running(20.0f, c.frameMs), settings, in, demand);
            elapsed += c.frameMs;
            if (vigilance.warning && !warnedBefore) {
                EXPECT_GT(elapsed, c.warnAt) << c.frameMs << " ms frames";
                EXPECT_LE(elapsed - c.frameMs, c.warnAt) << c.frameMs << " ms frames";
                EXPECT_EQ(vigilance.buzzer, kSoundLoop);
            }
        }
        EXPECT_TRUE(vigilance.warning) << c.frameMs << " ms frames";
        EXPECT_EQ(demand, VigilanceBrake);
        EXPECT_GT(elapsed, c.brakeAt) << c.frameMs << " ms frames";
        EXPECT_LE(elapsed - c.frameMs, c.brakeAt) << c.frameMs << " ms frames";
    }
}

TEST(Vigilance, CountsOnlyAbove15KmhAndOnlyWhereFitted) {
    Settings settings;
    settings.emgBrake = 3;
    const VigilanceInputs in{.cabSwitches = 0x81, .previousBrakeOutput = 0, .emergencyNotch = 9};
    Vigilance vigilance;
    std::uint8_t demand = 0;
    RunVigilance(vigilance, Running(20.0f), settings, in, demand);
    EXPECT_EQ(vigilance.timer, 20);
    RunVigilance(vigilance, Running(15.0f), settings, in, demand);
    EXPECT_EQ(vigilance.timer, 0) << "not counted at 15 km/h";
    settings.emgBrake = 0;
    for (int i = 0; i < 5000; ++i)
        RunVigilance(vigilance, Running(20.0f), settings, in, demand);
    EXPECT_EQ(vigilance.timer, 0) << "not fitted";
}

TEST(PlusBrake, ActivatesByHandleAndSpeedAndNumbersItsNotches) {
    using namespace PlusBrakeBits;
    constexpr std::uint8_t kOn = Configured | Active | Lamp;
    struct Case {
        const char* name;
        std::uint8_t state;
        bool holdBrake;
        float speed;
        std::int32_t handle;
        bool demand, active;
        std::int32_t notch; // 0 before the frame
    };
    const Case cases[] = {
        {"Handle1AtPBStart", Configured, false, 100.0f, 1, false, true, 10},
        {"HoldingNotchNeverActivates", Configured, true, 120.0f, 1, false, false, 0},
        {"Handle2WithHoldingBrake", Configured, true, 120.0f, 2, false, true, 10},
        {"StaysOnDownToPBEnd", kOn, false, 40.0f, 3, false, true, 12},
        {"OffBelowPBEnd", kOn, false, 39.9f, 3, false, false, 0},
        {"BoostUnderADemand", Configured | EmergencyBoost, false, 40.0f, 0, true, true, 18},
        {"BoostWithHoldingBrake", Configured | EmergencyBoost, true, 60.0f, 0, true, true, 17},
        {"NotConfiguredFollowsTheHandle", Active | Lamp, false, 120.0f, 5, false, false, 5},
        {"ExtremeHandleSaturates", Configured, false, 120.0f, INT_MAX, false, true, INT_MAX},
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.holdBrake = c.holdBrake;
        PlusBrake brake{.state = c.state};
        RunPlusBrake(brake,
                     {.speed = c.speed,
                      .handle = c.handle,
                      .serviceNotches = 8,
                      .emergencyNotch = 9,
                      .brakeDemand = c.demand},
                     settings);
        EXPECT_EQ((brake.state & (Active | Lamp)) == (Active | Lamp), c.active) << c.name;
        EXPECT_EQ(brake.notch, c.notch) << c.name;
    }
}

// Full service for as long as the train has been over the limit for at most a second, the
// reduced notch after that; frames that do not divide the second among them.
TEST(SpeedCheck, FullServiceForTheWholeFirstSecondOverTheLimit) {
    using namespace SpeedCheckStates;
    for (const std::int32_t frameMs : {20, 17, 33, 1000, 250}) {
        Supervision sv;
        FillSpeedCheckLimits(sv.speedCheck);
        ModeGlobals mode;
        mode.cabSignalMode = 1;
        mode.cabSignalCode = 3; // 40 km/h
        std::int32_t over = 0;
        for (int i = 0; i < 2000 / frameMs + 1; ++i) {
            RunSpeedCheck(sv.speedCheck, Running(40.1f, frameMs), mode);
            over += frameMs;
            ASSERT_EQ(sv.speedCheck.state, over <= 1000 ? FullService : Reduced)
                << over << " ms over the limit in " << frameMs << " ms frames";
        }
        RunSpeedCheck(sv.speedCheck, Running(40.0f, frameMs), mode);
        EXPECT_EQ(sv.speedCheck.state, Within) << "at the limit";
        EXPECT_EQ(sv.speedCheck.overLimitTime, 0);
    }
}

TEST(SpeedCheck, BrakesAboveTheCodesLimitAndRingsOnEveryChange) {
    using namespace SpeedCheckStates;
    Supervision sv;
    FillSpeedCheckLimits(sv.speedCheck);
    ModeGlobals mode;
    mode.cabSignalMode = 1;
    mode.cabSignalCode = 3; // 40 km/h
    auto run = [&](float speed) {
        sv.speedCheck.bell = kSoundContinue; // as the sound stage leaves it
        RunSpeedCheck(sv.speedCheck, Running(speed), mode);
    };
    run(40.0f);
    EXPECT_EQ(sv.speedCheck.bell, kSoundPlayOnce) << "a new code";
    run(40.1f);
    EXPECT_EQ(sv.speedCheck.state, FullService);
    EXPECT_EQ(sv.speedCheck.bell, kSoundPlayOnce) << "braking starts";
    run(40.1f);
    EXPECT_EQ(sv.speedCheck.bell, kSoundContinue) << "braking goes on";
    run(39.0f);
    EXPECT_EQ(sv.speedCheck.state, Within);
    EXPECT_EQ(sv.speedCheck.bell, kSoundPlayOnce) << "braking ends";
    mode.cabSignalCode = 0;
    run(0.0f);
    EXPECT_EQ(sv.speedCheck.state, Emergency) << "code 0 brakes even at a stand";
    for (const std::int32_t code : {-1, 20, INT_MIN}) {
        mode.cabSignalCode = code;
        run(300.0f);
        EXPECT_EQ(sv.speedCheck.state, Emergency) << "a code outside the table changes nothing";
    }
}

TEST(DisplayChannels, StepEvery500MsAndTheCarNumberGoesOutOnTime) {
    Settings settings;
    settings.carNumber = 1;
    DisplayChannels display;
    display.period[0] = -3;
    display.period[1] = INT32_MIN; // no size to take the remainder by without widening
    display.period[kCarNumberChannel] = 2;
    display.carNumberTimer = 10'000;
    FrameValues frame = Running(0.0f);
    std::int32_t shown[4] = {};
    auto run = [&](int from, int to) {
        for (int i = from; i <= to; ++i) {
            frame.clock += frame.interval;
            RunDisplayChannels(display, frame, settings);
            if (i % 25 == 0 && i <= 100) shown[i / 25 - 1] = display.frame[0];
        }
    };
    run(1, 499);
    EXPECT_EQ(display.period[kCarNumberChannel], 2) << "20 ms of the car number left";
    run(500, 500);
    EXPECT_EQ(shown[0], 0);
    EXPECT_EQ(shown[1], 1);
    EXPECT_EQ(shown[2], 2);
    EXPECT_EQ(shown[3], 0);
    EXPECT_EQ(display.frame[2], -1) << "a channel that is off is blank";
    EXPECT_EQ(display.period[kCarNumberChannel], 0) << "10 000 ms exactly";
}

TEST(Slip, WheelsAheadOfTheGroundSlipAndBehindItSlide) {
    struct Case {
        const char* name;
        float previousSpeed, speed;
        double groundKmh; // over a 36 ms frame
        std::uint8_t before, after;
    };
    const Case cases[] = {
        {"SlipAtLowSpeed", 31.0f, 31.0f, 20.0, 0, SlipBrake},
        {"WithinTenKmh", 29.0f, 29.0f, 20.0, 0, 0},
        {"SlipAtSpeed", 120.0f, 120.0f, 100.0, 0, SlipBrake},
        {"WithinTheMarginAtSpeed", 117.0f, 117.0f, 100.0, 0, 0},
        {"SlideUnderHardBraking", 10.0f, 0.0f, 20.0, 0, SlipBrake},
        {"ReleasedByHardBrakingWithoutSlide", 30.0f, 20.0f, 20.0, SlipBrake, 0},
        {"KeptWithoutHardBraking", 20.0f, 20.0f, 20.0, SlipBrake, SlipBrake},
        {"NoMovementTellsNothing", 40.0f, 0.0f, 0.0, SlipBrake, SlipBrake},
        {"ExtremeSpeeds", -1e30f, 1e30f, 20.0, 0, SlipBrake},
    };
    for (const Case& c : cases) {
        FrameValues frame = Running(c.speed, 36);
        frame.previousSpeed = c.previousSpeed;
        frame.previousLocation = 1000.0;
        frame.state.Location = 1000.0 + c.groundKmh / 100.0; // 36 ms: u = 100 x metres
        std::uint8_t demand = c.before;
        std::uint8_t sound = 0;
        SlipCheck check;
        RunSlipCheck(check, frame, demand, sound);
        EXPECT_EQ(demand, c.after) << c.name;
        frame.interval = 0;
        RunSlipCheck(check, frame, demand, sound);
        EXPECT_EQ(demand, c.after) << c.name << ": a frame of no length tells nothing";
    }
}

} // namespace
} // namespace velqa3
