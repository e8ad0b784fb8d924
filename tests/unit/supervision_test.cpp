// The supervision stages one by one, each on a frame the test builds. Frames of 20 ms at
// 90 km/h cover exactly 0.5 m, so limits that fall on a frame's end are met exactly.
#include "host/brake_demand.h"
#include "vehicle/aid_beacons.h"
#include "vehicle/brake_reasons.h"
#include "vehicle/one_man_door_timer.h"
#include "vehicle/panel_channels.h"
#include "vehicle/plus_brake.h"
#include "vehicle/rollback.h"
#include "vehicle/slip.h"
#include "vehicle/sound_state.h"
#include "vehicle/speed_check.h"
#include "vehicle/station_approach.h"
#include "vehicle/supervision.h"
#include "vehicle/vigilance.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>

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

// Moves the frame on by one interval at its speed, as the capture would.
void Advance(FrameValues& frame) {
    frame.clock += frame.interval;
    frame.previousLocation = frame.state.Location;
    frame.distanceStep = frame.speed / 3.6f * static_cast<float>(frame.interval) / 1000.0f;
    frame.state.Location += frame.distanceStep;
}

TEST(Rollback, MovingAgainstTheReverserOrWithoutOneLatchesTheBrake) {
    struct Case {
        std::int32_t lineCode, reverser;
        float speed;
        bool brakes;
    };
    const Case cases[] = {
        {4, 1, -7.0f, true},      {4, 1, -6.9f, false}, {4, 1, 60.0f, false}, {4, -1, 7.0f, true},
        {4, 0, 6.9f, false},      {4, 0, 7.0f, true},   {4, 0, -7.0f, true},  {4, 5, -7.0f, true},
        {0x10, 1, -30.0f, false}, {4, 1, -1e30f, true},
    };
    for (const Case& c : cases) {
        std::uint8_t demand = 0;
        std::uint8_t sound = 0;
        RunRollback(Running(c.speed), c.lineCode, c.reverser, demand, sound);
        EXPECT_EQ((demand & RollbackBrake) != 0, c.brakes)
            << c.lineCode << " " << c.reverser << " " << c.speed;
        EXPECT_EQ((sound & SoundRequestBits::AlarmRequest) != 0, c.brakes);
    }
    std::uint8_t demand = RollbackBrake;
    std::uint8_t sound = 0;
    RunRollback(Running(0.0f), 4, 1, demand, sound);
    EXPECT_EQ(demand, RollbackBrake) << "only the reset key releases it";
}

TEST(ProtectionReasons, FollowTheirSourcesEveryFrame) {
    std::uint8_t demand = SlipBrake | StBrake;
    std::uint8_t sound = 0;
    CollectProtectionReasons({.stEmergency = false, .ptEmergency = true, .ebHandle = true}, demand,
                             sound);
    EXPECT_EQ(demand, SlipBrake | PtBrake | EbHandle);
    EXPECT_NE(sound & SoundRequestBits::AlarmRequest, 0);
    CollectProtectionReasons({}, demand, sound);
    EXPECT_EQ(demand, SlipBrake);
}

TEST(StationApproach, LampFrom500MetresUntilTheEndOfTheApproach) {
    StationApproach approach;
    StationApproachBeacon(approach, -3'130'002, 90.0f);
    StationApproachBeacon(approach, 3'130'002, 0.0f);
    EXPECT_EQ(approach.endDistance, 0.0f) << "negative Optional and a standing train: ignored";
    // Station 3, lamp distance 130 x 4 = 520 m, end 2 x 4 m beyond it.
    StationApproachBeacon(approach, 3'130'002, 90.0f);
    EXPECT_EQ(approach.stationNumber, 3);
    FrameValues frame = Running(90.0f);
    for (int i = 0; i < 39; ++i) {
        Advance(frame);
        RunStationApproach(approach, frame);
    }
    EXPECT_EQ(approach.lamp, 0) << "500.5 m left";
    Advance(frame);
    RunStationApproach(approach, frame);
    EXPECT_EQ(approach.lamp, 1) << "exactly 500 m left";
    for (int i = 0; i < 1015; ++i) {
        Advance(frame);
        RunStationApproach(approach, frame);
    }
    EXPECT_EQ(approach.lamp, 1) << "0.5 m of the approach left";
    Advance(frame);
    RunStationApproach(approach, frame);
    EXPECT_EQ(approach.lamp, 0) << "the approach ends exactly at the end of this frame";
    EXPECT_EQ(approach.endDistance, 0.0f);
}

