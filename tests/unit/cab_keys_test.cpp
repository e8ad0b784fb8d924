// The keys the plug-in polls itself, polled with keyboards the tests make, what the switches
// they work change in the protection mode, and the one-man doors their buttons work.
#include "plugin/plugin.h"
#include "vehicle/cab_keys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace velqa3 {
namespace {

using namespace CabKeyPressBits;

constexpr std::int32_t kKeyR = 0x52;
constexpr std::int32_t kKeyT = 0x54;

// What a poll found and what the plug-in made of it.
struct Polled {
    std::uint16_t presses = 0;
    ModeEffects effects;
};

// One plug-in's cab, its key table and a keyboard, polled frame by frame; what the keys switch
// beyond the cab goes through the plug-in as in a frame.
struct PolledCab {
    std::unique_ptr<Plugin> owner = std::make_unique<Plugin>();
    Plugin& plugin = *owner;
    CabKeys& cab = plugin.cab.keys;
    KeyTables& keys = plugin.keys;
    FrameValues& frame = plugin.frame;
    ModeGlobals& mode = plugin.protection.mode;
    DriverInputs& inputs = plugin.cab.inputs;
    TascState& tasc = plugin.aids.tasc;
    unsigned char keyboard[256] = {};
    std::int32_t horn = 0;

    PolledCab() {
        ResetKeyTables(keys);
        frame.clock = 36'000'000;
        frame.mrPressure = 800.0f;
    }

    void Bind(int slot, std::int32_t code) { keys.assign[slot] = code; }
    void Hold(int slot) { keyboard[keys.assign[slot]] = 0x80; }
    void Release(int slot) { keyboard[keys.assign[slot]] = 0x00; }

