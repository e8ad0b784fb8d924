// The host's input calls: what they store and the actions bound to them.
#include "tests/support/cab.h"

#include <climits>

namespace velqa3 {
namespace {

using test::Cab;

TEST_F(Cab, ProtectionSwitchesOnAtTheFirstRealBrakeMove) {
    struct Case {
        std::int32_t lineCode;
        std::initializer_list<std::int32_t> notches;
        std::uint8_t atsMode;
    };
    const Case cases[] = {
        {0, {2, 3}, 2},    // the second call, with a new notch
        {0x08, {2, 3}, 8}, // spot beacons of types 12 and 13
        {0, {2}, 0},       // the first call only reports where the handle stood
        {0, {2, 2}, 0},    // no move
        {0, {2, 2, 3}, 0}, // only the second call counts
        {4, {2, 3}, 0},    // pattern lines wait for their beacons
    };
    for (const Case& c : cases) {
        plugin = std::make_unique<Plugin>();
        StartRun();
        plugin->protection.mode.lineCode = c.lineCode;
        for (std::int32_t notch : c.notches)
            plugin->SetBrake(notch);
        EXPECT_EQ(plugin->protection.mode.atsMode, c.atsMode) << "line " << c.lineCode;
        EXPECT_EQ(plugin->protection.mode.atsModePanel, plugin->protection.mode.atsMode);
        EXPECT_EQ(plugin->protection.mode.atsStarted, c.atsMode != 0 ? 1 : 0);
    }
}

TEST_F(Cab, ResetKeyWorksOnlyWithTheTrainSecured) {
    const std::uint8_t latched = BrakeDemandBits::VigilanceBrake | BrakeDemandBits::SlipBrake |
                                 BrakeDemandBits::RollbackBrake;
    const auto press = [&](float speed, std::int32_t reverser, std::int32_t brake) {
        plugin->frame.speed = speed;
        plugin->SetReverser(reverser);
        plugin->SetBrake(brake);
        plugin->aids.supervision.brakeDemand = latched | BrakeDemandBits::StBrake;
        plugin->cab.sound.requests = 0xFF;
        plugin->KeyDown(3);
    };
    press(0.1f, 0, 9);
    EXPECT_EQ(plugin->aids.supervision.brakeDemand & latched, latched) << "still moving";
    press(0.0f, 1, 9);
    EXPECT_EQ(plugin->aids.supervision.brakeDemand & latched, latched) << "reverser forward";
    press(0.0f, 0, 8);
    EXPECT_EQ(plugin->aids.supervision.brakeDemand & latched, latched) << "not the emergency brake";

    press(0.0f, 0, 9);
    EXPECT_EQ(plugin->aids.supervision.brakeDemand & latched, 0);
    EXPECT_EQ(plugin->cab.sound.requests, SoundRequestBits::Bell1 | SoundRequestBits::Bell2);
    EXPECT_EQ(plugin->cab.sound.alarmTimer, -1);
    // A reset counts as the protection's first brake report again.
    plugin->protection.mode.lineCode = 0;
    plugin->SetBrake(3);
    EXPECT_EQ(plugin->protection.mode.atsMode, 2);
}

TEST_F(Cab, VigilanceBrakeIsClearedOnlyByTheEmergencyHandle) {
    plugin->aids.supervision.brakeDemand = BrakeDemandBits::VigilanceBrake;
    plugin->aids.supervision.vigilance.timer = 70000;
    plugin->aids.supervision.vigilance.warning = true;
    plugin->HornBlow(1);
    plugin->SetPower(2);
    plugin->SetBrake(5);
    EXPECT_EQ(plugin->aids.supervision.vigilance.timer, 70000) << "no driver action resets a brake";
    plugin->SetBrake(9);
    EXPECT_EQ(plugin->aids.supervision.brakeDemand, 0);
    EXPECT_EQ(plugin->aids.supervision.vigilance.timer, 0);
    EXPECT_FALSE(plugin->aids.supervision.vigilance.warning);
    EXPECT_EQ(plugin->aids.supervision.vigilance.buzzer, kSoundStop);

    for (std::int32_t key : {2, 0, 5}) {
        plugin->aids.supervision.vigilance.timer = 1000;
        plugin->KeyDown(key);
        EXPECT_EQ(plugin->aids.supervision.vigilance.timer, key == 2 ? 0 : 1000) << "key " << key;
    }
}

TEST_F(Cab, MasterControllerKeyTurnsOnlyWithTheOnePositionKey) {
    plugin->protection.mode.atsMode = 0;
    plugin->protection.mode.atsStarted = 0;
    plugin->cab.inputs.masterKeyFlags = 0xD0; // MKey 2: turned by its own key, not host key 4
    plugin->cab.inputs.masterKeyPosition = 1;
    plugin->KeyDown(4);
    EXPECT_EQ(plugin->cab.inputs.masterKeyPosition, 1);

    plugin->cab.inputs.masterKeyFlags = 0x90; // MKey 1
    plugin->settings.carNumber = 1;
    plugin->KeyDown(4);
    EXPECT_EQ(plugin->cab.inputs.masterKeyPosition, 2);
    EXPECT_EQ(plugin->protection.mode.atsMode, 2);
    EXPECT_EQ(plugin->protection.mode.atsModePanel, 2);
    EXPECT_EQ(plugin->protection.mode.atsStarted, 1);
    EXPECT_EQ(plugin->aids.startupTest.timer, 5000) << "the start-up test of a key not yet in";
    EXPECT_EQ(plugin->cab.display.period[kCarNumberChannel], 0);

    plugin->KeyDown(4);
    EXPECT_EQ(plugin->cab.inputs.masterKeyPosition, 3);
    EXPECT_EQ(plugin->protection.mode.atsMode, 0) << "spot protection off and no pattern: all off";
    EXPECT_EQ(plugin->protection.mode.atsStarted, 0);
    EXPECT_EQ(plugin->aids.startupTest.timer, 0);
    EXPECT_EQ(plugin->cab.display.period[kCarNumberChannel], 2) << "odd positions show the car";
    EXPECT_EQ(plugin->cab.display.carNumberTimer, 10000);

    plugin->KeyDown(4);
    EXPECT_EQ(plugin->cab.inputs.masterKeyPosition, 0);

    // On an aspect-table line the key starts the pattern variant.
    plugin->protection.mode.lineCode = 0x14;
    plugin->KeyDown(4);
    plugin->KeyDown(4);
    EXPECT_EQ(plugin->protection.mode.atsMode, 16);
}

TEST_F(Cab, ModeKeysStepThroughTheProtectionsOfADualLine) {
    plugin->protection.mode.lineCode = 0x08;
    plugin->protection.mode.atsMode = 2;
    plugin->KeyDown(7);
    EXPECT_EQ(plugin->protection.mode.atsMode, 15);
    plugin->protection.mode.atsMode = 4;
    plugin->KeyDown(7);
    EXPECT_EQ(plugin->protection.mode.cabSignalMode, 1)
        << "spot protection off: the signal speed check";
    EXPECT_EQ(plugin->protection.mode.cabSignalCode, 5);
    plugin->KeyDown(7);
    EXPECT_EQ(plugin->protection.mode.atsMode, 8);
    EXPECT_EQ(plugin->protection.mode.cabSignalMode, 0);
    EXPECT_EQ(plugin->protection.mode.atsModePanel, 8);

    plugin->KeyDown(8);
    EXPECT_EQ(plugin->protection.mode.atsMode, 2);
    plugin->KeyDown(8);
    EXPECT_EQ(plugin->protection.mode.atsMode, 15);
    plugin->KeyDown(8);
    EXPECT_EQ(plugin->protection.mode.atsMode, 15) << "every part already on";

    // On an aspect-table line key 1 switches between pattern and spot only at a secured stand.
    plugin->protection.mode.lineCode = 0x10;
    plugin->protection.mode.atsMode = 4;
    plugin->KeyDown(7);
    EXPECT_EQ(plugin->protection.mode.atsMode, 4);
    plugin->SetBrake(9);
    plugin->KeyDown(7);
    EXPECT_EQ(plugin->protection.mode.atsMode, 21);
    plugin->KeyDown(7);
    EXPECT_EQ(plugin->protection.mode.atsMode, 2);
    plugin->KeyDown(8);
    EXPECT_EQ(plugin->protection.mode.atsMode, 2) << "key 2 needs a dual line";
}

TEST_F(Cab, SignalAspectFeedsTheSpeedCheckOnlyWhileItRuns) {
    plugin->SetSignal(25);
    EXPECT_EQ(plugin->protection.mode.currentAspect, 25);
    EXPECT_EQ(plugin->protection.mode.cabSignalCode, 0);
    plugin->protection.mode.cabSignalMode = 1;
    plugin->SetSignal(25);
    EXPECT_EQ(plugin->protection.mode.cabSignalCode, 5);
    // A negative aspect has no limit of its own: the check keeps the one it has.
    for (std::int32_t aspect : {-1, -25, INT_MIN}) {
        plugin->SetSignal(aspect);
        EXPECT_EQ(plugin->protection.mode.currentAspect, aspect);
        EXPECT_EQ(plugin->protection.mode.cabSignalCode, 5);
    }
    plugin->SetSignal(INT_MAX);
    EXPECT_EQ(plugin->protection.mode.cabSignalCode, INT_MAX % 20);
}

TEST_F(Cab, DoorsDriveAnnouncementsDisplaysAndPlatformDoors) {
    plugin->aids.supervision.announcement[2] = 1;
    plugin->cab.display.period[0] = -3;
    plugin->cab.display.period[1] = 4;
    plugin->aids.stopStation = true;
    plugin->aids.platformDoors.flags =
        PlatformDoorBits::DoorsFitted | PlatformDoorBits::DoorsLinked;
    plugin->DoorsOpened(true);
    EXPECT_FALSE(plugin->cab.inputs.doorsClosed);
    EXPECT_FALSE(plugin->aids.stopStation);
    for (std::int32_t channel : plugin->aids.supervision.announcement)
        EXPECT_EQ(channel, kSoundStop);
    EXPECT_EQ(plugin->cab.display.period[0], 0);
    EXPECT_EQ(plugin->cab.display.period[1], 4);
    EXPECT_NE(plugin->aids.platformDoors.flags & PlatformDoorBits::Open, 0);

    // Closing just before midnight: the platform doors close early the next day.
    plugin->settings.pdClose = 5000;
    plugin->settings.station = 1;
    plugin->cab.display.period[kStationChannel] = 7;
    plugin->frame.clock = kMsPerDay - 1000;
    plugin->DoorsClosed(true);
    EXPECT_TRUE(plugin->cab.inputs.doorsClosed);
    EXPECT_EQ(plugin->cab.inputs.doorCounter, 1);
    EXPECT_EQ(plugin->cab.display.period[kStationChannel], 0);
    EXPECT_EQ(plugin->aids.platformDoors.closeTime, 4000);
    EXPECT_NE(plugin->aids.platformDoors.flags & PlatformDoorBits::CloseRequested, 0);

    // The frame moves a requested close on to closing, and ends it once the time has passed.
    time = 3000;
    Frame();
    EXPECT_NE(plugin->aids.platformDoors.flags & PlatformDoorBits::Closing, 0);
    time = 4001 - 16;
    Frame();
    EXPECT_EQ(
        plugin->aids.platformDoors.flags & (PlatformDoorBits::Open | PlatformDoorBits::Closing), 0);
}

TEST_F(Cab, ConfirmationKeyCountsOnlyWithTheBrakeAtTheAtsNotch) {
    plugin->protection.stc.armed = 1;
    plugin->SetBrake(1);
    plugin->KeyDown(0);
    EXPECT_EQ(plugin->protection.stc.armed, 1) << "brake below the ATS notch";
    EXPECT_TRUE(plugin->cab.inputs.key0Held);
    plugin->KeyUp(0);
    plugin->SetBrake(2);
    plugin->KeyDown(0);
    EXPECT_EQ(plugin->protection.stc.armed, 0);
    EXPECT_EQ(plugin->protection.stc.chimeReq, 1);
}

TEST_F(Cab, Key13AndKeysOutOfRange) {
    // Key 13 released at a released handle tells the T-priority model's exhaust to sound.
    plugin->settings.tPriorityModel = 2;
    plugin->KeyDown(13);
    plugin->KeyUp(13);
    EXPECT_TRUE(plugin->cab.inputs.brakeReleasedOnKey13Up);
    plugin->SetBrake(1);
    plugin->KeyDown(13);
    plugin->KeyUp(13);
    EXPECT_FALSE(plugin->cab.inputs.brakeReleasedOnKey13Up);

    plugin->settings.constant = 1;
    plugin->KeyDown(13);
    for (std::int32_t key : {-1, 16, 4 + 16, 13 - 16, INT_MIN, INT_MAX}) {
        plugin->KeyDown(key);
        plugin->KeyUp(key);
    }
    EXPECT_EQ(plugin->cab.inputs.holdBrakeKey, 8) << "no key beyond 0..15 aliases key 13";
    EXPECT_EQ(plugin->cab.inputs.masterKeyPosition, 2);
    EXPECT_EQ(plugin->arbitration.constantState, 0);
}

} // namespace
} // namespace velqa3