TEST(Vigilance, WarnsThenBrakesAfterTheSetTimeWithoutAnAction) {
    Settings settings;
    settings.emgBrake = 3;
    const VigilanceInputs in{.cabSwitches = 0x81, .previousBrakeOutput = 0, .emergencyNotch = 9};
    Vigilance vigilance;
    std::uint8_t demand = 0;
    const FrameValues frame = Running(20.0f);
    auto run = [&](int frames) {
        for (int i = 0; i < frames; ++i)
            RunVigilance(vigilance, frame, settings, in, demand);
    };
    run(1499);
    EXPECT_FALSE(vigilance.warning);
    run(1); // 30 000 ms exactly
    EXPECT_TRUE(vigilance.warning);
    EXPECT_EQ(vigilance.buzzer, kSoundLoop);
    run(249);
    EXPECT_EQ(demand, 0);
    run(1); // 35 000 ms exactly
    EXPECT_EQ(demand, VigilanceBrake);

    VigilanceDriverAction(vigilance, demand);
    EXPECT_TRUE(vigilance.warning) << "a braked device waits for the emergency handle";
    VigilanceEmergencyHandle(vigilance, demand);
    EXPECT_EQ(demand, 0);
    EXPECT_EQ(vigilance.buzzer, kSoundStop);

    // Slow running, an emergency output and a device switched out do not count.
    run(100);
    RunVigilance(vigilance, Running(15.0f), settings, in, demand);
    EXPECT_EQ(vigilance.timer, 0);
    run(100);
    RunVigilance(vigilance, frame, settings,
                 {.cabSwitches = 0x81, .previousBrakeOutput = 9, .emergencyNotch = 9}, demand);
    EXPECT_EQ(vigilance.timer, 0);
    settings.emgBrake = 0;
    run(5000);
    EXPECT_EQ(vigilance.timer, 0);
    settings.emgBrake = 1;
    RunVigilance(vigilance, Running(20.0f, INT32_MAX), settings, in, demand);
    RunVigilance(vigilance, Running(20.0f, INT32_MAX), settings, in, demand);
    EXPECT_EQ(vigilance.timer, INT32_MAX) << "saturates";
}

struct PlusCase {
    const char* name;
    std::uint8_t state; // before the frame
    bool holdBrake;
    float speed;
    std::int32_t handle;
    bool demand;
    bool active; // after the frame
    std::int32_t notch;
};

