// The checkers' brake, warning and hold boundaries, and which checker a mode runs.
#include "tests/support/ptc_rig.h"

#include <gtest/gtest.h>

namespace velqa3 {
namespace {

using test::PtcRig;

using Checker = void (PTC::*)();
using Given = void (*)(PTC&);

const Checker CE = &PTC::CheckEmergency, CS = &PTC::CheckService, CA = &PTC::CheckAspect,
              CM = &PTC::CheckMargin, LO = &PTC::CheckLimitOnly, LM = &PTC::CheckLimitMax,
              RE = &PTC::CheckRestrictedEmergency, RS = &PTC::CheckRestrictedService,
              MX = &PTC::CheckMaxSpeed;

// 300 m needed, 250 m left.
const Given StopAhead = [](PTC& p) { p.sigDis = 250, p.sigPtnDis = 300; };
const Given InZone = [](PTC& p) { p.sigDis = 0, p.nsdMode = 1, p.nsdDis = 50, p.nsdSpd = 15; };
const Given LimitAhead = [](PTC& p) { p.limDis = 300, p.limSpd = 45, p.limPtnDis = 326; };
const Given LimitInForce = [](PTC& p) { p.limDoDis = 100, p.limDoSpd = 45; };
// 150 m needed, 100 m left, 25 km/h at the target.
const Given TargetAhead = [](PTC& p) {
    p.sigDis = 0, p.targetDis = 100, p.sigPtnDis = 150, p.targetSpd = 25, p.aspectSpd = 45;
};
const Given MarginEdge = [](PTC& p) { p.sigDis = 300, p.sigPtnDis = 251; }; // 1 m inside 50 m
const Given Nothing = [](PTC&) {};

TEST(PtcChecker, BrakeAndWarningBoundaries) {
    const struct {
        const char* what;
        Checker check;
        Given setup;
        float speed;
        std::int32_t state;
        std::uint8_t emergency, service;
        std::int32_t releaseSpd, approachNo;
    } cases[] = {
        {"CE stop at 10 warns", CE, StopAhead, 10, 2, 0, 0, 0, 11},
        {"CE stop above 10 brakes", CE, StopAhead, 10.1f, 3, 1, 0, 0, 21},
        {"CE stop below 6 is quiet", CE, StopAhead, 5.9f, 0, 0, 0, 0, 0},
        {"CE zone at its speed", CE, InZone, 15, 3, 1, 0, 0, 22},
        {"CE zone below its speed", CE, InZone, 14.9f, 2, 0, 0, 0, 12},
        {"CE limit ahead +10", CE, LimitAhead, 55, 2, 0, 0, 0, 13},
        {"CE limit ahead above +10", CE, LimitAhead, 55.1f, 3, 1, 0, 0, 23},
        {"CE limit in force +10", CE, LimitInForce, 55, 3, 1, 0, 0, 24},
        {"CE limit in force +5", CE, LimitInForce, 50, 2, 0, 0, 0, 14},
        {"CE limit in force below +5", CE, LimitInForce, 49.9f, 0, 0, 0, 0, 0},
        {"CE maximum +10", CE, Nothing, 130, 3, 1, 0, 0, 25},
        {"CE maximum +5", CE, Nothing, 125, 2, 0, 0, 0, 15},
        {"CE maximum below +5", CE, Nothing, 124.9f, 0, 0, 0, 0, 0},
        {"CS stop at 10 only warns", CS, StopAhead, 10, 1, 0, 0, 0, 0},
        {"CS stop above 10 brakes and warns", CS, StopAhead, 10.1f, 1, 0, 1, 0, 0},
        {"CS zone brakes to its speed", CS, InZone, 15, 1, 0, 1, 15, 0},
        {"CS limit ahead", CS, LimitAhead, 55.1f, 1, 0, 1, 45, 0},
        {"CS maximum", CS, Nothing, 130, 1, 0, 1, 120, 0},
        {"CS maximum +5 warns", CS, Nothing, 125, 1, 0, 0, 0, 0},
        {"CA stop at 10 brakes", CA, StopAhead, 10, 1, 0, 1, 0, 0},
        {"CA stop below 10 warns", CA, StopAhead, 9.9f, 1, 0, 0, 0, 0},
        {"CA target speed +10", CA, TargetAhead, 35, 1, 0, 1, 25, 0},
        {"CA target speed +5 warns", CA, TargetAhead, 34.9f, 1, 0, 0, 0, 0},
        {"CA target behind the curve", CA, [](PTC& p) { TargetAhead(p), p.sigPtnDis = 50; }, 55, 1,
         0, 1, 45, 0},
        {"CM inside the 50 m margin", CM, MarginEdge, 6, 1, 0, 0, 0, 0},
        {"CM margin below 6", CM, MarginEdge, 5.9f, 0, 0, 0, 0, 0},
        {"CM brakes as CS", CM, Nothing, 130, 1, 0, 1, 120, 0},
        {"LO has no maximum", LO, Nothing, 300, 0, 0, 0, 0, 0},
        {"LO limit in force", LO, LimitInForce, 55, 1, 0, 1, 45, 0},
        {"LM above the maximum brakes", LM, Nothing, 120.1f, 1, 0, 1, 120, 0},
        {"LM at the maximum warns", LM, Nothing, 120, 1, 0, 0, 0, 0},
        {"LM 5 below warns not", LM, Nothing, 115, 0, 0, 0, 0, 0},
        {"RE above 30", RE, Nothing, 30.1f, 3, 1, 0, 0, 0},
        {"RE at 30", RE, Nothing, 30, 2, 0, 0, 0, 0},
        {"RE below 27", RE, Nothing, 26.9f, 0, 0, 0, 0, 0},
        {"RE zone", RE, InZone, 15, 3, 1, 0, 0, 0},
        {"RS above 30 releases at 25", RS, Nothing, 30.1f, 1, 0, 1, 25, 0},
        {"RS at 27", RS, Nothing, 27, 1, 0, 0, 0, 0},
        {"RS zone", RS, InZone, 15, 1, 0, 1, 15, 0},
        {"MX +10", MX, Nothing, 130, 3, 1, 0, 0, 0},
        {"MX +5", MX, Nothing, 125, 2, 0, 0, 0, 0},
        {"MX below +5", MX, Nothing, 124.9f, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        PtcRig rig;
        c.setup(rig.ptc);
        rig.speed = c.speed;
        rig.ptc.in = rig.Frame();
        (rig.ptc.*c.check)();
        EXPECT_EQ(rig.ptc.state, c.state) << c.what;
        EXPECT_EQ(rig.ptc.emergencyLatch, c.emergency) << c.what;
        EXPECT_EQ(rig.ptc.serviceLatch, c.service) << c.what;
        EXPECT_EQ(rig.ptc.brakeLamp, c.emergency | c.service) << c.what;
        EXPECT_EQ(rig.ptc.releaseSpd, c.releaseSpd) << c.what;
        EXPECT_EQ(rig.ptc.approachNo, c.approachNo) << c.what;
    }
}

TEST(PtcChecker, ZeroSpeedLimitCloseAheadKeepsTheWarning) {
    // 1.93 / 0.778 + 6.94 = 9.42 m for the service variants, 1.93 / 0.889 + 6.94 = 9.11 m
    // for the aspect variant.
    const struct {
        Checker check;
        float limDis;
        std::int32_t state;
    } cases[] = {{CS, 5, 1},    {CS, 9.4f, 1}, {CS, 9.5f, 0}, {CA, 9.1f, 1},
                 {CA, 9.2f, 0}, {LM, 9.1f, 1}, {CE, 5.0f, 0}}; // CE: only a hold rule there
    for (const auto& c : cases) {
        PtcRig rig;
        rig.ptc.limSpd = 0;
        rig.ptc.limDis = c.limDis;
        rig.ptc.limPtnDis = 0;
        rig.ptc.in = rig.Frame();
        (rig.ptc.*c.check)(); // standing still
        EXPECT_EQ(rig.ptc.state, c.state) << c.limDis;
    }
}

TEST(PtcChecker, WarningsReleaseOnlyWhenNoHoldRuleHolds) {
    // Speeds in turn, and what each leaves: the warning holds down to its hold boundary.
    const struct {
        Checker check;
        Given setup;
        float speeds[3];
        std::int32_t states[3], approachNos[3];
    } cases[] = {
        {CE, Nothing, {125, 120, 119.9f}, {2, 2, 0}, {15, 15, 0}}, // held at the maximum
        {CS, InZone, {10, 8.1f, 8}, {1, 1, 0}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        PtcRig rig;
        c.setup(rig.ptc);
        for (int i = 0; i < 3; ++i) {
            rig.speed = c.speeds[i];
            rig.ptc.in = rig.Frame();
            (rig.ptc.*c.check)();
            EXPECT_EQ(rig.ptc.state, c.states[i]) << c.speeds[i];
            EXPECT_EQ(rig.ptc.approachNo, c.approachNos[i]) << c.speeds[i];
        }
    }
}

TEST(PtcChecker, LatchesKeepTheCheckersOut) {
    PtcRig rig{.speed = 300};
    rig.ptc.emergencyLatch = 1;
    rig.ptc.in = rig.Frame();
    for (const Checker check : {CE, CS, CA, RS, MX})
        (rig.ptc.*check)();
    EXPECT_EQ(rig.ptc.state + rig.ptc.serviceLatch, 0);

    PtcRig service{.speed = 40}; // under a service brake only the shunting check goes on
    service.ptc.in = service.Frame();
    service.ptc.ApplyServiceBrake(0);
    service.ptc.CheckService();
    EXPECT_EQ(service.ptc.state, 0);
    service.ptc.CheckRestrictedService();
    EXPECT_EQ(service.ptc.releaseSpd, 25);
}

TEST(PtcChecker, ModeAndSwitchChooseTheChecker) {
    const struct {
        std::uint8_t atsMode, cabSwitches;
        float speed;
        std::uint8_t emergency, service;
    } cases[] = {
        {4, 0x01, 31, 0, 0},      // 31 km/h is nothing to the plain check
        {4, 0x09, 31, 1, 0},      // switch at 8: shunting
        {4, 0x05, 31, 0, 0},      // switch at 4 is not restricted
        {7, 0x01, 130, 0, 1},     // service variant
        {7, 0x09, 31, 0, 1},      // shunting with a service brake
        {5, 0x09, 130, 0, 1},     // margin variant ignores the switch
        {15, 0x01, 300, 0, 0},    // limits only
        {21, 0x01, 130, 0, 1},    // aspect variant
        {133, 0x09, 130, 0, 1},   // aspect variant, other value
        {69, 0x01, 120.5f, 0, 1}, // limit and maximum
        {71, 0x01, 300, 0, 0},    // pattern without a checker
        {0x14, 0x01, 300, 0, 0},  // nor here
    };
    for (const auto& c : cases) {
        PtcRig rig{.speed = c.speed, .atsMode = c.atsMode, .cabSwitches = c.cabSwitches};
        rig.Run(0);
        EXPECT_EQ(rig.ptc.emergencyLatch, c.emergency) << int{c.atsMode};
        EXPECT_EQ(rig.ptc.serviceLatch, c.service) << int{c.atsMode};
    }
}

TEST(PtcChecker, ServiceBrakeLetsGoBelowItsReleaseSpeed) {
    PtcRig rig{.atsMode = 7};
    rig.ptc.limDoDis = 1000;
    rig.ptc.limDoSpd = 45.9f;
    rig.speed = 56;
    rig.Run(0);
    ASSERT_EQ(rig.ptc.serviceLatch, 1);
    EXPECT_EQ(rig.ptc.releaseSpd, 45); // truncated
    rig.speed = 45;
    rig.Run(0);
    EXPECT_EQ(rig.ptc.serviceLatch, 1);
    rig.speed = 44.9f;
    rig.Run(0);
    EXPECT_EQ(rig.ptc.serviceLatch + rig.ptc.brakeLamp + rig.ptc.state, 0);
}

} // namespace
} // namespace velqa3
