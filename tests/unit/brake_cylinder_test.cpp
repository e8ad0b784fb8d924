// The brake-cylinder gauge: the host's pressure, or with T-priority blending a target of its
// own followed at the main reservoir's rate; the snow-brake floor; the start-up needle swing.
#include "vehicle/brake_cylinder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velqa3 {
namespace {

// Start 10 km/h, full blend at 5 km/h, notch 2 aims at 300 kPa, notch 8 at 500 kPa.
Settings TPriority() {
    Settings s;
    s.tPriorityModel = 1;
    s.tPriorityStart = 10.0f;
    s.tPriorityMid = 5.0f;
    s.tPriorityB[0] = 300.0f;
    s.tPriorityB[6] = 500.0f;
    return s;
}

struct Gauge {
    BrakeCylinderDisplay bc;
    Settings settings = TPriority();
    std::int32_t clock = 36'000'100; // clear of the 2000 ms boundaries
    std::int32_t lineVoltage = 1620;
    std::int32_t serviceNotches = 8;

    // One frame of dt ms; MR 900 kPa makes the gauge move 200 × 0.02 × 30 = 120 kPa/s.
    float Step(std::int32_t notch, float speed, float bcHost, std::int32_t dt = 100,
               float current = 0.0f, float mr = 900.0f) {
        FrameValues frame;
        frame.clock = clock += dt;
        frame.interval = dt;
        frame.state.Time = clock;
        frame.state.Speed = speed;
        frame.state.BcPressure = bcHost;
        frame.state.MrPressure = mr;
        frame.state.Current = current;
        RunBrakeCylinder(
            bc, frame, settings,
            {.brakeOutput = notch, .serviceNotches = serviceNotches, .lineVoltage = lineVoltage});
        return bc.bcDisplay;
    }
};

TEST(BrakeCylinder, WithoutTheModelTheGaugeShowsTheHostAboveTheSnowBrake) {
    Gauge g;
    g.settings = Settings{};
    g.settings.tPriorityModel = 2; // a [JRC313] section alone does not blend
    EXPECT_EQ(g.Step(2, 3.0f, 123.0f), 123.0f);
    g.settings.snowBrake = 150;
    EXPECT_EQ(g.Step(0, 3.0f, 0.0f), 150.0f);
    EXPECT_EQ(g.Step(0, 3.0f, 400.0f), 400.0f);
}

TEST(BrakeCylinder, SpeedBlendRisesToTheNotchPressureAndFollowsAtTheReservoirRate) {
    Gauge g;
    g.bc.bcDisplay = 100.0f;
    // 2.5 km/h is half way to full blend: (300 − 100) × 0.5 + 100.
    g.Step(2, 2.5f, 100.0f);
    EXPECT_EQ(g.bc.bcTarget, 200.0f);
    EXPECT_FLOAT_EQ(g.bc.bcDisplay, 112.0f) << "12 kPa in 100 ms";
    // 7.5 km/h is half way back down to the host's pressure at 10 km/h.
    g.Step(2, 7.5f, 100.0f);
    EXPECT_EQ(g.bc.bcTarget, 200.0f);
    g.Step(2, 12.0f, 100.0f);
    EXPECT_EQ(g.bc.bcTarget, 100.0f) << "above T-PriorityStart the target is the host";
    EXPECT_FLOAT_EQ(g.bc.bcDisplay, 112.0f) << "falling at the same rate";
    // Within 3 kPa the gauge snaps to the target; a notch beyond 8 has no blend pressure.
    g.bc.bcDisplay = 290.0f;
    g.Step(2, 5.0f, 100.0f);
    EXPECT_EQ(g.bc.bcDisplay, 300.0f);
    g.serviceNotches = 10;
    g.Step(9, 5.0f, 100.0f);
    EXPECT_EQ(g.bc.bcTarget, 100.0f);
}

TEST(BrakeCylinder, ReleaseSetsTheExhaustFlagsAndApplicationClearsThem) {
    Gauge g;
    g.bc.bcDisplay = 400.0f;
    g.Step(0, 3.0f, 0.0f); // falling at low speed from above 200 kPa
    EXPECT_FLOAT_EQ(g.bc.bcDisplay, 388.0f);
    EXPECT_TRUE(g.bc.releasingLowSpeed);
    EXPECT_FALSE(g.bc.releasing);
    g.Step(2, 3.0f, 300.0f, 100); // target (300 − 300) · … + 300 = 300: still falling
    EXPECT_FALSE(g.bc.releasing) << "the low-speed exhaust holds on";
    g.bc = {};
    g.bc.bcDisplay = 400.0f;
    g.Step(0, 40.0f, 0.0f);
    EXPECT_TRUE(g.bc.releasing);
    g.Step(8, 40.0f, 450.0f);
    EXPECT_EQ(g.bc.bcDisplay, 450.0f) << "never below the host's pressure while rising";
    EXPECT_FALSE(g.bc.releasing);
    EXPECT_FALSE(g.bc.releasingLowSpeed);
}

TEST(BrakeCylinder, VoltageBlendStepsOnTwoSecondBoundariesAndHoldsBetween) {
    Gauge g;
    g.lineVoltage = 1850; // half way from ABStart 1800 to EGBEnd 1900
    g.clock = 36'001'950;
    g.Step(2, 40.0f, 100.0f, 100, -200.0f); // crosses 36 002 000
    EXPECT_EQ(g.bc.bcTarget, 200.0f);
    g.Step(2, 40.0f, 100.0f, 100, -200.0f);
    EXPECT_EQ(g.bc.bcTarget, 200.0f) << "held between boundaries";
    g.Step(2, 40.0f, 100.0f, 100, 50.0f);
    EXPECT_EQ(g.bc.bcTarget, 100.0f) << "powering: no blend";
}

TEST(BrakeCylinder, DegenerateSettingsAndInputsGiveNoNaN) {
    Gauge g;
    g.settings.tPriorityMid = g.settings.tPriorityStart;
    g.Step(2, 10.0f, 100.0f);
    EXPECT_TRUE(g.bc.midRaised);
    EXPECT_TRUE(std::isfinite(g.bc.bcTarget));
    EXPECT_NEAR(g.bc.bcTarget, 200.0f * 10.0f / 10.1f + 100.0f, 0.01f);

    g = Gauge{};
    g.settings.tPriorityMid = 0.0f;
    g.Step(2, 0.0f, 100.0f);
    EXPECT_EQ(g.bc.bcTarget, 300.0f) << "a mid of 0 is full blend at standstill";

    // EGBEnd equal to ABStart: the blend has no width and is full air at once.
    g = Gauge{};
    g.settings.abStart = g.settings.egbEnd = 1900;
    g.lineVoltage = 1900;
    g.clock = 36'001'950;
    g.Step(2, 40.0f, 100.0f, 100, -200.0f);
    EXPECT_EQ(g.bc.bcTarget, 300.0f);

    // No air in the main reservoir: the gauge cannot move, but stays a number.
    for (float mr : {0.0f, -50.0f}) {
        g = Gauge{};
        g.bc.bcDisplay = 100.0f;
        EXPECT_EQ(g.Step(2, 2.5f, 100.0f, 100, 0.0f, mr), 100.0f);
    }
    g = Gauge{};
    const float huge = 1.0e30f;
    g.settings.tPriorityStart = huge;
    g.clock = 0; // a frame as long as the clock can count
    EXPECT_TRUE(std::isfinite(g.Step(2, huge, huge, INT32_MAX, 0.0f, huge)));
    g.clock = 0;
    EXPECT_TRUE(std::isfinite(g.Step(2, -huge, -huge, INT32_MAX, 0.0f, huge)));
}

TEST(BrakeCylinder, StartUpTestSwingsTheNeedleThenRingsTheBell) {
    float gauge = 0.0f;
    FrameValues frame;
    frame.interval = 100;
    frame.state.BcPressure = 400.0f;
    AtsStartupTest test{.timer = 5000};
    std::int32_t bell = 0;
    for (int i = 0; i < 9; ++i) // to 4100 ms left: 400 ms into the rise
        RunAtsStartupTest(test, frame, gauge, bell);
    EXPECT_EQ(test.timer, 4100);
    EXPECT_FLOAT_EQ(gauge, 416.0f);
    for (int i = 0; i < 8; ++i) // 3300: on the way back
        RunAtsStartupTest(test, frame, gauge, bell);
    EXPECT_FLOAT_EQ(gauge, 416.0f);

    // A frame that lands exactly on the end has run the test out; the bell follows next frame.
    test.timer = 16;
    frame.interval = 16;
    RunAtsStartupTest(test, frame, gauge, bell);
    EXPECT_EQ(test.timer, -1);
    EXPECT_EQ(bell, 0);
    RunAtsStartupTest(test, frame, gauge, bell);
    EXPECT_EQ(bell, 1);
    RunAtsStartupTest(test, frame, gauge, bell);
    EXPECT_EQ(bell, 2);
    EXPECT_EQ(test.timer, 0);
    RunAtsStartupTest(test, frame, gauge, bell);
    EXPECT_EQ(bell, 2) << "the test is over";

    test.timer = 10; // overshooting ends it the same way
    RunAtsStartupTest(test, frame, gauge, bell);
    EXPECT_LT(test.timer, 0);
}

} // namespace
} // namespace velqa3
