// The supervision step as the plug-in runs it: what the host gets back when a stage acts, and
// how each latched reason is let go.
#include "tests/support/cab.h"

namespace velqa3 {
namespace {

using test::Cab;

// What the reset key needs to let the brake go is the driver inputs' test.
TEST_F(Cab, RollbackHoldsTheTrainAtAStand) {
    plugin->SetReverser(1);
    plugin->SetBrake(0);
    Frame();
    EXPECT_EQ(Frame(-7.0f).Brake, 9);
    EXPECT_NE(plugin->cab.sound.requests & SoundRequestBits::AlarmRequest, 0);
    EXPECT_EQ(Frame(0.0f).Brake, 9);
}

TEST_F(Cab, HostMovingTheTrainBackIsNoSlide) {
    plugin->SetReverser(1);
    plugin->SetBrake(0);
    for (int i = 0; i < 10; ++i)
        plugin->Elapse(test::StateAt(time += 20, 0.0f, 5000.0), panel, sound);
    plugin->Initialize(0);
    plugin->Elapse(test::StateAt(time += 20, 0.0f, 100.0), panel, sound);
    EXPECT_EQ(plugin->Elapse(test::StateAt(time += 20, 0.0f, 100.0), panel, sound).Brake, 0);
}

} // namespace
} // namespace velqa3