TEST(PlusBrake, ActivatesByHandleAndSpeedAndNumbersItsNotches) {
    using namespace PlusBrakeBits;
    constexpr std::uint8_t kOn = Configured | Active | Lamp;
    const PlusCase cases[] = {
        {"Handle1AtPBStart", Configured, false, 100.0f, 1, false, true, 10},
        {"BelowPBStart", Configured, false, 99.9f, 3, false, false, 0},
        {"HoldingNotchNeverActivates", Configured, true, 120.0f, 1, false, false, 0},
        {"Handle2WithHoldingBrake", Configured, true, 120.0f, 2, false, true, 10},
        {"EmergencyHandleDoesNotActivate", Configured, false, 120.0f, 9, true, false, 0},
        {"StaysOnDownToPBEnd", kOn, false, 40.0f, 3, false, true, 12},
        {"OffBelowPBEnd", kOn, false, 39.9f, 3, false, false, 0},
        {"OffWhenReleased", kOn, false, 80.0f, 0, false, false, 0},
        {"BoostUnderADemand", Configured | EmergencyBoost, false, 40.0f, 0, true, true, 18},
        {"BoostWithHoldingBrake", Configured | EmergencyBoost, true, 60.0f, 0, true, true, 17},
        {"BoostOffAtPBEnd", kOn | EmergencyBoost, false, 40.0f, 0, true, false, 0},
        {"NotConfiguredFollowsTheHandle", Active | Lamp, false, 120.0f, 5, false, false, 5},
        {"ExtremeHandleSaturates", Configured, false, 120.0f, INT_MAX, false, true, INT_MAX},
    };
    for (const PlusCase& c : cases) {
        Settings settings;
        settings.holdBrake = c.holdBrake;
        std::uint8_t state = c.state;
        std::int32_t notch = 0;
        RunPlusBrake(state, notch,
                     {.speed = c.speed,
                      .handle = c.handle,
                      .serviceNotches = 8,
                      .emergencyNotch = 9,
                      .brakeDemand = c.demand},
                     settings);
        EXPECT_EQ((state & Active) != 0, c.active) << c.name;
        EXPECT_EQ((state & Lamp) != 0, c.active) << c.name;
        EXPECT_EQ(notch, c.notch) << c.name; // an inactive boost leaves it as it was
    }
    Settings odd;
    odd.pbStart = std::numeric_limits<float>::infinity();
    std::uint8_t state = Configured;
    std::int32_t notch = 0;
    RunPlusBrake(state, notch,
                 {.speed = 1e30f, .handle = 4, .serviceNotches = 8, .emergencyNotch = 9}, odd);
    EXPECT_EQ(state, Configured) << "an endless PBStart is never reached";
}

TEST(SpeedCheck, BrakesAboveTheCodesLimitAndRingsOnEveryChange) {
    using namespace SpeedCheckStates;
    Supervision sv;
    FillSpeedCheckLimits(sv);
    ModeGlobals mode;
    mode.cabSignalMode = 1;
    SpeedCheck check;
    std::int32_t state = Within;
    auto run = [&](float speed) {
        check.bell = kSoundContinue; // what the sound stage leaves after writing it
        RunSpeedCheck(check, state, sv.speedCheckLimit, Running(speed), mode);
    };

    mode.cabSignalCode = 3; // 40 km/h
    run(40.0f);
    EXPECT_EQ(state, Within);
    EXPECT_EQ(check.bell, kSoundPlayOnce) << "a new code";
    run(40.0f);
    EXPECT_EQ(check.bell, kSoundContinue);
    run(40.1f);
    EXPECT_EQ(state, FullService);
    EXPECT_EQ(check.bell, kSoundPlayOnce) << "braking starts";
    for (int i = 0; i < 48; ++i)
        run(40.1f);
    EXPECT_EQ(state, FullService) << "980 ms over the limit";
    run(40.1f);
    EXPECT_EQ(state, Reduced) << "1000 ms exactly";
    EXPECT_EQ(check.bell, kSoundContinue);
    run(39.0f);
    EXPECT_EQ(state, Within);
    EXPECT_EQ(check.overLimitTime, 0);
    EXPECT_EQ(check.bell, kSoundPlayOnce) << "braking ends";

    mode.cabSignalCode = 0;
    run(0.0f);
    EXPECT_EQ(state, Emergency) << "code 0 brakes even at a stand";
    mode.cabSignalCode = 7;
    run(0.0f);
    EXPECT_EQ(state, FullService);

    // Codes outside the table leave everything as it was; a check switched off shows nothing.
    for (const std::int32_t code : {-1, 20, INT_MIN}) {
        mode.cabSignalCode = code;
        run(300.0f);
        EXPECT_EQ(state, FullService);
        EXPECT_EQ(check.bell, kSoundContinue);
    }
    mode.cabSignalMode = 0;
    mode.cabSignalCode = 1;
    run(300.0f);
    EXPECT_EQ(state, Within);
    EXPECT_EQ(check.bell, kSoundContinue);
}

