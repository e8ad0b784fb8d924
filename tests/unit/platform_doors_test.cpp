// The platform-door close timer: platform doors close once a set delay has passed after the
// train's doors, over midnight too, and not at all when the train's doors open again first. (The
// station beacons and the door calls are tested with the dispatcher and the driver inputs.)
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

// The doors shut on the first frame that ends past the delay; a frame that ends on it exactly
// leaves them open. Frames that do not divide the delay, and one over midnight, among them.
TEST(PlatformDoorTimer, CloseOnTheFirstFramePastTheDelay) {
    struct Case {
        const char* name;
        std::int32_t start, delay, frameMs;
    };
    const Case cases[] = {
        {"250 ms frames", 36'000'000, 500, 250},
        {"17 ms frames", 36'000'000, 2500, 17},
        {"33 ms frames", 1'020, 2500, 33},
        {"over midnight", kMsPerDay - 300, 500, 100},
        {"no delay", 5'000, 0, 20},
        {"a frame longer than the delay", 7'000, 100, 1000},
    };
    for (const Case& c : cases) {
        PlatformDoorState doors = Linked();
        PlatformDoorsOpened(doors);
        EXPECT_EQ(doors.closeTime, -1) << c.name;
        PlatformDoorsClosed(doors, c.start, c.delay);
        EXPECT_EQ(doors.closeTime, (c.start + c.delay) % kMsPerDay) << c.name;
        const int within = c.delay / c.frameMs;
        EXPECT_TRUE(OpenAfterFrames(doors, c.start, c.frameMs, within)) << c.name;
        const std::int32_t last = (c.start + within * c.frameMs) % kMsPerDay;
        EXPECT_FALSE(OpenAfterFrames(doors, last, c.frameMs, 1)) << c.name;
        EXPECT_EQ(doors.flags & (Closing | CloseRequested), 0) << c.name;
    }
    PlatformDoorState unlinked;
    unlinked.flags = DoorsFitted;
    PlatformDoorsOpened(unlinked);
    EXPECT_EQ(unlinked.flags & Open, 0);
}

// With no delay, a frame of no length is no time past the close.
TEST(PlatformDoorTimer, AFrameOfNoLengthClosesNothing) {
    PlatformDoorState doors = Linked();
    PlatformDoorsOpened(doors);
    PlatformDoorsClosed(doors, 1020, 0);
    EXPECT_TRUE(OpenAfterFrames(doors, 1020, 0, 3));
    EXPECT_FALSE(OpenAfterFrames(doors, 1020, 17, 1));
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
    EXPECT_TRUE(OpenAfterFrames(doors, 2000, 200, 1)) << "200 ms exactly";
    EXPECT_FALSE(OpenAfterFrames(doors, 2200, 1, 1));
}

} // namespace
} // namespace velqa3
