// The platform-door close timer: platform doors close a set delay after the train's doors,
// over midnight too, and not at all when the train's doors open again first. (The station
// beacons and the door calls are tested with the dispatcher and the driver inputs.)
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

} // namespace
} // namespace velqa3
