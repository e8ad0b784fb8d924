// The sounds as the host reads them after a frame: once-sounds continued on the next frame,
// the timed alarm, the held-key sounds, the chimes and the regeneration sound.
#include "config/remap.h"
#include "tests/support/cab.h"
#include "vehicle/sound.h"

#include <vector>

namespace velqa3 {
namespace {

using test::Cab;

class Sound : public Cab {
  protected:
    std::vector<std::int32_t> SlotOverFrames(int slot, int frames, float speed = 0.0f,
                                             std::int32_t step = 16) {
        std::vector<std::int32_t> commands;
        for (int i = 0; i < frames; ++i) {
            Frame(speed, 0.0f, step);
            commands.push_back(sound[slot]);
        }
        return commands;
    }
};

TEST_F(Sound, OneManDoorChimesPlayOnceThroughTheRemapAndStopWhileMoving) {
    ReadSoundRemapLine("006=199", plugin->remap); // the sound array has no reserved entry
    plugin->cab.keys.oneManDoors = OneManBits::Fitted | OneManBits::Closed;
    Frame();
    plugin->cab.keys.oneManDoors &= static_cast<std::uint8_t>(~OneManBits::Closed);
    plugin->cab.keys.oneManDoors |= OneManBits::Right;
    Frame();
    EXPECT_EQ(sound[199], kSoundPlayOnce);
    EXPECT_EQ(sound[8], kSoundPlayOnce);
    EXPECT_EQ(sound[9], kSoundStop);
    Frame();
    EXPECT_EQ(sound[199], kSoundContinue);
    EXPECT_EQ(sound[8], kSoundContinue);
    Frame(10.0f);
    EXPECT_EQ(sound[199], kSoundStop);
}

TEST_F(Sound, SoundsStartedOnceAreContinuedOnTheNextFrame) {
    plugin->cab.inputs.masterKeyPosition = 1; // the spot protection rests
    plugin->protection.stc.bellSound = kSoundPlayOnce;
    plugin->SetReverser(1);
    Frame();
    EXPECT_EQ(sound[0], kSoundPlayOnce);
    EXPECT_EQ(plugin->protection.stc.bellSound, kSoundContinue);
    EXPECT_EQ(sound[25], kSoundPlayOnce);  // the reverser left neutral
    EXPECT_EQ(sound[252], kSoundPlayOnce); // the key left position 2
    Frame();
    for (int slot : {0, 25, 252})
        EXPECT_EQ(sound[slot], kSoundContinue) << slot;

    // With the record switch on the reverser is silent.
    plugin->cab.keys.recordSwitch = true;
    plugin->SetReverser(0);
    Frame();
    plugin->SetReverser(-1);
    Frame();
    EXPECT_EQ(sound[25], kSoundContinue);
}

TEST_F(Sound, TheDemandAlarmSoundsOneSecondAfterADemandWhileMoving) {
    plugin->SetReverser(1);
    Frame(50.0f); // the first frame of a run spans the whole day so far
    plugin->SetBrake(9);
    sound[20] = 777;
    // 250 ms frames: the fourth ends exactly on the second and sounds.
    EXPECT_EQ(SlotOverFrames(20, 5, 50.0f, 250),
              (std::vector<std::int32_t>{777, 777, 777, kSoundPlayOnce, kSoundContinue}));
    Frame(0.0f); // standing: rearmed
    EXPECT_EQ(plugin->cab.sound.demandAlarmTimer, 1000);
    plugin->SetBrake(0);
    EXPECT_EQ(SlotOverFrames(20, 6, 50.0f, 250), std::vector<std::int32_t>(6, kSoundContinue));
}

TEST_F(Sound, HostKey15CallsWhileHeldOrRingsOnWithPrr) {
    plugin->KeyDown(15);
    EXPECT_EQ(SlotOverFrames(23, 2), (std::vector<std::int32_t>{kSoundLoop, kSoundContinue}));
    EXPECT_EQ(sound[24], kSoundStop);
    plugin->KeyUp(15);
    Frame();
    EXPECT_EQ(sound[23], kSoundStop);
    EXPECT_EQ(sound[24], kSoundPlayOnce);
    Frame();
    EXPECT_EQ(sound[24], kSoundContinue);

    plugin->settings.prr = 1;
    Frame(0.0f, 0.0f, (time / 500 + 1) * 500 - time); // onto a 500 ms boundary
    plugin->KeyDown(15);
    Frame(0.0f, 0.0f, 250);
    plugin->KeyUp(15);
    // Two calls after the key, each on a 500 ms boundary, each continued after it rang.
    EXPECT_EQ(SlotOverFrames(23, 5, 0.0f, 250),
              (std::vector<std::int32_t>{kSoundPlayOnce, kSoundContinue, kSoundPlayOnce,
                                         kSoundContinue, kSoundContinue}));
}

TEST_F(Sound, HostKey11LoopsItsSoundWhileHeld) {
    sound[254] = kSoundStop;
    plugin->KeyDown(11);
    EXPECT_EQ(SlotOverFrames(254, 2), (std::vector<std::int32_t>{kSoundLoop, kSoundContinue}));
    plugin->KeyUp(11);
    Frame();
    EXPECT_EQ(sound[254], kSoundStop);
}

struct Stage {
    SoundState state;
    FrameValues frame;
    Settings settings;
    RemapTables remap;
    std::int32_t sound[kSoundSize] = {};

