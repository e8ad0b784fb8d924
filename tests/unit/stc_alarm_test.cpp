// The stop alarm of the spot protection: confirmation, emergency, bells, start-up and reset.
#include "ats_st/stc.h"
#include "plugin/host.h"
#include "tests/support/spot_rig.h"

#include <gtest/gtest.h>

namespace velqa3 {
namespace {

using test::SpotRig;

constexpr std::int32_t kNoon = 43'200'000;

TEST(SpotAlarm, ConfirmationIsDueWithinFiveSecondsOfTheBeacon) {
    SpotRig confirmed(kNoon);
    confirmed.stc.Beacon(0, 0, 0);
    confirmed.FrameAt(kNoon + 100); // the alarm lamp blinks, 375 ms dark, 375 ms lit
    EXPECT_EQ(confirmed.stc.alarmLamp, 0);
    confirmed.FrameAt(kNoon + 4999);
    EXPECT_EQ(confirmed.stc.alarmLamp, 1);
    EXPECT_EQ(confirmed.stc.bellSound, kSoundLoop);
    EXPECT_EQ(confirmed.stc.emergency, 0);
    confirmed.stc.Confirm();
    confirmed.FrameAt(kNoon + 5001);
    EXPECT_EQ(confirmed.stc.emergency, 0);
    EXPECT_EQ(confirmed.stc.bellSound, kSoundStop);
    EXPECT_EQ(confirmed.stc.chimeSound, kSoundLoop);
    EXPECT_EQ(confirmed.stc.normalLamp, 1);
    EXPECT_EQ(confirmed.stc.alarmLamp, 0);
    confirmed.stc.StopChime();
    confirmed.FrameAt(kNoon + 5021);
    EXPECT_EQ(confirmed.stc.chimeSound, kSoundStop);

    SpotRig late(kNoon);
    late.stc.Beacon(0, 0, 0);
    late.FrameAt(kNoon + 5000);
    EXPECT_EQ(late.stc.emergency, 0);
    late.FrameAt(kNoon + 5300); // in a dark half of the blink, but the lamp is now steady
    EXPECT_EQ(late.stc.emergency, 1);
    EXPECT_EQ(late.stc.alarmLamp, 1);
    late.stc.Confirm(); // refused: the brake has already been applied
    late.FrameAt(kNoon + 5320);
    EXPECT_EQ(late.stc.bellSound, kSoundLoop);
    EXPECT_EQ(late.stc.chimeSound, kSoundStop);
}

TEST(SpotAlarm, TheFiveSecondsMayStraddleMidnight) {
    // Beacons from 6 s to 1 ms before midnight: the deadline falls on either side of it.
    for (const std::int32_t start : {86'394'000, 86'397'000, 86'399'990, 86'399'999}) {
        SpotRig rig(start);
        rig.stc.Beacon(0, 0, 0);
        rig.Run(4980);
        EXPECT_EQ(rig.stc.emergency, 0) << "alarm at " << start;
        rig.Run(40);
        EXPECT_EQ(rig.stc.emergency, 1) << "alarm at " << start;
    }
}

TEST(SpotAlarm, ConfirmDuringAnEmergencyLeavesTheAlarmArmedAndTheBellRinging) {
    SpotRig rig(kNoon);
    rig.stc.Beacon(0, 0, 0);
    rig.stc.Beacon(1, 0, 0);
    rig.stc.Confirm();
    rig.FrameAt(kNoon + 20);
    EXPECT_EQ(rig.stc.armed, 1);
    EXPECT_EQ(rig.stc.bellSound, kSoundLoop);
    // The reset key releases the brake; the alarm then still awaits its confirmation.
    rig.stc.Clear();
    rig.FrameAt(kNoon + 1000);
    EXPECT_EQ(rig.stc.emergency, 0);
    rig.stc.Confirm();
    rig.FrameAt(kNoon + 6000);
    EXPECT_EQ(rig.stc.emergency, 0);
    EXPECT_EQ(rig.stc.chimeSound, kSoundLoop);
}

TEST(SpotAlarm, TheResetKeyReleasesAnUnconfirmedAlarmForGood) {
    SpotRig rig(kNoon);
    rig.stc.Beacon(0, 0, 0);
    rig.FrameAt(kNoon + 5020);
    ASSERT_EQ(rig.stc.emergency, 1);
    rig.stc.Clear();
    EXPECT_EQ(rig.stc.bellSound, kSoundStop);
    EXPECT_EQ(rig.stc.alarmLamp, 0);
    EXPECT_EQ(rig.stc.normalLamp, 0);
    rig.Run(1000);
    EXPECT_EQ(rig.stc.emergency, 0);
    EXPECT_EQ(rig.stc.bellSound, kSoundStop);

    rig.stc.Beacon(0, 0, 0); // the next signal at stop alarms as before
    rig.Run(5020);
    EXPECT_EQ(rig.stc.emergency, 1);
}

TEST(SpotAlarm, StartUpRingsTheBellJustOverHalfASecondThenTheChime) {
    SpotRig rig(kNoon);
    rig.stc.Beacon(0, 0, 0);
    rig.stc.Beacon(10, 0, 0);
    rig.stc.Restart(false); // ends the alarm and the pair
    rig.stc.Beacon(11, 0, 0);
    rig.Run(500);
    EXPECT_EQ(rig.stc.bellSound, kSoundLoop);
    EXPECT_EQ(rig.stc.alarmLamp, 1);
    EXPECT_EQ(rig.stc.normalLamp, 0);
    rig.Run(100);
    EXPECT_EQ(rig.stc.bellSound, kSoundStop);
    EXPECT_EQ(rig.stc.chimeSound, kSoundLoop);
    EXPECT_EQ(rig.stc.normalLamp, 1);
    EXPECT_EQ(rig.stc.alarmLamp, 0);
    rig.Run(10'000);
    EXPECT_EQ(rig.stc.chimeSound, kSoundLoop); // until the driver stops it
    EXPECT_EQ(rig.stc.emergency, 0);
    rig.stc.StopChime();
    rig.Run(100);
    EXPECT_EQ(rig.stc.chimeSound, kSoundStop);

    SpotRig silent(kNoon);
    silent.stc.Beacon(1, 0, 0);
    silent.stc.Restart(true);
    silent.Run(1000);
    EXPECT_EQ(silent.stc.emergency, 0);
    EXPECT_EQ(silent.stc.bellSound, kSoundStop);
    EXPECT_EQ(silent.stc.chimeSound, kSoundStop);
    EXPECT_EQ(silent.stc.normalLamp, 1);
}

} // namespace
} // namespace velqa3
