// The train model the host moves with the plug-in's commands: brakes, power, gradient and the
// constant-speed command behave as a driver would expect them to.
#include "sim/train.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace velqa3::sim {
namespace {

VehicleModel Plain() {
    return {.spec = {4, 2, 1, 3, 4},
            .powerCurves = {{{0.0, 1.0}}, {{0.0, 2.0}, {50.0, 2.0}, {100.0, 1.0}}},
            .brakeDeceleration = {1.0, 2.0, 3.0, 4.0},
            .bcPressure = {100.0, 200.0, 300.0, 400.0},
            .emergencyDeceleration = 5.0,
            .emergencyBcPressure = 450.0,
            .bcApplyRate = 100000.0, // fills at once unless a test says otherwise
            .bcReleaseRate = 100000.0,
            .resistance = {0.0, 0.0, 0.0}};
}

TEST(Train, BrakesStopTheTrainWhereTheDecelerationSays) {
    // Notch and its deceleration in km/h/s: the emergency notch and any above it brake hardest.
    const std::pair<int, double> cases[] = {{2, 2.0}, {4, 4.0}, {5, 5.0}, {40, 5.0}};
    for (const auto& [notch, deceleration] : cases) {
        const VehicleModel model = Plain();
        Train train(model);
        train.Place(100.0, 72.0);
        train.Command(HandleOutput{notch, 0, 1, 0});
        double t = 0.0;
        for (; t < 120.0 && train.speed() != 0.0; t += 0.01)
            train.Step(0.01, 0.0);
        // v^2 / 2a with v = 20 m/s
        EXPECT_NEAR(train.location() - 100.0, 400.0 / (2.0 * deceleration / 3.6), 0.5) << notch;
        EXPECT_NEAR(t, 72.0 / deceleration, 0.02) << notch;
        EXPECT_LE(train.State(0).Current, 0.0f) << "brakes draw no traction current";
    }
}

TEST(Train, CylinderPressureFollowsTheNotchAtItsRate) {
    VehicleModel model = Plain();
    model.bcApplyRate = 200.0;
    model.bcReleaseRate = 50.0;
    Train train(model);
    train.Command(HandleOutput{3, 0, 0, 0});
    train.Step(1.0, 0.0);
    EXPECT_FLOAT_EQ(train.State(0).BcPressure, 200.0f);
    train.Step(1.0, 0.0);
    EXPECT_FLOAT_EQ(train.State(0).BcPressure, 300.0f);
    train.Command(HandleOutput{0, 0, 0, 0});
    train.Step(2.0, 0.0);
    EXPECT_FLOAT_EQ(train.State(0).BcPressure, 200.0f);
    EXPECT_FLOAT_EQ(train.State(0).SapPressure, 200.0f);
    EXPECT_LT(train.State(0).MrPressure, static_cast<float>(model.mrMax)) << "filling uses air";
}

TEST(Train, PowerFollowsTheCurveAndTheReverser) {
    const VehicleModel model = Plain();
    Train train(model);
    EXPECT_DOUBLE_EQ(train.PowerAcceleration(2, 75.0), 1.5);
    EXPECT_DOUBLE_EQ(train.PowerAcceleration(2, 200.0), 1.0);
    EXPECT_DOUBLE_EQ(train.PowerAcceleration(9, 0.0), 2.0) << "above the top notch: the top notch";
    train.Command(HandleOutput{0, 2, -1, 0});
    train.Step(1.0, 0.0);
    EXPECT_NEAR(train.speed(), -2.0, 1e-9);
    EXPECT_GT(train.State(0).Current, 0.0f);
    train.Command(HandleOutput{0, 2, 0, 0});
    train.Step(1.0, 0.0);
    EXPECT_NEAR(train.speed(), -2.0, 1e-9) << "no traction in neutral";
    train.SetDoorsOpen(true);
    train.Command(HandleOutput{0, 2, -1, 0});
    train.Step(1.0, 0.0);
    EXPECT_NEAR(train.speed(), -2.0, 1e-9) << "no traction with the doors open";
}

TEST(Train, GradientPullsAFreeTrainAndBrakesHoldIt) {
    const VehicleModel model = Plain();
    Train free(model);
    free.Command(HandleOutput{0, 0, 0, 0});
    free.Step(10.0, 10.0); // 10 per mille uphill: rolls back
    EXPECT_NEAR(free.speed(), -10.0 * 9.80665 * 3.6 / 100.0, 1e-9);

    Train held(model);
    held.Command(HandleOutput{1, 0, 0, 0});
    held.Step(10.0, 10.0);
    EXPECT_EQ(held.speed(), 0.0);
    EXPECT_EQ(held.location(), 0.0);
}

TEST(Train, ConstantSpeedHoldsTheSpeedOfTheMomentItWasEnabled) {
    VehicleModel model = Plain();
    model.resistance[0] = 0.2;
    Train train(model);
    train.Place(0.0, 40.0);
    train.Command(HandleOutput{0, 2, 1, 1});
    for (int i = 0; i < 100; ++i)
        train.Step(0.1, 0.0);
    EXPECT_NEAR(train.speed(), 40.0, 1e-9);
    train.Command(HandleOutput{0, 2, 1, 2});
    train.Step(1.0, 0.0);
    EXPECT_NEAR(train.speed(), 41.8, 1e-9);
}

} // namespace
} // namespace velqa3::sim
