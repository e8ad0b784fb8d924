// The supervision step as the plug-in runs it: what the host gets back when a stage acts, and
// how each latched reason is let go.
#include "tests/support/cab.h"

namespace velqa3 {
namespace {

using test::Cab;

TEST_F(Cab, VigilanceWarnsThenBrakesAndTheEmergencyHandleReleasesIt) {
    plugin->settings.emgBrake = 3;
    plugin->SetReverser(1);
    plugin->SetBrake(0);
    Frame(); // the first frame after load spans the day so far
    HandleOutput out{};
    for (int i = 0; i < 1500; ++i)
        out = Frame(60.0f, 0.0f, 20);
    EXPECT_EQ(plugin->aids.supervision.vigilance.buzzer, kSoundLoop) << "warned at 30 s";
    EXPECT_EQ(out.Brake, 0);
    plugin->HornBlow(1);
    EXPECT_EQ(plugin->aids.supervision.vigilance.buzzer, kSoundStop) << "the horn is an action";
    for (int i = 0; i < 1750; ++i)
        out = Frame(60.0f, 0.0f, 20);
    EXPECT_EQ(out.Brake, 9) << "braked at 35 s without an action";
    EXPECT_EQ(out.Reverser, 0);
    plugin->SetPower(2);
    EXPECT_EQ(Frame(40.0f, 0.0f, 20).Brake, 9) << "power does not release it";
    plugin->SetBrake(9);
    plugin->SetBrake(0);
    EXPECT_EQ(Frame(40.0f, 0.0f, 20).Brake, 0);
}

TEST_F(Cab, RollbackHoldsTheTrainUntilTheResetKeyAtAStand) {
    plugin->SetReverser(1);
    plugin->SetBrake(0);
    Frame();
    EXPECT_EQ(Frame(-7.0f).Brake, 9);
    EXPECT_NE(plugin->cab.sound.requests & SoundRequestBits::AlarmRequest, 0);
    EXPECT_EQ(Frame(0.0f).Brake, 9);
    plugin->KeyDown(3);
    EXPECT_EQ(Frame(0.0f).Brake, 9) << "the reset key needs neutral and the emergency handle";
    plugin->SetReverser(0);
    plugin->SetBrake(9);
    plugin->KeyDown(3);
    plugin->SetBrake(0);
    EXPECT_EQ(Frame(0.0f).Brake, 0);
    EXPECT_EQ(plugin->cab.sound.requests & SoundRequestBits::AlarmRequest, 0);

    EXPECT_EQ(Frame(-7.0f).Brake, 9);
    plugin->Initialize(0);
    EXPECT_EQ(Frame(0.0f).Brake, 0) << "a restart elsewhere is a new run";
}

TEST_F(Cab, SpeedCheckBrakesAboveTheCabSignalLimit) {
    plugin->protection.mode.lineCode = 0x08;
    plugin->SetReverser(1);
    plugin->SetBrake(0);
    plugin->SetPower(3);
    Frame();
    plugin->KeyDown(7); // the signal speed check, starting at code 5 (65 km/h)
    plugin->SetSignal(-3);
    EXPECT_EQ(plugin->protection.mode.cabSignalCode, 5) << "a negative aspect is ignored";
    HandleOutput out = Frame(70.0f, 0.0f, 20);
    EXPECT_EQ(out.Brake, 8);
    EXPECT_EQ(out.Power, 0);
    EXPECT_EQ(plugin->aids.supervision.speedCheck.bell, kSoundPlayOnce);
    for (int i = 0; i < 49; ++i)
        out = Frame(70.0f, 0.0f, 20);
    EXPECT_EQ(out.Brake, 4) << "a second over the limit: the reduced notch";
    EXPECT_EQ(Frame(64.0f, 0.0f, 20).Brake, 0);
}

TEST_F(Cab, OneManDoorsCloseAfterTheButtonGoesOut) {
    using namespace OneManBits;
    plugin->cab.keys.oneManDoors = Fitted | Right;
    plugin->DoorsOpened(false);
    Frame();
    plugin->cab.keys.oneManDoors &= static_cast<std::uint8_t>(~Right);
    const std::int32_t doorsBefore = plugin->cab.inputs.doorCounter;
    for (int i = 0; i < 174; ++i)
        Frame(0.0f, 0.0f, 20);
    EXPECT_FALSE(plugin->cab.inputs.doorsClosed);
    Frame(0.0f, 0.0f, 20);
    EXPECT_TRUE(plugin->cab.inputs.doorsClosed);
    EXPECT_NE(plugin->cab.keys.oneManDoors & Closed, 0);
    EXPECT_EQ(plugin->cab.inputs.doorCounter, doorsBefore + 1);
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

TEST_F(Cab, OddFramesReachEveryStageWithoutHarm) {
    plugin->settings.emgBrake = 1;
    plugin->aids.supervision.plusBrakeState = PlusBrakeBits::Configured;
    plugin->SetBrake(INT32_MAX);
    plugin->SetReverser(INT32_MIN);
    const float speeds[] = {1e30f, -1e30f, 0.0f, 15.5f};
    for (const float speed : speeds) {
        Frame(speed, 0.0f, 0);
        const HandleOutput out = Frame(speed, 0.0f, 86'399'990);
        EXPECT_EQ(out.Reverser, 0) << speed;
    }
    EXPECT_EQ(plugin->aids.supervision.plusBrakeNotch, INT32_MAX) << "saturated, not wrapped";
}

} // namespace
} // namespace velqa3
