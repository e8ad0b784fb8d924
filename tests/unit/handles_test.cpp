// Which source wins the handle commands: the ordered brake rules, power, reverser and the
// constant-speed procedure, on a fresh instance per case.
#include "tests/support/cab.h"

#include <functional>

namespace velqa3 {
namespace {

using test::Cab;

struct BrakeCase {
    const char* name;
    std::function<void(Plugin&)> setup;
    HandleOutput expected;
    std::int32_t driverPowerAfter; // the stored power notch once the frame has run
    bool latched;                  // the emergency latch after the frame
    float speed = 0.0f;            // km/h of the frame
};

// The driver stands at brake notch 3 with power 3 and the reverser forward; each case adds one
// reason and checks the rule that decides.
class BrakeRules : public Cab, public testing::WithParamInterface<BrakeCase> {};

TEST_P(BrakeRules, FirstRuleThatAppliesDecides) {
    const BrakeCase& c = GetParam();
    plugin->SetPower(3);
    plugin->SetReverser(1);
    plugin->SetBrake(3);
    Frame(); // the first frame after load spans the day so far; timers need a real one
    c.setup(*plugin);
    const HandleOutput out = Frame(c.speed);
    EXPECT_EQ(out.Brake, c.expected.Brake);
    EXPECT_EQ(out.Power, c.expected.Power);
    EXPECT_EQ(out.Reverser, c.expected.Reverser);
    EXPECT_EQ(plugin->cab.inputs.powerNotch, c.driverPowerAfter);
    EXPECT_EQ(plugin->arbitration.emergencyLatch, c.latched);
}

// At a stand under a stop code (limit -5 km/h): full service for the first second over the
// limit, the reduced notch after it; code 0 gives the emergency notch.
void SpeedCheck(Plugin& p, std::int32_t code, std::int32_t msOverLimit) {
    p.protection.mode.cabSignalMode = 1;
    p.protection.mode.cabSignalCode = code;
    p.aids.supervision.speedCheck.overLimitTime = msOverLimit;
}

// A TASC offer on a scale of 10 steps against the driver's notch.
void Tasc(Plugin& p, std::int32_t driver, std::int32_t offer) {
    p.SetBrake(driver);
    p.aids.tasc.brakeCommand = offer;
    p.aids.tasc.notchSteps = 10;
}

// Expected {Brake, Power, Reverser}, the driver's stored power notch and the latch afterwards.
// clang-format off
const BrakeCase kBrakeCases[] = {
    {"DriverAlone", [](Plugin&) {}, {3, 3, 1, 0}, 3, false},
    // Only a brake demand or the emergency handle also holds the reverser in neutral.
    {"AtsPowerOffKeepsTheReverser", [](Plugin& p) { p.protection.mode.cabSwitches = 0x80; }, {9, 0, 1, 0}, 0, true},
    {"BrakeDemand", [](Plugin& p) { p.aids.supervision.brakeDemand = BrakeDemandBits::SlipBrake; }, {9, 0, 0, 0}, 0, true},
    {"BrakeDemandWithPressureBoost", [](Plugin& p) {
         p.aids.supervision.brakeDemand = BrakeDemandBits::RollbackBrake;
         p.aids.supervision.plusBrake.state = PlusBrakeBits::Configured | PlusBrakeBits::EmergencyBoost; },
     {18, 0, 0, 0}, 0, true, 50.0f},
    {"KeyModeWithoutTheKey", [](Plugin& p) { p.cab.inputs.masterKeyFlags = 0x90; }, {9, 0, 1, 0}, 0, true},
    {"EmergencyHandle", [](Plugin& p) { p.SetBrake(9); }, {9, 0, 0, 0}, 0, true},
    {"KeyPositionZeroOnLine4NeitherLatchesNorForgetsPower", [](Plugin& p) { p.cab.inputs.masterKeyPosition = 0; },
     {9, 0, 0, 0}, 3, false},
    {"KeyPositionZeroOffLine4", [](Plugin& p) { p.cab.inputs.masterKeyPosition = 0; p.protection.mode.lineCode = 0x10; },
     {3, 3, 1, 0}, 3, false},
    {"ServiceLatch", [](Plugin& p) { p.protection.ptc.serviceLatch = 1; }, {8, 0, 1, 0}, 0, false},
    {"HoldBrakeKey", [](Plugin& p) { p.KeyDown(13); }, {8, 3, 1, 0}, 3, false},
    {"HoldBrakeKeyUnderSpotTypes12And13TakesTheHandle", [](Plugin& p) {
         p.protection.mode.atsMode = AtsModeBits::SpotTypes12And13; p.KeyDown(13); }, {3, 3, 1, 0}, 3, false},
    {"SpeedCheckReduced", [](Plugin& p) { SpeedCheck(p, 7, 1000); }, {4, 0, 1, 0}, 0, false},
    {"SpeedCheckService", [](Plugin& p) { SpeedCheck(p, 7, 0); }, {8, 0, 1, 0}, 0, false},
    {"SpeedCheckEmergency", [](Plugin& p) { SpeedCheck(p, 0, 0); }, {9, 0, 1, 0}, 0, false},
    {"SpeedCheckStateWithoutTheCheck", [](Plugin& p) { p.aids.supervision.speedCheck.state = 3; }, {3, 3, 1, 0}, 3, false},
    // 5 x 8 / 10 = 4 >= 4: the offer wins; 6 x 8 / 10 = 4 < 5: the driver's notch stands.
    {"TascOfferScaledReachesTheDriver", [](Plugin& p) { Tasc(p, 4, 5); }, {5, 0, 1, 0}, 0, false},
    {"TascOfferBelowTheDriver", [](Plugin& p) { Tasc(p, 5, 6); }, {5, 3, 1, 0}, 3, false},
    // 1 x 8 / 10 = 0: at least notch 1 unless notch 1 is a holding notch.
    {"TascOfferAgainstNotch1WithoutHoldingNotch", [](Plugin& p) { Tasc(p, 1, 1); }, {1, 0, 1, 0}, 0, false},
    {"TascOfferAgainstTheHoldingNotch", [](Plugin& p) { p.settings.holdBrake = 1; Tasc(p, 1, 1); },
     {1, 3, 1, 0}, 3, false},
    // Above PBStart the driver's notch 3 becomes 3 + 8 + 1.
    {"PressureIncreaseReplacesTheDriversNotch", [](Plugin& p) {
         p.aids.supervision.plusBrake.state = PlusBrakeBits::Configured; },
     {12, 3, 1, 0}, 3, false, 110.0f},
    {"HighLineVoltageLowersTheDriversNotch", [](Plugin& p) { p.settings.brakeDownMode = 1; }, {2, 3, 1, 0}, 3, false},
    {"LowLineVoltageLowersPower", [](Plugin& p) { p.settings.powerDownMode1 = 1; }, {3, 2, 1, 0}, 3, false},
    {"LowLineVoltageSecondNotchSet", [](Plugin& p) { p.settings.powerDownMode2 = 1; }, {3, 8, 1, 0}, 3, false},
    // Without the spot protection running, which would recompute its relay.
    {"OverspeedRelayCutsPowerOnly", [](Plugin& p) { p.cab.keys.ebnfbSwitch = false; p.protection.stc.overspeed = 1; },
     {3, 0, 1, 0}, 3, false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cab, BrakeRules, testing::ValuesIn(kBrakeCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(Cab, AfterAnEmergencyEbDownHoldsNotch2UntilTheCylinderHasEmptied) {
    plugin->settings.ebDown = 1;
    plugin->SetBrake(9);
    EXPECT_EQ(Frame(0.0f, 400.0f).Brake, 9);
    plugin->SetBrake(0);
    EXPECT_EQ(Frame(0.0f, 400.0f).Brake, 2);
    EXPECT_EQ(Frame(0.0f, 240.0f).Brake, 2);
    EXPECT_EQ(Frame(0.0f, 239.9f).Brake, 2) << "the frame that releases the latch still gives 2";
    EXPECT_EQ(Frame(0.0f, 239.9f).Brake, 0);

    // Without the setting, or off line 4, the driver's release counts at once.
    for (const auto& [ebDown, lineCode] : {std::pair{0, 4}, std::pair{1, 0x14}}) {
        Plugin& p = *plugin;
        p.settings.ebDown = static_cast<std::uint8_t>(ebDown);
        p.protection.mode.lineCode = lineCode;
        p.SetBrake(9);
        Frame(0.0f, 400.0f);
        p.SetBrake(0);
        EXPECT_EQ(Frame(0.0f, 400.0f).Brake, 0) << "EBDown " << ebDown << " line " << lineCode;
    }
}

TEST_F(Cab, ReverserFollowsTheDoors) {
    plugin->SetReverser(1);
    EXPECT_EQ(Frame().Reverser, 1);
    plugin->DoorsOpened(true);
    EXPECT_EQ(Frame().Reverser, 0) << "doors open hold the train in neutral";
    plugin->DoorsClosed(true);
    EXPECT_EQ(Frame().Reverser, 1);

    // A one-man train with its own doors closed follows the driver even with the host's open.
    plugin->cab.keys.oneManDoors = OneManBits::Fitted | OneManBits::Closed;
    plugin->DoorsOpened(true);
    EXPECT_EQ(Frame().Reverser, 1);
    plugin->DoorsOpened(false);
    EXPECT_EQ(Frame().Reverser, 0) << "the one-man door buttons opened them";
}

TEST_F(Cab, BothLeverBitsGiveTheReverserOneFrameLate) {
    plugin->settings.leverBits = 0x03;
    plugin->SetReverser(1);
    Frame();
    plugin->DoorsOpened(true);
    plugin->SetReverser(-1);
    EXPECT_EQ(Frame().Reverser, 1);
    EXPECT_EQ(Frame().Reverser, -1);
    plugin->SetBrake(9);
    EXPECT_EQ(Frame().Reverser, 0) << "the emergency handle's neutral stands";
}

TEST_F(Cab, HoldBrakeKeyLeavesTheReverserWhereItWas) {
    plugin->SetReverser(1);
    Frame();
    plugin->KeyDown(13);
    plugin->SetReverser(-1);
    EXPECT_EQ(Frame().Reverser, 1);
    plugin->KeyUp(13);
    EXPECT_EQ(Frame().Reverser, -1);
}

TEST_F(Cab, ConstantSpeedFromKey14ThroughArmingCrawlAndCancellation) {
    plugin->settings.constant = 1;
    plugin->SetReverser(1); // moving in neutral would be a roll-back

    // Coasting at 50 km/h: nothing to hold, so the request ends in the same frame.
    plugin->KeyDown(14);
    EXPECT_EQ(Frame(50.0f).ConstantSpeed, kConstantSpeedDisable);
    EXPECT_EQ(plugin->arbitration.constantState, 0);

    // Notch 4 above 45 km/h hands the host's constant-speed control the enable command.
    plugin->SetPower(4);
    plugin->KeyDown(14);
    EXPECT_EQ(Frame(50.0f).ConstantSpeed, kConstantSpeedEnable);
    EXPECT_EQ(Frame(50.0f).ConstantSpeed, kConstantSpeedContinue);
    plugin->SetBrake(2);
    EXPECT_EQ(Frame(50.0f).ConstantSpeed, kConstantSpeedDisable) << "braking cancels";
    plugin->SetBrake(0);

    // Crawl: notch 1 from a stand keeps the train between 3 and 5 km/h.
    plugin->SetPower(1);
    plugin->KeyDown(14);
    EXPECT_EQ(Frame(2.0f).Power, 1);
    EXPECT_EQ(Frame(5.0f).Power, 0) << "at 5 km/h power is held off";
    EXPECT_EQ(plugin->arbitration.constantState, 2);
    EXPECT_EQ(Frame(4.0f).Power, 0);
    EXPECT_EQ(Frame(2.9f).Power, 1) << "below 3 km/h power again";
    EXPECT_EQ(plugin->arbitration.constantState, 1);
    plugin->SetPower(0);
    EXPECT_EQ(Frame(2.0f).ConstantSpeed, kConstantSpeedContinue) << "coasting at a crawl";
    EXPECT_EQ(Frame(10.0f).ConstantSpeed, kConstantSpeedDisable) << "faster without notch 4";
    EXPECT_EQ(plugin->arbitration.constantState, 0);

    // Without a constant-speed type key 14 does nothing.
    plugin->settings.constant = 0;
    plugin->KeyDown(14);
    EXPECT_EQ(plugin->arbitration.constantState, 0);
}

} // namespace
} // namespace velqa3
