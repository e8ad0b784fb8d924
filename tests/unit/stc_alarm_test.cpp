// The stop alarm of the spot protection: confirmation, emergency, bells, start-up and reset.
#include "ats_st/stc.h"
#include "host/host.h"
#include "tests/support/spot_rig.h"

#include <gtest/gtest.h>

namespace velqa3 {
namespace {

using test::SpotRig;

constexpr std::int32_t kNoon = 43'200'000;
const SpotRig::Cab kBell{kSoundLoop, kSoundStop, 0, 1}; // alarm or emergency
const SpotRig::Cab kChime{kSoundStop, kSoundLoop, 1, 0};
const SpotRig::Cab kQuiet{kSoundStop, kSoundStop, 1, 0};

TEST(SpotAlarm, ConfirmationIsDueWithinFiveSecondsOfTheBeacon) {
    SpotRig confirmed(kNoon);
    confirmed.stc.Beacon(confirmed.Frame(), 0, 0, 0);
    confirmed.FrameAt(kNoon + 100); // the alarm lamp blinks, 375 ms dark, 375 ms lit
    EXPECT_EQ(confirmed.stc.alarmLamp, 0);
    confirmed.FrameAt(kNoon + 4999);
    EXPECT_EQ(confirmed.Outputs(), kBell);
    confirmed.stc.Confirm();
    confirmed.FrameAt(kNoon + 5001);
    EXPECT_EQ(confirmed.stc.emergency, 0);
    EXPECT_EQ(confirmed.Outputs(), kChime);
    confirmed.stc.StopChime();
    confirmed.FrameAt(kNoon + 5021);
    EXPECT_EQ(confirmed.Outputs(), kQuiet);

    SpotRig late(kNoon);
    late.stc.Beacon(late.Frame(), 0, 0, 0);
    late.FrameAt(kNoon + 5000);
    EXPECT_EQ(late.stc.emergency, 0);
    late.FrameAt(kNoon + 5001);
    EXPECT_EQ(late.stc.emergency, 1);
    late.FrameAt(kNoon + 5300); // in a dark half of the blink, but the lamp is now steady
    EXPECT_EQ(late.Outputs(), kBell);
    late.stc.Confirm(); // refused: the brake has already been applied
    late.FrameAt(kNoon + 5320);
    EXPECT_EQ(late.Outputs(), kBell);
}

TEST(SpotAlarm, TheFiveSecondsMayStraddleMidnight) {
    // Beacons from 6 s to 1 ms before midnight: the deadline falls on either side of it, or
    // just before it with the first frame past it just after.
    for (const std::int32_t start : {86'394'000, 86'394'990, 86'397'000, 86'399'990, 86'399'999}) {
        SpotRig rig(start);
        rig.stc.Beacon(rig.Frame(), 0, 0, 0);
        rig.Run(4980);
        EXPECT_EQ(rig.stc.emergency, 0) << "alarm at " << start;
        rig.Run(40);
        EXPECT_EQ(rig.stc.emergency, 1) << "alarm at " << start;
    }
}

TEST(SpotAlarm, TheResetKeyReleasesTheBrakeButNotTheAlarm) {
    // An emergency from another beacon while the alarm runs: the alarm still awaits its
    // confirmation once the brake is released.
    SpotRig rig(kNoon);
    rig.stc.Beacon(rig.Frame(), 0, 0, 0);
    rig.stc.Beacon(rig.Frame(), 1, 0, 0);
    rig.stc.Confirm();
    rig.FrameAt(kNoon + 20);
    EXPECT_EQ(rig.stc.armed, 1);
    EXPECT_EQ(rig.stc.bellSound, kSoundLoop);
    rig.stc.Clear();
    rig.FrameAt(kNoon + 1000);
    EXPECT_EQ(rig.stc.emergency, 0);
    rig.stc.Confirm();
    rig.FrameAt(kNoon + 6000);
    EXPECT_EQ(rig.stc.emergency, 0);
    EXPECT_EQ(rig.Outputs(), kChime);

    // An alarm left unconfirmed: the reset silences it and it does not brake again.
    SpotRig late(kNoon);
    late.stc.Beacon(late.Frame(), 0, 0, 0);
    late.FrameAt(kNoon + 5020);
    ASSERT_EQ(late.stc.emergency, 1);
    late.stc.Clear();
    EXPECT_EQ(late.Outputs(), (SpotRig::Cab{kSoundStop, kSoundStop, 0, 0}));
    late.Run(1000);
    EXPECT_EQ(late.stc.emergency, 0);
    EXPECT_EQ(late.stc.bellSound, kSoundStop);
    late.stc.Beacon(late.Frame(), 0, 0, 0); // the next signal at stop alarms as before
    late.Run(5020);
    EXPECT_EQ(late.stc.emergency, 1);
}

TEST(SpotAlarm, StartUpRingsTheBellJustOverHalfASecondThenTheChime) {
    SpotRig rig(kNoon);
    rig.stc.Beacon(rig.Frame(), 0, 0, 0);
    rig.stc.Beacon(rig.Frame(), 10, 0, 0);
    rig.stc.Restart(false); // ends the alarm and the pair
    rig.stc.Beacon(rig.Frame(), 11, 0, 0);
    rig.Run(500);
    EXPECT_EQ(rig.Outputs(), kBell);
    rig.Run(100);
    EXPECT_EQ(rig.Outputs(), kChime);
    rig.Run(10'000); // until the driver stops it
    EXPECT_EQ(rig.Outputs(), kChime);
    EXPECT_EQ(rig.stc.emergency, 0);
    rig.stc.StopChime();
    rig.Run(100);
    EXPECT_EQ(rig.Outputs(), kQuiet);

    SpotRig silent(kNoon);
    silent.stc.Beacon(silent.Frame(), 1, 0, 0);
    silent.stc.Restart(true);
    silent.Run(1000);
    EXPECT_EQ(silent.stc.emergency, 0);
    EXPECT_EQ(silent.Outputs(), kQuiet);
}

} // namespace
} // namespace velqa3
