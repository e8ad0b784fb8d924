// The key poll inside the real plug-in: a keyboard handed over as the host does, frames run.
#include "platform/platform.h"
#include "tests/support/cab.h"

#include <cstring>

namespace velqa3 {
namespace {

constexpr std::int32_t kRightDoorKey = 0x27;
constexpr std::int32_t kMasterKey = 0x4B;

class PolledCab : public test::Cab {
  protected:
    unsigned char keyboard[256] = {};

    void SetUp() override {
        test::Cab::SetUp();
        platform::SetKeyboardState(keyboard);
    }
    void TearDown() override { platform::SetKeyboardState(nullptr); }

    void Key(std::int32_t code, bool down) {
        keyboard[code] = down ? 0x80 : 0x00;
        platform::SetKeyboardState(keyboard);
    }
};

TEST_F(PolledCab, OneManDoorCycleAtAStation) {
    plugin->keys.assign[KeySlot::RightDoor] = kRightDoorKey;
    plugin->cab.keys.oneManDoors = OneManBits::Fitted | OneManBits::Closed;
    plugin->SetReverser(1);
    Frame();
    const std::int32_t closings = plugin->cab.inputs.doorCounter;

    Key(kRightDoorKey, true);
    EXPECT_EQ(Frame().Reverser, 0); // doors open: no traction
    EXPECT_FALSE(plugin->cab.inputs.doorsClosed);
    Key(kRightDoorKey, false);
    Frame();
    Key(kRightDoorKey, true); // the lit button pressed again goes dark
    Frame(0.0f, 0.0f, 100);
    Key(kRightDoorKey, false);
    for (int frame = 0; frame < 33; ++frame) {
        Frame(0.0f, 0.0f, 100);
        ASSERT_FALSE(plugin->cab.inputs.doorsClosed) << frame;
    }
    EXPECT_EQ(Frame(0.0f, 0.0f, 100).Reverser, 1); // 3500 ms: closed, the driver's reverser
    EXPECT_TRUE(plugin->cab.inputs.doorsClosed);
    EXPECT_NE(plugin->cab.keys.oneManDoors & OneManBits::Closed, 0);
    EXPECT_EQ(plugin->cab.inputs.doorCounter, closings + 1);
}

TEST_F(PolledCab, MasterKeyStartsAndStopsTheProtection) {
    // MKey 2 on a pattern line: the train is braked until the key is in.
    plugin->keys.assign[KeySlot::MasterControllerKey] = kMasterKey;
    plugin->cab.inputs.masterKeyFlags = 0xD0;
    plugin->cab.inputs.masterKeyPosition = 0;
    plugin->SetBrake(0);
    EXPECT_EQ(Frame().Brake, 9);

    Key(kMasterKey, true);
    EXPECT_EQ(Frame().Brake, 0);
    EXPECT_EQ(plugin->protection.mode.atsMode, AtsModeBits::Spot);
    EXPECT_EQ(plugin->protection.mode.atsStarted, 1);
    EXPECT_EQ(plugin->protection.stc.testBell, 1);        // the start-up bell
    EXPECT_EQ(plugin->aids.startupTest.timer, 5000 - 16); // started, and counted in its frame
    for (int frame = 0; frame < 10; ++frame)
        EXPECT_EQ(Frame().Brake, 0); // held: turned once

    Key(kMasterKey, false);
    Frame();
    Key(kMasterKey, true);
    EXPECT_EQ(Frame().Brake, 9);
    EXPECT_EQ(plugin->protection.mode.atsMode, 0);
    EXPECT_EQ(plugin->protection.mode.atsStarted, 0);
}

TEST_F(PolledCab, SuspendedFramesPollNothing) {
    plugin->keys.assign[KeySlot::TascSW] = 0x54;
    panel[kSuspendPanelIndex] = 1;
    Key(0x54, true);
    Frame();
    Key(0x54, false);
    Frame();
    panel[kSuspendPanelIndex] = 0;
    Frame();
    EXPECT_FALSE(plugin->aids.tasc.switchedOn); // pressed and let go while suspended

    panel[kSuspendPanelIndex] = 1;
    Key(0x54, true);
    Frame();
    panel[kSuspendPanelIndex] = 0;
    Frame();
    Frame();
    EXPECT_TRUE(plugin->aids.tasc.switchedOn); // still held when the frames resume: once
}

} // namespace
} // namespace velqa3
