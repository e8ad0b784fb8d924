// The panel as the host reads it after a frame: where slots land through the remap, which
// slots leave the host's value alone, the numbers a driver reads and the timed displays.
#include "config/remap.h"
#include "tests/support/cab.h"
#include "vehicle/panel_channels.h"

#include <climits>
#include <vector>

namespace velqa3 {
namespace {

using test::Cab;

constexpr std::int32_t kUntouched = 777;

class Panel : public Cab {
  protected:
    void FillPanel(std::int32_t value) {
        for (std::int32_t& entry : panel)
            entry = value;
        panel[kSuspendPanelIndex] = 0;
    }
};

TEST_F(Panel, SlotsLandWhereTheRemapSendsThemAndNeverOnTheSuspensionEntry) {
    ReadPanelRemapLine("121=50", plugin->remap);
    // Two slots on one index: the later slot of the list wins.
    ReadPanelRemapLine("015=60", plugin->remap);
    ReadPanelRemapLine("029=60", plugin->remap);
    // A table that points at the suspension entry anyway (the reader refuses it) is not obeyed:
    // slot 135 (master key in) would write 1 there and suspend the next frame.
    plugin->remap.panel[135] = kSuspendPanelIndex;
    FillPanel(kUntouched);
    Frame();
    EXPECT_EQ(panel[50], plugin->aids.voltage.lineVoltage);
    EXPECT_EQ(panel[121], kUntouched);
    EXPECT_EQ(panel[60], 2); // the key position of slot 29, not the 10 cars of slot 15
    EXPECT_EQ(panel[kSuspendPanelIndex], 0);
    EXPECT_EQ(panel[255], 0); // beacon value of type 255, none yet
    plugin->SetBrake(9);
    EXPECT_EQ(Frame().Brake, 9);
}

// Where the higher of two slots on one index has a condition of its own, the lower one shows
// in the frames that condition is off: the vigilance lamp (slot 10) only with EmgBrake.
TEST_F(Panel, ALowerSlotOnASharedIndexShowsWhileTheHigherSlotIsNotWritten) {
    ReadPanelRemapLine("010=90", plugin->remap);
    ReadPanelRemapLine("008=90", plugin->remap);
    ReadPanelRemapLine("015=90", plugin->remap);
    // The master key lamp is decided before the station approach, yet its higher slot wins.
    ReadPanelRemapLine("028=92", plugin->remap);
    ReadPanelRemapLine("135=92", plugin->remap);
    FillPanel(kUntouched);
    Frame();
    EXPECT_EQ(panel[90], 10); // the cars of slot 15 over the reverser of slot 8
    EXPECT_EQ(panel[92], 1);
    ReadPanelRemapLine("015=91", plugin->remap);
    Frame();
    EXPECT_EQ(panel[90], 1); // the reverser in neutral, now that slot 15 has moved away
    EXPECT_EQ(panel[91], 10);
    plugin->settings.emgBrake = 1;
    Frame();
    EXPECT_EQ(panel[90], 0); // the vigilance lamp, dark
}

TEST_F(Panel, MissingHostArraysAreSkippedAndTheFrameStillDecides) {
    plugin->SetBrake(9);
    VehicleState state = test::StateAt(time += 16);
    EXPECT_EQ(plugin->Elapse(state, nullptr, nullptr).Brake, 9);
    EXPECT_EQ(plugin->Elapse(state, panel, nullptr).Brake, 9);
    EXPECT_EQ(panel[46], 1);
}

TEST_F(Panel, ConditionalSlotsKeepTheHostValueUntilTheirEquipmentIsConfigured) {
    const std::vector<int> conditional = {10, 11, 13, 14, 39,  47,  48,  50, 60,
                                          61, 62, 63, 64, 128, 129, 130, 131};
    FillPanel(kUntouched);
    Frame();
    for (int slot : conditional)
        EXPECT_EQ(panel[slot], kUntouched) << slot;

    Settings& s = plugin->settings;
    s.emgBrake = 1;
    s.osrMode = 1;
    s.dc25Configured = 1;
    plugin->aids.supervision.plusBrake.state = 0x01;
    plugin->aids.tasc.mode = 1;
    plugin->aids.platformDoors.flags = 0x01;
    plugin->protection.mode.cabSignalMode = 1;
    plugin->protection.mode.cabSignalCode = 5;
    Frame();
    for (int slot : conditional)
        EXPECT_NE(panel[slot], kUntouched) << slot;
    EXPECT_EQ(panel[14], 6);
    EXPECT_EQ(panel[60], 1);
    EXPECT_EQ(panel[131], 1); // platform doors fitted but not linked
}

TEST_F(Panel, KeyOnLampsGoDarkWithTheKeyOutOfPositionTwo) {
    plugin->protection.mode.lineCode = 0; // no protection runs to change its lamps
    plugin->settings.snowBrake = 100;
    plugin->aids.stationApproach = {
        .stationNumber = 2'000'000'000, .lampDistance = 0.0f, .endDistance = 900.0f, .lamp = 1};
    plugin->protection.ptc.state = 2;
    plugin->protection.ptc.releaseLamp = 1;
    Frame();
    EXPECT_EQ(panel[3], 2);
    EXPECT_EQ(panel[4], 1);
    EXPECT_EQ(panel[12], 1); // no demand beyond the handle
    EXPECT_EQ(panel[18], 1);
    EXPECT_EQ(panel[27], 1);
    EXPECT_EQ(panel[28], 2'000'000'000);

    // A roll-back brake overrides the pattern lamps and puts out the lamp of slot 12.
    plugin->aids.supervision.brakeDemand = BrakeDemandBits::RollbackBrake;
    Frame();
    EXPECT_EQ(panel[3], 1);
    EXPECT_EQ(panel[5], 1);
    EXPECT_EQ(panel[12], 0);
    EXPECT_EQ(panel[119], 0); // power display at 0 under the demand
    EXPECT_EQ(panel[120], 9); // brake display at the emergency notch

    plugin->cab.inputs.masterKeyPosition = 3;
    Frame();
    for (int slot : {3, 4, 5, 6, 12, 18})
        EXPECT_EQ(panel[slot], 0) << slot;
    EXPECT_EQ(panel[29], 3);
}

TEST_F(Panel, NotchDisplaysShowADeadCabPastTheLastNotchOnPatternLines) {
    plugin->SetPower(3);
    plugin->SetBrake(2);
    Frame();
    EXPECT_EQ(panel[119], 3);
    EXPECT_EQ(panel[120], 2);
    plugin->cab.inputs.masterKeyFlags &= static_cast<std::uint8_t>(~MasterKeyBits::Inserted);
    Frame();
    EXPECT_EQ(panel[119], 6);  // 5 power notches + 1
    EXPECT_EQ(panel[120], 10); // emergency 9 + 1
    EXPECT_EQ(panel[135], 0);
}

TEST_F(Panel, DigitsOfClockCurrentPressureLocationAndPattern) {
    plugin->protection.ptc.patternSpd = 87.5f;
    VehicleState state = test::StateAt(45'296'000, 12.3f, 123'456.75);
    state.Current = -1234.5f;
    state.BcPressure = 437.9f;
    plugin->Elapse(state, panel, sound);
    const std::int32_t volts = plugin->aids.voltage.lineVoltage;
    const std::pair<int, std::int32_t> expected[] = {
        {100, 1},  {101, 2},  {102, 3},   {103, 4},           {104, 5},          {105, 6},
        {106, 12}, {107, 34}, {108, 246}, {109, 1},           {111, 4},          {112, 3},
        {113, 7},  {114, 43}, {115, 437}, {121, volts},       {182, 17},         {203, 0},
        {204, 87}, {205, 5},  {206, 87},  {207, 3},           {208, 1},          {209, 23},
        {210, 4},  {211, 56}, {212, 75},  {215, volts / 100}, {216, volts % 100}};
    for (const auto& [slot, value] : expected)
        EXPECT_EQ(panel[slot], value) << slot;
}

TEST_F(Panel, ValuesTooLargeForTheirDigitsShowWithoutOverflow) {
    VehicleState state = test::StateAt(time += 16, 3.0e38f, -1.0e300);
    state.Current = -3.0e38f;
    state.BcPressure = 3.0e38f;
    plugin->cab.inputs.reverser = INT_MIN;
    plugin->cab.inputs.doorCounter = INT32_MAX;
    plugin->cab.beaconValues.value[5] = 5;
    plugin->protection.ptc.patternSpd = -3.0e38f;
    plugin->Elapse(state, panel, sound);
    EXPECT_EQ(panel[8], INT32_MAX);
    EXPECT_EQ(panel[244], INT32_MAX);
    EXPECT_EQ(panel[115], INT32_MAX);
    EXPECT_EQ(panel[206], INT32_MIN);
    for (int slot : {106, 107, 203, 204, 208, 209, 211, 212})
        EXPECT_LT(std::abs(panel[slot]), 100) << slot;
}

// Beacon 90 on a [DC25] cab of mode 2: the spot-protection lamp blinks for 2 s, dark for the
// first 251 ms of each 500 ms, then lights steadily.
TEST_F(Panel, TheSpotLampBlinksForTwoSecondsAfterPatternTerritoryEnds) {
    plugin->settings.dc25Mode = 2;
    plugin->protection.stc.Restart(true);
    Frame();
    plugin->SetBeaconData(BeaconData{90, 0, 0.0f, 0});
    std::vector<std::int32_t> lamp;
    for (int i = 0; i < 20; ++i) {
        Frame(0.0f, 0.0f, 100);
        lamp.push_back(panel[22]);
    }
    const std::vector<std::int32_t> expected = {1, 1, 0, 0, 0, 1, 1, 0, 0, 0,
                                                1, 1, 0, 0, 0, 1, 1, 0, 0, 1};
    EXPECT_EQ(lamp, expected); // the 20th frame lands on 0 and is already steady
    EXPECT_EQ(plugin->cab.panelTimers.dc25BlinkTimer, 0);
    plugin->cab.inputs.key0Held = true;
    Frame();
    EXPECT_EQ(panel[22], 0);
}

FrameValues FrameAt(std::int32_t clock, std::int32_t interval, float speed = 50.0f) {
    FrameValues frame;
    frame.clock = clock;
    frame.interval = interval;
    frame.speed = speed;
    return frame;
}

TEST(DisplayChannels, TheStationChannelHoldsItsLastFrameOnceTheTrainStops) {
    Settings settings;
    settings.station = 1;
    DisplayChannels display;
    display.period[kStationChannel] = 5;
    RunDisplayChannels(display, FrameAt(500, 20), settings);
    EXPECT_EQ(display.frame[kStationChannel], 0);
    EXPECT_EQ(display.period[kStationChannel], -3);
    RunDisplayChannels(display, FrameAt(1000, 20, 3.0f), settings);
    EXPECT_EQ(display.frame[kStationChannel], 2);
    // A period shortened below the frame shown brings the frame back into range.
    settings.station = 0;
    display.period[kStationChannel] = 2;
    display.frame[kStationChannel] = 7;
    RunDisplayChannels(display, FrameAt(1500, 20), settings);
    EXPECT_EQ(display.frame[kStationChannel], 0);
}

} // namespace
} // namespace velqa3
