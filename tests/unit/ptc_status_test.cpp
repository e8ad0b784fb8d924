// Starting, resetting and releasing the pattern protection, and its status message.
#include "tests/support/ptc_rig.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace velqa3 {
namespace {

using test::PtcRig;

TEST(PtcControl, StartResetAndRelease) {
    PtcRig rig{.speed = 40};
    rig.ptc.BeaconIn(rig.Frame(), 60, 0, 30, 0, true); // braked by a beacon
    rig.ptc.nsdLamp = 1;
    rig.ptc.patternSpd = 80;
    rig.ptc.StartPattern(rig.Frame());
    EXPECT_EQ(rig.ptc.emergencyLatch + rig.ptc.brakeLamp + rig.ptc.nsdLamp, 0);
    EXPECT_EQ(rig.ptc.sigDis, 100000.0f);
    EXPECT_EQ(rig.ptc.patternSpd, 0.0f);
    EXPECT_EQ(rig.ptc.resetReady, 1);
    EXPECT_EQ(rig.ptc.bellCode, 1);

    // A reset is accepted (lamp) only with the brake in emergency and the reverser neutral.
    rig.ptc.ApplyServiceBrake(30);
    rig.brakeNotch = 9;
    rig.reverser = 1;
    rig.ptc.ReleaseBrake(rig.Frame());
    EXPECT_EQ(rig.ptc.serviceLatch, 0);
    EXPECT_EQ(rig.ptc.resetReady, 0);
    rig.reverser = 0;
    rig.ptc.ReleaseBrake(rig.Frame());
    EXPECT_EQ(rig.ptc.resetReady, 1);
    rig.brakeNotch = 8;
    rig.ptc.Reset(rig.Frame());
    EXPECT_EQ(rig.ptc.resetReady, 0);
}

TEST(PtcStatus, MessageInTheFixedFormat) {
    PtcRig rig{.speed = 72};
    rig.ptc.sigDis = 250;
    rig.ptc.limSpd = 45;
    rig.ptc.limDis = 300;
    rig.Run(0);
    rig.ptc.nsdMode = 200; // printed as the unsigned byte it is
    rig.ptc.BeaconIn(rig.Frame(), 999, -1, 12.5f, INT_MIN, false);
    const std::string text = rig.ptc.StatusJson(72.0f);
    EXPECT_EQ(text, "{\"Ats\":{\"ApproachNo\":21, \"Spd\":72.0}, "
                    "\"Sig\":{\"Dis\":250.0, \"PtnDis\":277.1, \"PtnSpd\":68.3}, "
                    "\"NSD\":{\"Mode\":200, \"Dis\":0.0}, "
                    "\"Lim\":{\"Dis\":300.0, \"PtnDis\":176.7, \"PtnSpd\":87.1, \"Spd\":45.0}, "
                    "\"LimDo\":{\"Dis\":0.0, \"Spd\":999.9, \"Max\":120.0}, "
                    "\"Beacon\":{\"Type\":999, \"Signal\":-1, \"Optional\":-2147483648}}");
    EXPECT_STREQ(rig.ptc.statusJson, text.c_str());
}

} // namespace
} // namespace velqa3