    Polled Poll(std::int32_t intervalMs = 16) {
        frame.interval = intervalMs;
        frame.clock += intervalMs;
        const CabKeyPresses presses = PollCabKeys(cab, keyboard, keys, frame, horn);
        return {presses.bits, plugin.TakeCabSwitches(presses)};
    }
    // A press held over a few frames, then let go and polled once more.
    Polled Press(int slot) {
        Polled all;
        Hold(slot);
        for (int poll = 0; poll < 3; ++poll) {
            if (poll == 2) Release(slot);
            const Polled one = Poll();
            all.presses |= one.presses;
            Gather(all.effects, one.effects);
        }
        return all;
    }
};

TEST(CabKeys, EachPressFiresOnceHoweverLongTheKeyIsHeld) {
    PolledCab c;
    c.Bind(KeySlot::TascSW, kKeyT);
    c.Hold(KeySlot::TascSW);
    for (int frame = 0; frame < 5; ++frame)
        c.Poll();
    EXPECT_TRUE(c.tasc.switchedOn);
    c.Release(KeySlot::TascSW);
    c.Poll();
    EXPECT_TRUE(c.tasc.switchedOn);
    c.Press(KeySlot::TascSW);
    EXPECT_FALSE(c.tasc.switchedOn);

    // The toggle bit Windows keeps in the low bit makes a new press a new byte as well.
    c.keyboard[kKeyT] = 0x81;
    c.Poll();
    EXPECT_TRUE(c.tasc.switchedOn);
}

TEST(CabKeys, OneKeyBoundToTwoFunctionsWorksBoth) {
    PolledCab c;
    c.Bind(KeySlot::KirokuIC, kKeyR);
    c.Bind(KeySlot::TascSW, kKeyR);
    c.Bind(KeySlot::UtenSW, kKeyT);
    c.Press(KeySlot::KirokuIC);
    EXPECT_TRUE(c.cab.recordSwitch);
    EXPECT_TRUE(c.tasc.switchedOn);
    EXPECT_FALSE(c.tasc.rain);
    c.Press(KeySlot::UtenSW);
    EXPECT_TRUE(c.tasc.rain);
}

TEST(CabKeys, NoKeyboardTableOrKeyTableReachesOutsideItsBounds) {
    // Codes the settings check would have refused, as a table made by hand can hold them.
    PolledCab c;
    c.Bind(KeySlot::TascSW, 300);
    c.Bind(KeySlot::UtenSW, -1);
    c.Bind(KeySlot::KirokuIC, INT32_MIN);
    std::memset(c.keyboard, 0xFF, sizeof c.keyboard);
    c.Poll();
    EXPECT_FALSE(c.tasc.switchedOn);
    EXPECT_FALSE(c.tasc.rain);
    EXPECT_FALSE(c.cab.recordSwitch);

    // Every byte value in every position, on a table where every slot is bound.
    PolledCab all;
    all.cab.oneManDoors = OneManBits::Fitted | OneManBits::Closed;
    all.inputs.masterKeyFlags = 0x90;
    for (int slot = 0; slot < kKeySlots; ++slot)
        all.Bind(slot, (slot * 37) % 256);
    for (int value = 0; value < 256; ++value) {
        std::memset(all.keyboard, value, sizeof all.keyboard);
        all.Poll();
        all.Poll(0);
    }
    EXPECT_GE(all.cab.curtain, 0);
    EXPECT_LE(all.cab.curtain, kCurtainTop);
}

TEST(CabKeys, HornDrawsAirWhileHeldAndTheReservoirShowsFullAgainAfter) {
    PolledCab c;
    c.horn = 40;
    c.Bind(KeySlot::Klaxon1, 0x48);
    c.Hold(KeySlot::Klaxon1);
    for (int frame = 0; frame < 10; ++frame)
        c.Poll(30);
    // 30 kPa and 0..19 more in each of ten frames.
    EXPECT_LE(c.cab.hornReservoir, 800.0f - 300.0f);
    EXPECT_GE(c.cab.hornReservoir, 800.0f - 490.0f);
    c.Release(KeySlot::Klaxon1);
    c.Poll(30);
    EXPECT_EQ(c.cab.hornReservoir, 800.0f);

    // An hour of horn empties the reservoir and no further.
    c.Hold(KeySlot::Klaxon1);
    for (int frame = 0; frame < 3600 * 1000 / 30; ++frame)
        c.Poll(30);
    EXPECT_EQ(c.cab.hornReservoir, 0.0f);

    // A Horn below 10 kPa must never show more air than the host reports.
    PolledCab weak;
    weak.Bind(KeySlot::Klaxon2, 0x48);
    weak.Hold(KeySlot::Klaxon2);
    for (int frame = 0; frame < 200; ++frame) {
        weak.Poll();
        ASSERT_LE(weak.cab.hornReservoir, 800.0f);
    }
}

TEST(CabKeys, CurtainMovesOneStepPerFiftyMillisecondsWithinItsTravel) {
    PolledCab c;
    c.frame.clock = 1000;
    c.Bind(KeySlot::CurtainUp, 0x26);
    c.Bind(KeySlot::CurtainDown, 0x28);
    c.Hold(KeySlot::CurtainUp);
    c.Poll(50); // 1050 lands on a boundary
    EXPECT_EQ(c.cab.curtain, 1);
    c.Poll(49); // 1099: none crossed
    EXPECT_EQ(c.cab.curtain, 1);
    c.Poll(1); // 1100
    EXPECT_EQ(c.cab.curtain, 2);
    for (int frame = 0; frame < 200; ++frame)
        c.Poll(50);
    EXPECT_EQ(c.cab.curtain, kCurtainTop);
    c.Release(KeySlot::CurtainUp);
    c.Hold(KeySlot::CurtainDown);
    for (int frame = 0; frame < 200; ++frame)
        c.Poll(50);
    EXPECT_EQ(c.cab.curtain, 0);
}

TEST(CabKeys, MasterKeyTogglesOncePerPressOnlyWhenConfigured) {
    PolledCab c;
    c.Bind(KeySlot::MasterControllerKey, 0x4B);
    c.Press(KeySlot::MasterControllerKey); // flags 0x41: no key on this train
    EXPECT_EQ(c.inputs.masterKeyFlags & MasterKeyBits::Inserted, MasterKeyBits::Inserted);
    EXPECT_EQ(c.mode.atsStarted, 0);

    c.inputs.masterKeyFlags = 0x90; // MKey 1
    c.inputs.masterKeyPosition = 0;
    c.Hold(KeySlot::MasterControllerKey);
    for (int frame = 0; frame < 4; ++frame)
        c.Poll();
    EXPECT_NE(c.inputs.masterKeyFlags & MasterKeyBits::Inserted, 0);
    c.Release(KeySlot::MasterControllerKey);
    c.Poll();
    c.Press(KeySlot::MasterControllerKey);
    EXPECT_EQ(c.inputs.masterKeyFlags & MasterKeyBits::Inserted, 0);
}

TEST(CabKeys, MasterKeyInStartsTheProtectionTheLineAsksFor) {
    struct Case {
        const char* what;
        std::uint8_t flags;
        std::int8_t position;
        std::int32_t lineCode;
        std::uint8_t atsModeBefore;
        std::uint8_t atsMode;
        std::uint8_t started;
        ModeEffects effects;
    };
    const ModeEffects runWithBell{
        .spotRestart = SpotRestart::WithBell, .keyToRun = true, .startupTestMs = 5000};
    const Case cases[] = {
        {"pattern line, MKey 1, key position 0", 0x90, 0, 4, 0, 0, 1, {.startupTestMs = 5000}},
        {"pattern line, MKey 1, key position 2", 0x90, 2, 4, 0, 0, 0, {.startupTestMs = 0}},
        {"pattern line, MKey 2", 0xD0, 0, 4, 0, 0x02, 1, runWithBell},
        {"pattern line, MKey 2, mode kept", 0xD0, 0, 4, 0x04, 0x04, 1, runWithBell},
        {"spot types 12 and 13",
         0x90,
         0,
         0x08,
         0x02,
         0x0A,
         1,
         {.spotRestart = SpotRestart::Silent}},
        {"bit 0x80 line", 0xD0, 0, 0x80, 0, 0x85, 1, {.spotRestart = SpotRestart::Silent}},
        {"any other line", 0x90, 0, 0x14, 0, 0x02, 1, {.spotRestart = SpotRestart::WithBell}},
    };
    for (const Case& k : cases) {
        PolledCab c;
        c.Bind(KeySlot::MasterControllerKey, 0x4B);
        c.inputs.masterKeyFlags = k.flags;
        c.inputs.masterKeyPosition = k.position;
        c.mode.lineCode = k.lineCode;
        c.mode.atsMode = k.atsModeBefore;
        EXPECT_TRUE(c.Press(KeySlot::MasterControllerKey).effects == k.effects) << k.what;
        EXPECT_EQ(c.mode.atsMode, k.atsMode) << k.what;
        EXPECT_EQ(c.mode.atsModePanel, k.atsMode) << k.what;
        EXPECT_EQ(c.mode.atsStarted, k.started) << k.what;
    }
}

TEST(CabKeys, MasterKeyOutStopsTheProtection) {
    struct Case {
        const char* what;
        std::uint8_t flags;
        std::int8_t position;
        std::int32_t lineCode;
        std::uint8_t atsMode;
        ModeEffects effects;
    };
    const ModeEffects stop{.spotStopChime = true, .patternReset = true, .startupTestMs = 0};
    const Case cases[] = {
        {"pattern line, MKey 1, key position 0", 0x90, 0, 0x14, 0, {.patternReset = true}},
        {"pattern line, MKey 1, key position 2 keeps it", 0x90, 2, 4, 0x06, {}},
        {"pattern line, MKey 2", 0xD1, 2, 4, 0, stop},
        {"spot line, MKey 1", 0x91, 2, 0, 0, stop},
    };
    for (const Case& k : cases) {
        PolledCab c;
        c.Bind(KeySlot::MasterControllerKey, 0x4B);
        c.inputs.masterKeyFlags = static_cast<std::uint8_t>(k.flags | MasterKeyBits::Inserted);
        c.inputs.masterKeyPosition = k.position;
        c.mode.lineCode = k.lineCode;
        c.mode.atsMode = 0x06;
        c.mode.atsStarted = 1;
        EXPECT_TRUE(c.Press(KeySlot::MasterControllerKey).effects == k.effects) << k.what;
        EXPECT_EQ(c.inputs.masterKeyFlags & MasterKeyBits::Inserted, 0) << k.what;
        EXPECT_EQ(c.mode.atsMode, k.atsMode) << k.what;
        EXPECT_EQ(c.mode.atsModePanel, k.atsMode) << k.what;
        EXPECT_EQ(c.mode.atsStarted, k.atsMode != 0 ? 1 : 0) << k.what;
    }
}

TEST(CabKeys, DoorButtonsWorkOnlyAtAStandOnAOneManTrain) {
    PolledCab c;
    c.Bind(KeySlot::RightDoor, 0x27);
    c.Bind(KeySlot::LeftDoor, 0x70); // F1 may work the left door
    c.Bind(KeySlot::AllCar, 0x41);
    EXPECT_EQ(c.Press(KeySlot::RightDoor).presses, 0); // not fitted

    c.cab.oneManDoors = OneManBits::Fitted | OneManBits::Closed;
    c.frame.speed = 0.1f;
    EXPECT_EQ(c.Press(KeySlot::RightDoor).presses, 0);
    EXPECT_EQ(c.cab.oneManDoors & OneManBits::Right, 0);

    c.frame.speed = 0.0f;
    EXPECT_EQ(c.Press(KeySlot::RightDoor).presses, OneManDoorsOpened);
    EXPECT_NE(c.cab.oneManDoors & OneManBits::Right, 0);
    EXPECT_EQ(c.Press(KeySlot::LeftDoor).presses, 0); // the other side stays shut
    EXPECT_EQ(c.cab.oneManDoors & OneManBits::Left, 0);
    c.frame.speed = 3.0f;
    c.Press(KeySlot::RightDoor); // moving: the lit button stays lit
    EXPECT_NE(c.cab.oneManDoors & OneManBits::Right, 0);
    c.frame.speed = 0.0f;
    EXPECT_EQ(c.Press(KeySlot::RightDoor).presses, 0);
    EXPECT_EQ(c.cab.oneManDoors & OneManBits::Right, 0);
    EXPECT_EQ(c.Press(KeySlot::LeftDoor).presses, OneManDoorsOpened);

    c.Press(KeySlot::AllCar);
    EXPECT_NE(c.cab.oneManDoors & OneManBits::AllCars, 0);
    c.Press(KeySlot::AllCar);
    EXPECT_EQ(c.cab.oneManDoors & OneManBits::AllCars, 0);
}

TEST(CabKeys, DoorsCloseWhenTheTimerEndsExactlyOnItsFrame) {
    CabKeys cab;
    cab.oneManDoors = OneManBits::Fitted | OneManBits::Right;
    EXPECT_FALSE(RunOneManCloseTimer(cab, 500));
    cab.previousOneManDoors = cab.oneManDoors;
    cab.oneManDoors = OneManBits::Fitted; // the button went dark; this frame counts
    EXPECT_FALSE(RunOneManCloseTimer(cab, 500));
    cab.previousOneManDoors = cab.oneManDoors;
    for (int frame = 0; frame < 5; ++frame)
        ASSERT_FALSE(RunOneManCloseTimer(cab, 500)) << frame;
    EXPECT_EQ(cab.oneManCloseTimer, 500);
    EXPECT_TRUE(RunOneManCloseTimer(cab, 500)); // 3500 ms of frames from the release
    EXPECT_EQ(cab.oneManCloseTimer, 0);
    EXPECT_FALSE(RunOneManCloseTimer(cab, 500));

    // Lit again before the time is up: the doors stay open.
    cab.oneManDoors = OneManBits::Fitted;
    cab.oneManCloseTimer = 1000;
    cab.oneManDoors |= OneManBits::Left;
    EXPECT_FALSE(RunOneManCloseTimer(cab, 16));
    cab.previousOneManDoors = cab.oneManDoors;
    cab.oneManDoors = OneManBits::Fitted;
    RunOneManCloseTimer(cab, 16);
    EXPECT_EQ(cab.oneManCloseTimer, kOneManCloseMs - 16);

    // A train without one-man doors has no timer.
    CabKeys plain;
    plain.oneManCloseTimer = 16;
    EXPECT_FALSE(RunOneManCloseTimer(plain, 16));
}

TEST(CabKeys, AtsSwitchesStepAndToggle) {
    PolledCab c;
    c.Bind(KeySlot::AtsNFB, 0x31);
    c.Bind(KeySlot::AtsKirikaeRendou, 0x32);
    c.Bind(KeySlot::AtsKirikaeSW, 0x33);
    c.Bind(KeySlot::PKaihou, 0x34);
    c.Bind(KeySlot::PBrakeKaihou, 0x35);
    c.Bind(KeySlot::EBNFB, 0x36);
    c.mode.atsMode = 0x02;
    const auto effectsOf = [&](int slot) { return c.Press(slot).effects; };
    const ModeEffects none{};

    EXPECT_TRUE(effectsOf(KeySlot::AtsNFB) == ModeEffects{.patternReset = true});
    EXPECT_EQ(c.mode.cabSwitches & 0x01, 0);
    EXPECT_TRUE(effectsOf(KeySlot::AtsNFB) == none);
    EXPECT_EQ(c.mode.cabSwitches & 0x01, 0x01);
    c.Press(KeySlot::AtsKirikaeRendou);
    EXPECT_EQ(c.mode.cabSwitches & 0x02, 0x02);

    c.Press(KeySlot::AtsKirikaeSW);
    EXPECT_EQ(c.mode.cabSwitches & 0x0C, 0x04);
    EXPECT_EQ(c.mode.atsMode, 0x06);
    EXPECT_EQ(c.mode.dualEquipped, 1);
    c.Press(KeySlot::AtsKirikaeSW);
    EXPECT_EQ(c.mode.cabSwitches & 0x0C, 0x08);
    EXPECT_EQ(c.mode.atsMode, 0x04);
    EXPECT_EQ(c.mode.dualEquipped, 0);
    // The brake release works only with the pattern part in force; on line 5 it holds too.
    c.mode.lineCode = 5;
    const ModeEffects release{.patternReleaseBrake = true, .patternReleaseLamp = true};
    EXPECT_TRUE(effectsOf(KeySlot::PBrakeKaihou) == release);
    EXPECT_EQ(c.mode.cabSwitches & 0x60, 0x60);
    c.Press(KeySlot::AtsKirikaeSW);
    EXPECT_EQ(c.mode.cabSwitches & 0x0C, 0);
    EXPECT_EQ(c.mode.atsMode, 0x02);
    EXPECT_EQ(c.mode.atsModePanel, 0x02);
    c.mode.cabSwitches = 0x81;
    EXPECT_TRUE(effectsOf(KeySlot::PBrakeKaihou) == none);

    c.mode.atsMode = 0x04;
    EXPECT_TRUE(effectsOf(KeySlot::PKaihou) ==
                (ModeEffects{.patternReset = true, .patternBell = true}));
    EXPECT_EQ(c.mode.cabSwitches & 0x10, 0x10);
    EXPECT_EQ(c.mode.atsMode, 0x02);
    EXPECT_TRUE(effectsOf(KeySlot::PKaihou) == none);
    EXPECT_EQ(c.mode.cabSwitches & 0x10, 0);

    c.mode.atsMode = 0;
    c.mode.lineCode = 0x10;
    EXPECT_TRUE(effectsOf(KeySlot::EBNFB) == none);
    EXPECT_FALSE(c.cab.ebnfbSwitch);
    EXPECT_TRUE(effectsOf(KeySlot::EBNFB) == ModeEffects{.spotRestart = SpotRestart::WithBell});
    EXPECT_TRUE(c.cab.ebnfbSwitch);
    EXPECT_EQ(c.mode.atsMode, 0x10);
}

TEST(CabKeys, SwitchesOfOneFrameAskTheProtectionsOnce) {
    // The key goes in on a line of spot pairs (a silent restart) in the frame the EB breaker
    // comes back on (a restart with the bell): the bell wins, and the pattern part is reset
    // once for the cut-out switch of the same frame.
    PolledCab c;
    c.Bind(KeySlot::MasterControllerKey, 0x4B);
    c.Bind(KeySlot::EBNFB, 0x36);
    c.Bind(KeySlot::PKaihou, 0x34);
    c.inputs.masterKeyFlags = 0x90;
    c.inputs.masterKeyPosition = 0;
    c.mode.lineCode = LineCode::HasSpotPairs;
    c.mode.atsMode = 0x04;
    c.cab.ebnfbSwitch = false;
    c.Hold(KeySlot::MasterControllerKey);
    c.Hold(KeySlot::EBNFB);
    c.Hold(KeySlot::PKaihou);
    const ModeEffects gathered{
        .spotRestart = SpotRestart::WithBell, .patternReset = true, .patternBell = true};
    EXPECT_TRUE(c.Poll().effects == gathered);
    EXPECT_TRUE(c.cab.ebnfbSwitch);
    EXPECT_EQ(c.mode.atsStarted, 1);
}

TEST(CabKeys, UnboundSwitchesSitOnCodesNoKeyProduces) {
    // With the settings' defaults only code 0 is unbound; Windows never reports it down, and a
    // keyboard with every real key held leaves every switch where it was.
    PolledCab c;
    std::memset(c.keyboard, 0x80, sizeof c.keyboard);
    c.keyboard[0] = 0;
    for (int code = 0x88; code <= 0x8F; ++code)
        c.keyboard[code] = 0;
    c.inputs.masterKeyFlags = 0x90;
    c.Poll();
    EXPECT_EQ(c.mode.cabSwitches, 0x81);
    EXPECT_TRUE(c.cab.ebnfbSwitch);
    EXPECT_FALSE(c.tasc.switchedOn);
    EXPECT_EQ(c.inputs.masterKeyFlags, 0x90);
}

} // namespace
} // namespace velqa3