    void Write(const SoundInputs& in) {
        WriteSound(state, in, frame, settings, remap.sound, sound);
    }
};

TEST(SoundStage, PatternChimesMarkAPatternComingIntoForceAndEnding) {
    Stage stage;
    const struct {
        float before, now;
        std::int32_t in, out;
    } cases[] = {{160.0f, 100.0f, kSoundPlayOnce, kSoundContinue},
                 {100.0f, 160.0f, kSoundContinue, kSoundPlayOnce},
                 {0.0f, 100.0f, kSoundContinue, kSoundContinue},
                 {100.0f, 90.0f, kSoundContinue, kSoundContinue}};
    for (const auto& c : cases) {
        stage.frame.previousPatternSpeed = c.before;
        stage.Write({.patternSpd = c.now, .atsMode = AtsModeBits::Pattern});
        EXPECT_EQ(stage.sound[21], c.in) << c.before << " to " << c.now;
        EXPECT_EQ(stage.sound[22], c.out) << c.before << " to " << c.now;
    }
}

TEST(SoundStage, RegenerationGrowsWithTheCurrentWhileTheLineIsHigh) {
    Stage stage;
    stage.frame.state.Speed = 50.0f;
    stage.frame.state.Current = -300.0f;
    stage.sound[250] = kSoundStop;
    const SoundInputs braking{.brakeOutput = 3, .emergencyNotch = 9, .lineVoltage = 1800};
    stage.Write(braking);
    EXPECT_EQ(stage.sound[250], kSoundLoop);
    stage.Write(braking);
    EXPECT_EQ(stage.sound[250], -300);
    EXPECT_EQ(stage.sound[249], kSoundStop); // the holding notch's slot
    stage.frame.state.Current = -5.0f;
    stage.Write(braking);
    EXPECT_EQ(stage.sound[250], kSoundStop);
}

TEST(SoundStage, BellRequestsFromThePatternProtectionRingOnce) {
    Stage stage;
    stage.Write({.bellOut = 1});
    EXPECT_EQ(stage.sound[2], kSoundPlayOnce);
    EXPECT_EQ(stage.sound[5], kSoundContinue);
    stage.Write({.bellOut = 3});
    EXPECT_EQ(stage.sound[2], kSoundContinue);
    EXPECT_EQ(stage.sound[5], kSoundPlayOnce);
    stage.Write({.bellOut = 2});
    EXPECT_EQ(stage.sound[5], kSoundContinue);
    EXPECT_EQ(stage.state.requests & (SoundRequestBits::Bell1 | SoundRequestBits::Bell2), 0);
}

} // namespace
} // namespace velqa3
