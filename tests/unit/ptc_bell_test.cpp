// The bell the driver hears, and the brake-release period with its lamp and reminder bell.
#include "tests/support/ptc_rig.h"

#include <gtest/gtest.h>

#include <vector>

namespace velqa3 {
namespace {

using test::PtcRig;

TEST(PtcBell, WarningBellEveryThreeSecondsThenAlternatingEmergencyBell) {
    PtcRig rig;
    rig.speed = 125; // maximum + 5: warning
    rig.Run(100);
    EXPECT_EQ(rig.ptc.state, 2);
    EXPECT_EQ(rig.ptc.bellOut, 1);
    rig.Run(100);
    EXPECT_EQ(rig.ptc.bellOut, 2); // a code sounds in one frame only

    std::vector<int> warning; // the warning bell every 3 s
    for (int t = 100; t <= 10000; t += 100) {
        rig.Run(100);
        if (rig.ptc.bellOut == 1) warning.push_back(t);
    }
    EXPECT_EQ(warning, (std::vector<int>{3000, 6000, 9000}));

    rig.speed = 130; // maximum + 10: emergency brake
    rig.Run(100);
    EXPECT_EQ(rig.ptc.state, 3);
    EXPECT_EQ(rig.ptc.bellOut, 2); // no new sound at the change from warning to brake
    std::vector<std::int32_t> codes;
    for (int i = 0; i < 60; ++i) {
        rig.Run(100);
        if (rig.ptc.bellOut == 1 || rig.ptc.bellOut == 3) codes.push_back(rig.ptc.bellOut);
    }
    EXPECT_EQ(codes, (std::vector<std::int32_t>{1, 3, 1, 3, 1}));
}

TEST(PtcBell, TargetPatternRingsAtEveryChange) {
    PtcRig rig;
    rig.ptc.patternKind = 1;
    rig.speed = 125;
    rig.Run(100);
    EXPECT_EQ(rig.ptc.bellOut, 1);
    rig.speed = 130;
    rig.Run(100);
    EXPECT_EQ(rig.ptc.bellOut, 1);
    rig.ptc.ReleaseBrake(rig.Frame());
    rig.speed = 0;
    rig.Run(100);
    EXPECT_EQ(rig.ptc.bellOut, 1); // back to 0: forced, at a stand too

    PtcRig standing{.atsMode = 7}; // a warning that starts at a stand rings only while moving
    standing.ptc.patternKind = 1;
    standing.ptc.limSpd = 0;
    standing.ptc.limDis = 5;
    standing.Run(100);
    EXPECT_EQ(standing.ptc.state, 1);
    EXPECT_EQ(standing.ptc.bellOut, 0);
}

// The driver has pressed the brake-release key: what the key handler does.
void PressRelease(PtcRig& rig) {
    rig.cabSwitches |= 0x20;
    rig.ptc.releaseLamp = 1;
    rig.ptc.ReleaseBrake(rig.Frame());
}

TEST(PtcRelease, SixtySecondsFromTheFirstPowerNotch) {
    PtcRig rig;
    PressRelease(rig);
    rig.Run(100, 10); // no power yet: the period has not started
    EXPECT_EQ(rig.ptc.releaseTimer, 60000);
    EXPECT_EQ(rig.ptc.releaseLamp, 1);

    rig.powerNotch = 1;
    rig.speed = 130; // the checker brakes every frame, and every frame it is undone
    int steadyFrames = 0, lampOn = 0, lampOff = 0;
    std::vector<int> bells;
    for (int t = 100; t <= 60000; t += 100) {
        rig.Run(100);
        ASSERT_EQ(rig.ptc.emergencyLatch + rig.ptc.brakeLamp + rig.ptc.state, 0) << t;
        if (t < 45000)
            steadyFrames += rig.ptc.releaseLamp;
        else
            (rig.ptc.releaseLamp != 0 ? lampOn : lampOff) += 1;
        if (rig.ptc.bellOut == 1) bells.push_back(t);
    }
    EXPECT_EQ(steadyFrames, 449);
    EXPECT_GT(lampOn, 50); // blinking: on and off about equally
    EXPECT_GT(lampOff, 50);
    EXPECT_EQ(bells, (std::vector<int>{48000, 51000, 54000, 57000, 60000}));

    rig.Run(100); // 60 s are over
    EXPECT_EQ(rig.cabSwitches & 0x60, 0);
    EXPECT_EQ(rig.ptc.releaseTimer, 60000);
    EXPECT_EQ(rig.ptc.releaseLamp, 0);
    rig.Run(100);
    EXPECT_EQ(rig.ptc.emergencyLatch, 1); // protection is back
}

TEST(PtcRelease, LineFiveKeepsTheLampSteadyWithoutBell) {
    PtcRig rig;
    rig.ptc.lineType = 5;
    PressRelease(rig);
    rig.powerNotch = 2;
    int lampOff = 0, bells = 0;
    for (int i = 0; i < 590; ++i) {
        rig.Run(100);
        lampOff += rig.ptc.releaseLamp == 0;
        bells += rig.ptc.bellOut == 1;
    }
    EXPECT_EQ(lampOff, 0);
    EXPECT_EQ(bells, 0);
    rig.speed = 130; // the latch is undone, the state is left as the checker set it
    rig.Run(100);
    EXPECT_EQ(rig.ptc.emergencyLatch, 0);
    EXPECT_EQ(rig.ptc.state, 3);

    PtcRig huge; // a frame longer than the whole period ends it without wrapping a timer
    PressRelease(huge);
    huge.powerNotch = 1;
    huge.Run(INT32_MAX);
    EXPECT_EQ(huge.cabSwitches & 0x60, 0);
    EXPECT_EQ(huge.ptc.releaseTimer, 60000);
}

} // namespace
} // namespace velqa3
