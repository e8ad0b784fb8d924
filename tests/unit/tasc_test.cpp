// TASC: the stop beacons, the count-down, the patterns of each mode, the notch it offers and
// how it is numbered, the stand hold and the driver taking over.
#include "vehicle/line_voltage.h"
#include "vehicle/sound.h"
#include "vehicle/station_approach.h"
#include "vehicle/tasc.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velqa3 {
namespace {

// A fitted, switched-on TASC on a train of 8 service notches and 8 TASC steps.
struct TascRig {
    TascState tasc;
    FrameValues frame;
    DriverInputs driver;
    Settings settings;
    std::int32_t serviceNotches = 8;

    explicit TascRig(std::uint8_t mode = 2, float deceleration = 1.0f) {
        tasc.installed = tasc.switchedOn = true;
        tasc.mode = mode;
        tasc.notchSteps = 8;
        settings.tascDeceleration = deceleration;
    }
    void Run(float speed, std::int32_t ms = 20) {
        frame.speed = speed;
        frame.interval = ms;
        RunTasc(tasc, frame, driver, settings, serviceNotches);
    }
    // Braking towards a stop point s metres ahead, judged at speed v in a frame of no length.
    void BrakeAt(float s, float v) {
        tasc.stopDistance = s;
        tasc.targetSet = tasc.braking = true;
        Run(v, 0);
    }
};

// Which beacons TASC takes at all is the dispatcher's test; here, what a beacon does to a
// stop already running.
TEST(TascBeacons, ALaterStopPointCorrectsARunningStopAndANegativeOneIsIgnored) {
    TascRig rig;
    rig.BrakeAt(120.0f, 40.0f);
    TascStopBeacon(rig.tasc, 121, 10050, 40.0f);
    EXPECT_FLOAT_EQ(rig.tasc.stopDistance, 100.5f);
    TascStopBeacon(rig.tasc, 120, -5, 40.0f);
    TascStopBeacon(rig.tasc, 121, -5, 40.0f);
    EXPECT_FLOAT_EQ(rig.tasc.stopDistance, 100.5f);
    EXPECT_TRUE(rig.tasc.braking && rig.tasc.targetSet);
}

// 90 km/h for 20 ms is 0.5 m, exactly: the second frame lands on the stop point. The scale is
// strong enough that only the point itself calls for all of it.
TEST(TascCountDown, EndsOnTheStopPointAndCountsNoFurther) {
    TascRig rig(2, 1000.0f);
    rig.tasc.stopDistance = 1.0f;
    rig.tasc.targetSet = rig.tasc.braking = true;
    rig.Run(90.0f);
    EXPECT_FLOAT_EQ(rig.tasc.stopDistance, 0.5f);
    EXPECT_LT(rig.tasc.step, 8);
    rig.Run(90.0f);
    EXPECT_EQ(rig.tasc.stopDistance, 0.0f);
    EXPECT_EQ(rig.tasc.step, 8); // on the point at speed: the whole scale
    rig.Run(90.0f);
    EXPECT_EQ(rig.tasc.stopDistance, 0.0f);

    TascRig back;
    back.tasc.stopDistance = 10.0f;
    back.Run(-90.0f); // rolling back takes the train further from the mark
    EXPECT_FLOAT_EQ(back.tasc.stopDistance, 10.5f);
}

TEST(TascPattern, EachModeEngagesAboveItsCurveOnlyAndOfferNothingInThatFrame) {
    const struct {
        std::uint8_t mode;
        bool rain;
        float deceleration, distance, speed;
        bool engages;
    } cases[] = {
        {2, false, 2.8f, 300.0f, 80.0f, false},  // 153 km/h pattern at 322.2 m
        {2, false, 2.8f, 300.0f, 160.0f, true},  // 158.6 km/h at 344.4 m
        {1, false, 2.8f, 300.0f, 100.0f, false}, // half the deceleration: 109 km/h
        {1, false, 2.8f, 300.0f, 120.0f, true},  // 110 km/h
        {3, false, 2.8f, 100.0f, 40.0f, false},  // 44.3 km/h, 2 m short
        {3, false, 2.8f, 100.0f, 50.0f, true},   // 44.9 km/h
        {3, true, 2.8f, 100.0f, 40.0f, true},    // wet rail: 37.1 km/h
        {3, false, 2.8f, 0.2f, 6.0f, false},     // 2 m short of it is past its end
    };
    for (const auto& c : cases) {
        TascRig rig(c.mode, c.deceleration);
        rig.tasc.rain = c.rain;
        rig.tasc.stopDistance = c.distance;
        rig.Run(c.speed, 0);
        SCOPED_TRACE(testing::Message() << "mode " << int{c.mode} << " at " << c.speed);
        EXPECT_EQ(rig.tasc.braking, c.engages);
        EXPECT_EQ(rig.tasc.brakeCommand, 0);
        EXPECT_EQ(rig.tasc.step, 0);
    }
}

// At 36 km/h, 100 m from the point, the train needs 0.5 m/s² of a 0.9 m/s² scale.
TEST(TascNotch, StepCoversTheNeededDecelerationAndIsNumberedPastEmergency) {
    const struct {
        const char* name;
        std::int32_t steps;
        std::uint8_t holdBrake, plusBrake, plusEb;
        float speed;
        std::int32_t step, command;
    } cases[] = {
        {"beyond the emergency notch", 8, 0, 0, 0, 36.0f, 5, 13},
        {"beyond the pressure-increase notches", 8, 0, 1, 0, 36.0f, 5, 21},
        {"with the emergency boost", 8, 0, 0, 1, 36.0f, 5, 14},
        {"on the service notches with a holding notch", 7, 1, 0, 0, 36.0f, 4, 4},
        {"configured steps with a holding notch", 12, 1, 0, 0, 36.0f, 7, 14},
        // 12 x 0.125 / 0.9 = 1.7: step 2, and 2 + 8 - 1 = 9 is the emergency notch itself
        {"never the emergency notch", 12, 1, 0, 0, 18.0f, 2, 10},
    };
    for (const auto& c : cases) {
        TascRig rig(2, 0.9f);
        rig.tasc.notchSteps = c.steps;
        rig.settings.holdBrake = c.holdBrake;
        rig.settings.plusBrakeConfigured = c.plusBrake;
        rig.settings.plusBrakeEmergencyBoost = c.plusEb;
        rig.BrakeAt(100.0f, c.speed);
        EXPECT_EQ(rig.tasc.step, c.step) << c.name;
        EXPECT_EQ(rig.tasc.brakeCommand, c.command) << c.name;
    }
}

TEST(TascNotch, ModeThreeAimsTwoMetresShortAndExtremesTakeTheWholeScale) {
    TascRig exact(2, 9.0f), shortOfIt(3, 9.0f);
    exact.BrakeAt(10.0f, 36.0f);     // 5 m/s²: 8 x 5 / 9 = 4.4, step 5
    shortOfIt.BrakeAt(10.0f, 36.0f); // 6.25 m/s² over 8 m: 5.6, step 6
    EXPECT_EQ(exact.tasc.step, 5);
    EXPECT_EQ(shortOfIt.tasc.step, 6);

    for (const float speed : {1e30f, -1e30f}) {
        TascRig rig;
        rig.BrakeAt(100.0f, speed);
        EXPECT_EQ(rig.tasc.step, 8);
        EXPECT_TRUE(std::isfinite(rig.tasc.stopDistance));
        rig.Run(speed, 1000);
        EXPECT_TRUE(std::isfinite(rig.tasc.stopDistance));
        EXPECT_EQ(rig.tasc.step, 8);
    }
    TascRig noDeceleration(2, 0.0f);
    noDeceleration.BrakeAt(100.0f, 10.0f);
    EXPECT_EQ(noDeceleration.tasc.step, 8);
    TascRig overrun;
    overrun.BrakeAt(-2.0f, 5.0f);
    EXPECT_EQ(overrun.tasc.step, 8);

    TascRig extremes;
    extremes.serviceNotches = INT32_MAX;
    extremes.tasc.notchSteps = INT32_MAX;
    extremes.settings.plusBrakeConfigured = 1;
    extremes.BrakeAt(100.0f, 36.0f);
    EXPECT_EQ(extremes.tasc.brakeCommand, INT32_MAX);
}

TEST(TascStand, HoldsOnTheMarkUntilTheDriverTakesOver) {
    TascRig rig;
    rig.BrakeAt(0.35f, 0.0f);
    EXPECT_TRUE(rig.tasc.onMark);
    EXPECT_EQ(rig.tasc.brakeCommand, 8 + 16); // steps + twice the service notches
    EXPECT_EQ(rig.tasc.step, 1);

    rig.driver.brakeNotch = 3;
    rig.Run(0.0f);
    EXPECT_EQ(rig.tasc.brakeCommand, 24);
    rig.driver.brakeNotch = 4;
    rig.Run(0.0f);
    EXPECT_EQ(rig.tasc.brakeCommand, 0);
    EXPECT_FALSE(rig.tasc.braking || rig.tasc.targetSet);
    EXPECT_TRUE(rig.tasc.onMark); // until the train moves
    rig.driver.brakeNotch = 0;
    rig.Run(0.0f);
    EXPECT_EQ(rig.tasc.brakeCommand, 0);
    rig.Run(3.0f);
    EXPECT_FALSE(rig.tasc.onMark);

    TascRig shortOfIt;
    shortOfIt.BrakeAt(0.4f, 0.0f);
    EXPECT_FALSE(shortOfIt.tasc.onMark);
    TascRig noBeacon;
    noBeacon.tasc.braking = true;
    noBeacon.Run(0.0f);
    EXPECT_FALSE(noBeacon.tasc.onMark);
}

TEST(TascStand, WithAHoldingNotchOnlyNotchFiveReleasesAndOnlyABrakingTasc) {
    TascRig rig;
    rig.settings.holdBrake = 1;
    rig.settings.plusBrakeEmergencyBoost = 1;
    rig.tasc.notchSteps = 7;
    rig.driver.brakeNotch = 4;
    rig.BrakeAt(0.0f, 0.0f);
    EXPECT_EQ(rig.tasc.brakeCommand, 7 + 16 - 1 + 1);
    rig.driver.brakeNotch = 5;
    rig.Run(0.0f);
    EXPECT_EQ(rig.tasc.brakeCommand, 0);

    // Without a holding notch, notch 4 at a stand forgets a stop point not yet braked for.
    TascRig waiting;
    waiting.tasc.stopDistance = 50.0f;
    waiting.tasc.targetSet = true;
    waiting.driver.brakeNotch = 4;
    waiting.Run(0.0f);
    EXPECT_FALSE(waiting.tasc.targetSet);
    EXPECT_EQ(waiting.tasc.stopDistance, 0.0f);
    TascRig held;
    held.settings.holdBrake = 1;
    held.tasc.stopDistance = 50.0f;
    held.tasc.targetSet = true;
    held.driver.brakeNotch = 5;
    held.Run(0.0f);
    EXPECT_TRUE(held.tasc.targetSet);
}

TEST(TascActive, SwitchedOffOrWithoutAModeOrStepsOffersNothingAndForgetsTheStop) {
    for (int variant = 0; variant < 3; ++variant) {
        TascRig rig;
        if (variant == 0) rig.tasc.switchedOn = false;
        if (variant == 1) rig.tasc.mode = 0;
        if (variant == 2) rig.tasc.notchSteps = 0;
        rig.tasc.braking = rig.tasc.targetSet = rig.tasc.onMark = true;
        rig.tasc.stopDistance = 30.0f;
        rig.tasc.brakeCommand = 13;
        rig.Run(40.0f);
        EXPECT_EQ(rig.tasc.brakeCommand, 0) << variant;
        EXPECT_EQ(rig.tasc.stopDistance, 0.0f) << variant;
        EXPECT_FALSE(rig.tasc.braking || rig.tasc.targetSet || rig.tasc.onMark) << variant;
    }
}

} // namespace
} // namespace velqa3
