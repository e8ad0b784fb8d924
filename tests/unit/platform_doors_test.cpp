// The platform-door interlock: the station beacons, platform doors opening with the train's
// and closing a set delay after them, over midnight too.
#include "tests/support/cab.h"
#include "vehicle/platform_doors.h"

#include <gtest/gtest.h>

namespace velqa3 {
namespace {

using namespace PlatformDoorBits;

PlatformDoorState Linked() {
    PlatformDoorState doors;
    doors.flags = DoorsFitted | DoorsLinked;
    return doors;
}

// Frames of ms each, the first starting at start; true while the platform doors are open.
bool OpenAfterFrames(PlatformDoorState& doors, std::int32_t start, std::int32_t ms, int frames) {
    FrameValues frame;
    frame.clock = start;
    for (int i = 0; i < frames; ++i) {
        frame.interval = ms;
        frame.clock = (frame.clock + ms) % kMsPerDay;
        RunPlatformDoorTimer(doors, frame);
    }
    return (doors.flags & Open) != 0;
}

TEST(PlatformDoorBeacons, ArrivalCountsOnlyAtAnAnnouncedPlatformAndReversingUndoesIt) {
    PlatformDoorState doors = Linked();
    PlatformDoorBeacon(doors, 1, 30.0f);
    EXPECT_EQ(doors.flags & AtPlatform, 0);
    PlatformDoorBeacon(doors, 2, 30.0f);
    PlatformDoorBeacon(doors, 1, 30.0f);
    EXPECT_NE(doors.flags & AtPlatform, 0);
    PlatformDoorBeacon(doors, 1, -3.0f);
    EXPECT_EQ(doors.flags & AtPlatform, 0);
    PlatformDoorBeacon(doors, 0, -3.0f);
    EXPECT_NE(doors.flags & AtPlatform, 0);
    PlatformDoorBeacon(doors, 7, 30.0f);
    EXPECT_EQ(doors.flags & AtPlatform, 0);

    PlatformDoorState none;
    PlatformDoorBeacon(none, 2, 30.0f);
    EXPECT_EQ(none.flags, 0);
}

// The delay ends exactly at the end of the second 250 ms frame.
TEST(PlatformDoorTimer, CloseTheDelayAfterTheTrainDoorsAndNotBefore) {
    PlatformDoorState doors = Linked();
    PlatformDoorsOpened(doors);
    EXPECT_EQ(doors.closeTime, -1);
    PlatformDoorsClosed(doors, 36'000'000, 500);
    EXPECT_EQ(doors.closeTime, 36'000'500);
    EXPECT_TRUE(OpenAfterFrames(doors, 36'000'000, 250, 1));
    EXPECT_FALSE(OpenAfterFrames(doors, 36'000'250, 250, 1));
    EXPECT_EQ(doors.flags & (Closing | CloseRequested), 0);

    PlatformDoorState unlinked;
    unlinked.flags = DoorsFitted;
    PlatformDoorsOpened(unlinked);
    EXPECT_EQ(unlinked.flags & Open, 0);
}

TEST(PlatformDoorTimer, ADelayRunsOnOverMidnight) {
    PlatformDoorState doors = Linked();
    PlatformDoorsOpened(doors);
    PlatformDoorsClosed(doors, kMsPerDay - 300, 500);
    EXPECT_EQ(doors.closeTime, 200);
    EXPECT_TRUE(OpenAfterFrames(doors, kMsPerDay - 300, 100, 4)); // 00:00:00.100
    EXPECT_FALSE(OpenAfterFrames(doors, 100, 100, 1));
}

TEST(PlatformDoorTimer, TrainDoorsOpeningAgainCallOffTheClose) {
    PlatformDoorState doors = Linked();
    PlatformDoorsOpened(doors);
    PlatformDoorsClosed(doors, 1000, 500);
    EXPECT_TRUE(OpenAfterFrames(doors, 1000, 100, 2));
    PlatformDoorsOpened(doors);
    EXPECT_TRUE(OpenAfterFrames(doors, 1200, 100, 20));
}

// Doors closed within a frame (the one-man door timer) start their delay at that frame's
// clock, not at the one before.
TEST(PlatformDoorTimer, ACloseWithinTheFrameCountsFromItsClock) {
    PlatformDoorState doors = Linked();
    PlatformDoorsOpened(doors);
    FrameValues frame;
    frame.clock = 2000;
    frame.interval = 300;
    PlatformDoorsClosed(doors, frame.clock, 200);
    RunPlatformDoorTimer(doors, frame);
    EXPECT_NE(doors.flags & Open, 0);
    EXPECT_FALSE(OpenAfterFrames(doors, 2000, 200, 1));
}

class PlatformDoorsInThePlugin : public test::Cab {};

TEST_F(PlatformDoorsInThePlugin, HostDoorsDriveThePlatformDoors) {
    plugin->aids.platformDoors.flags = DoorsFitted | DoorsLinked;
    plugin->settings.pdClose = 32;
    Frame();
    plugin->DoorsOpened(true);
    EXPECT_NE(plugin->aids.platformDoors.flags & Open, 0);
    plugin->DoorsClosed(true);
    Frame();
    EXPECT_NE(plugin->aids.platformDoors.flags & Open, 0);
    Frame();
    EXPECT_EQ(plugin->aids.platformDoors.flags & Open, 0);
}

} // namespace
} // namespace velqa3