TEST(DisplayChannels, StepEvery500MsAndTheCarNumberGoesOutOnTime) {
    Settings settings;
    settings.carNumber = 1;
    DisplayChannels display;
    display.period[0] = -3;
    display.period[1] = -INT32_MAX; // the most negative period a beacon can leave
    display.period[2] = INT32_MIN;
    display.carNumberTimer = 10'000;
    display.period[kCarNumberChannel] = 2;
    FrameValues frame = Running(0.0f);
    frame.clock = 36'000'000; // on a 500 ms boundary
    std::int32_t shown[4] = {};
    int boundaries = 0;
    for (int i = 1; i <= 500; ++i) {
        frame.clock += frame.interval;
        RunDisplayChannels(display, frame, settings);
        if (frame.clock % 500 == 0 && boundaries < 4) shown[boundaries++] = display.frame[0];
        if (i == 499) {
            EXPECT_EQ(display.period[kCarNumberChannel], 2);
        }
    }
    EXPECT_EQ(shown[0], 0);
    EXPECT_EQ(shown[1], 1);
    EXPECT_EQ(shown[2], 2);
    EXPECT_EQ(shown[3], 0);
    EXPECT_EQ(display.frame[3], -1) << "a channel that is off is blank";
    EXPECT_EQ(display.period[kCarNumberChannel], 0) << "10 000 ms exactly";
    EXPECT_EQ(display.carNumberTimer, 0);
}

TEST(DisplayChannels, StationChannelFollowsTheStationMode) {
    Settings settings;
    settings.station = 1;
    DisplayChannels display;
    display.period[kStationChannel] = 5;
    FrameValues frame = Running(60.0f, 500);
    frame.clock = 36'000'000;
    RunDisplayChannels(display, frame, settings);
    EXPECT_EQ(display.period[kStationChannel], -3);
    EXPECT_EQ(display.frame[kStationChannel], 0);
    frame.speed = 3.0f;
    frame.clock += 500;
    RunDisplayChannels(display, frame, settings);
    EXPECT_EQ(display.frame[kStationChannel], 2) << "arrived: at a stand";
    settings.station = 2;
    display.period[kStationChannel] = 0;
    frame.speed = 60.0f;
    frame.clock += 500;
    RunDisplayChannels(display, frame, settings);
    EXPECT_EQ(display.frame[kStationChannel], 1);
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
        check.relocated = true;
        demand = c.before;
        RunSlipCheck(check, frame, demand, sound);
        EXPECT_EQ(demand, c.before) << c.name << ": the host moved the train";
        EXPECT_FALSE(check.relocated);
    }
    FrameValues still = Running(50.0f, 0);
    still.state.Location = 5.0;
    std::uint8_t demand = 0;
    std::uint8_t sound = 0;
    SlipCheck check;
    RunSlipCheck(check, still, demand, sound);
    EXPECT_EQ(demand, 0) << "a frame of no length";
}

TEST(OneManDoorTimer, ClosesTheDoors3500MsAfterTheButtonGoesOut) {
    using namespace OneManBits;
    CabKeys keys;
    keys.previousOneManDoors = Fitted | Right;
    keys.oneManDoors = Fitted;
    OneManDoorTimer timer;
    int frames = 0;
    while (!RunOneManDoorTimer(timer, keys, 20) && frames < 1000) {
        keys.previousOneManDoors = keys.oneManDoors;
        ++frames;
    }
    EXPECT_EQ(frames + 1, 175) << "the release frame counts; the last frame ends on 3500 ms";
    EXPECT_EQ(timer.remaining, 0);
    EXPECT_FALSE(RunOneManDoorTimer(timer, keys, 20));

    keys.oneManDoors = 0; // not fitted
    keys.previousOneManDoors = Right;
    EXPECT_FALSE(RunOneManDoorTimer(timer, keys, 20));
    EXPECT_EQ(timer.remaining, 0);
}

} // namespace
} // namespace velqa3
