#include "vehicle/panel.h"

#include "host/brake_demand.h"

#include <cmath>
#include <cstdlib>

namespace velqa3 {

namespace {

constexpr int kBlinkPeriodMs = 500;
constexpr int kBlinkDarkMs = 251; // of each period, the lamp dark first

struct Panel {
    const PanelInputs& in;
    const PanelSources& from;
    const FrameValues& frame;
    const Settings& settings;
    RoutedSlots& out;

    const VehicleState& state() const { return frame.state; }
    bool keyOn() const { return in.masterKeyPosition == 2; }
    bool demand(std::uint8_t bit) const { return (in.brakeDemand & bit) != 0; }
    // A demand that the driver's own emergency handle did not make.
    bool demandBeyondHandle() const {
        return (in.brakeDemand & ~BrakeDemandBits::EbHandle & 0xFF) != 0;
    }
    bool tascConfigured() const { return from.tasc.mode != 0; }
};

void ProtectionLamps(const Panel& p) {
    const ModeGlobals& mode = p.from.mode;
    const bool on = p.keyOn();
    const bool rollback = p.demand(BrakeDemandBits::RollbackBrake);
    const bool slip = p.demand(BrakeDemandBits::SlipBrake);
    p.out.Set(0, p.in.normalLamp != 0 && (mode.atsMode & AtsModeBits::Spot) != 0 &&
                     p.from.cabKeys.ebnfbSwitch && on);
    p.out.Set(1, p.in.alarmLamp != 0 && on);
    // The pattern protection has power from the line, with its breaker in and not cut out.
    p.out.Set(2, (mode.lineCode & 0x04) != 0 && (p.in.masterKeyIn || on) &&
                     (mode.cabSwitches & 0x01) != 0 && (mode.cabSwitches & 0x10) == 0);
    p.out.Set(3, on ? (rollback ? 1 : p.in.state) : 0);
    p.out.Set(4, p.in.releaseLamp != 0 && on);
    p.out.Set(5, on ? (rollback || slip ? 1 : p.in.brakeLamp) : 0);
    p.out.Set(6, on ? (rollback ? 1 : p.in.resetReady) : 0);
    const bool testing = p.in.atsTestTimer > 0 && mode.atsMode != 0;
    p.out.Set(7, on && (testing || slip));
    p.out.Set(12, !p.demandBeyondHandle() && on);
    if (mode.cabSignalMode != 0) p.out.Set(14, SaturatedAdd(mode.cabSignalCode, 1));
    p.out.Set(25, on && (mode.cabSwitches & 0x10) == 0 &&
                      (rollback || (mode.atsModePanel & AtsModeBits::Pattern) != 0));
    p.out.Set(26, static_cast<std::int32_t>(p.in.nsdLamp));
    p.out.Set(40, static_cast<std::int32_t>(mode.cabSignalMode));
    p.out.Set(41, mode.cabSignalMode == 0 && mode.atsMode != 0);
    p.out.Set(42, mode.cabSignalMode == 0 && (mode.atsMode & 0x08) != 0);
    p.out.Set(43, p.in.speedCheckState == 1 || p.in.speedCheckState == 2);
    p.out.Set(44, p.in.speedCheckState == 3);
    p.out.Set(49, static_cast<std::int32_t>(p.in.pairArmed));
    if (p.settings.osrMode != 0) p.out.Set(50, static_cast<std::int32_t>(p.in.overspeed));
}

// The spot-protection lamp of the [DC25] cab. Leaving pattern territory sets it blinking for
// 2 s; a blink that runs out exactly at the end of a frame already gives way in that frame.
void SpotReadyLamp(const Panel& p, PanelTimers& timers) {
    std::int32_t& timer = timers.dc25BlinkTimer;
    if (timer > 0) {
        timer = p.frame.interval >= timer ? 0 : timer - p.frame.interval;
        if (timer > 0) {
            p.out.Set(22, timer % kBlinkPeriodMs >= kBlinkDarkMs);
            return;
        }
    }
    const std::uint8_t atsMode = p.from.mode.atsMode;
    p.out.Set(22, (atsMode & AtsModeBits::Spot) != 0 && (atsMode & 0xF8) == 0 &&
                      p.in.alarmLamp == 0 && !p.in.key0Held && p.keyOn());
}

void CabLamps(const Panel& p) {
    const bool on = p.keyOn();
    const bool beyond = p.demandBeyondHandle();
    const std::uint8_t oneMan = p.from.cabKeys.oneManDoors;
    const bool oneManFitted = (oneMan & OneManBits::Fitted) != 0;
    const std::uint8_t cab = p.from.mode.cabSwitches;
    // 1 - position: forward 0, neutral 1, reverse 2.
    p.out.Set(8, Saturated(1 - std::int64_t{p.in.reverserHandle}));
    if (p.settings.emgBrake != 0) p.out.Set(10, p.in.vigilanceWarning && on);
    if ((p.in.plusBrakeState & 0x01) != 0) p.out.Set(11, (p.in.plusBrakeState & 0x08) != 0 && on);
    p.out.Set(15, p.in.cars);
    p.out.Set(16, p.in.holdBrakeKey != 0 && on && !beyond);
    p.out.Set(17, p.in.constantSpeedArmed && on && !beyond);
    p.out.Set(18, p.settings.snowBrake != 0 && on);

    // The pilot lamp: doors closed, unless the pattern line's cab is switched off.
    bool pilot = false;
    if ((p.from.mode.lineCode & 0x0F) == 4 && p.in.masterKeyPosition == 0)
        pilot = false;
    else if (oneManFitted)
        pilot = (oneMan & OneManBits::Closed) != 0;
    else
        pilot = p.in.doorsClosed;
    p.out.Set(19, pilot);

    p.out.Set(23, on && oneManFitted);
    p.out.Set(24, on && (oneMan & OneManBits::AllCars) != 0);
    p.out.Set(29, static_cast<std::int32_t>(p.in.masterKeyPosition));
    p.out.Set(34, p.from.cabKeys.ebnfbSwitch);
    p.out.Set(35, (cab & 0x01) != 0);
    p.out.Set(36, (cab & 0x02) != 0);
    p.out.Set(37, (cab & 0x0C) >> 2);
    p.out.Set(38, (cab & 0x10) != 0);
    p.out.Set(45, p.in.brakeOutput >= 1 && p.state().Speed > 0.0f && p.state().Current < 0.0f);
    p.out.Set(46, p.in.brakeOutput == p.in.emergencyNotch);
    if (p.settings.dc25Configured != 0) {
        p.out.Set(60, 1);
        p.out.Set(61, p.in.reverserHandle == 1);
        p.out.Set(62, p.in.reverserHandle == -1);
        p.out.Set(63, p.state().Current <= 0.0f);
        p.out.Set(64, p.state().Current > 0.0f);
    }
    p.out.Set(122, p.in.recordSwitch);
    p.out.Set(123, p.in.recordLineWritten);
    p.out.Set(132, p.in.curtain);
    p.out.Set(135, p.in.masterKeyIn);
}

void AidLamps(const Panel& p) {
    const TascState& tasc = p.from.tasc;
    if (p.tascConfigured()) {
        p.out.Set(13, tasc.step);
        p.out.Set(39, tasc.rain && p.keyOn());
        p.out.Set(47, tasc.targetSet);
        p.out.Set(48, tasc.braking);
        p.out.Set(128, tasc.installed && !tasc.switchedOn);
    }
    const StationApproach& approach = p.from.stationApproach;
    p.out.Set(27, approach.lamp != 0);
    p.out.Set(28, approach.lamp != 0 ? approach.stationNumber : 0);

    const PlatformDoorState& doors = p.from.platformDoors;
    if ((doors.flags & PlatformDoorBits::DoorsFitted) != 0) {
        p.out.Set(129, PlatformDoorLamp(doors, p.state().Speed, p.state().Time));
        p.out.Set(130, (doors.flags & PlatformDoorBits::Open) != 0);
        p.out.Set(131, (doors.flags & PlatformDoorBits::DoorsLinked) == 0);
    }
}

void ClockDigits(const Panel& p) {
    const std::int32_t t = p.state().Time;
    p.out.Set(100, t / 36'000'000);
    p.out.Set(101, (t / 3'600'000) % 10);
    p.out.Set(102, ((t / 60'000) % 60) / 10);
    p.out.Set(103, (t / 60'000) % 10);
    p.out.Set(104, ((t / 1000) % 60) / 10);
    p.out.Set(105, (t / 1000) % 10);
}

// Unit n of the train regenerates into the line: 2 while it brakes electrically with the line
// still able to take the current, 1 while it draws power.
std::int32_t UnitRegeneration(const Panel& p, std::int32_t kasenV, float egbEnd) {
    if (kasenV < 1) return 0;
    if (p.in.brakeDemand == 0 && p.in.brakeOutput > 0 && p.state().Speed > egbEnd &&
        p.in.lineVoltage < kasenV)
        return 2;
    return p.state().Current > 0.0f ? 1 : 0;
}

void TractionAndAir(const Panel& p) {
    const float current = p.state().Current;
    const float amps = std::fabs(current);
    p.out.Set(106, DigitsOf(amps, 100.0f, 100.0f));
    p.out.Set(107, DigitsOf(amps, 1.0f, 100.0f));
    p.out.Set(108, Truncated(amps * p.settings.currentK) / 5);
    p.out.Set(109, current < 0.0f ? 1 : (current > 0.0f ? 2 : 0));

    const float bc = p.in.bcDisplay;
    p.out.Set(111, DigitsOf(bc, 100.0f, 10.0f));
    p.out.Set(112, DigitsOf(bc, 10.0f, 10.0f));
    p.out.Set(113, DigitsOf(bc, 1.0f, 10.0f));
    p.out.Set(114, Truncated(bc / 10.0f));
    p.out.Set(115, Truncated(bc));
    p.out.Set(116, DigitsOf(p.state().MrPressure, 1.0f, 10.0f));
    p.out.Set(117, Truncated(p.in.hornReservoir / 10.0f));
    p.out.Set(118, Truncated(p.in.hornReservoir));

    const std::int32_t volts = p.in.lineVoltage;
    p.out.Set(121, volts);
    p.out.Set(133, UnitRegeneration(p, p.settings.unit2KasenV, p.settings.unit2EgbEnd));
    p.out.Set(134, UnitRegeneration(p, p.settings.unit3KasenV, p.settings.unit3EgbEnd));
    p.out.Set(215, (volts / 100) % 100);
    p.out.Set(216, volts % 100);
}

// The notch indicators. Where the pattern line's cab is dead (key out or off) both show a
// position past their last notch, which the panel draws as dark.
void NotchDisplays(const Panel& p) {
    const bool beyond = p.demandBeyondHandle();
    const bool deadCab = p.from.mode.lineCode == 4 && (!p.in.masterKeyIn || !p.keyOn());
    std::int32_t power = p.in.powerHandle;
    if (beyond)
        power = 0;
    else if (deadCab)
        power = SaturatedAdd(p.in.powerNotches, 1);
    p.out.Set(119, power);

    std::int32_t brake = p.in.displayedBrakeNotch;
    if (beyond)
        brake = p.in.emergencyNotch;
    else if (deadCab)
        brake = SaturatedAdd(p.in.emergencyNotch, 1);
    else if (p.in.brakeOutput == p.in.emergencyNotch)
        brake = p.in.emergencyNotch;
    p.out.Set(120, brake);
    p.out.Set(201, p.in.brakeOutput);
    p.out.Set(217, p.in.powerOutput);
}

void PositionAndPattern(const Panel& p) {
    const double x = std::fabs(p.frame.panelLocation);
    p.out.Set(124, DigitsOf(x, 100'000.0, 10.0));
    p.out.Set(125, DigitsOf(x, 10'000.0, 10.0));
    p.out.Set(126, DigitsOf(x, 1000.0, 10.0));
    p.out.Set(127, DigitsOf(x, 100.0, 10.0));

    const ModeGlobals& mode = p.from.mode;
    const float pattern = p.in.patternSpd;
    p.out.Set(180, mode.currentAspect);
    p.out.Set(181, mode.atsMode >> 6);
    p.out.Set(182, Truncated(pattern / 5.0f));
    p.out.Set(200, mode.currentAspect);
    p.out.Set(202, static_cast<std::int32_t>(mode.atsMode));
    p.out.Set(203, DigitsOf(pattern, 100.0f, 100.0f));
    p.out.Set(204, DigitsOf(pattern, 1.0f, 100.0f));
    p.out.Set(205, DigitsOf(std::fabs(pattern * 10.0f), 1.0f, 10.0f));
    p.out.Set(206, Truncated(pattern));
    p.out.Set(207, DigitsOf(std::fabs(p.state().Speed * 10.0f), 1.0f, 10.0f));

    const double location = p.state().Location;
    p.out.Set(208, DigitsOf(location, 100'000.0, 100.0));
    p.out.Set(209, DigitsOf(location, 1000.0, 100.0));
    p.out.Set(210, DigitsOf(location, 100.0, 10.0));
    p.out.Set(211, DigitsOf(location, 1.0, 100.0));
    p.out.Set(212, DigitsOf(location * 100.0, 1.0, 100.0));

    const double a = std::fabs(p.frame.acceleration);
    p.out.Set(213, DigitsOf(a, 1.0, 100.0));
    p.out.Set(214, DigitsOf(a * 100.0, 1.0, 100.0));
}

void CountersAndChannels(const Panel& p) {
    const std::int32_t(&beacon)[kBeaconValues] = p.from.beaconValues.value;
    p.out.Set(243, p.in.doorCounter);
    p.out.Set(244, SaturatedAdd(p.in.doorCounter, beacon[kBeaconValues - 1]));
    for (int channel = 0; channel < kDisplayChannels; ++channel)
        p.out.Set(245 + channel, SaturatedAdd(p.from.display.frame[channel], 1));
    for (int i = 0; i < kBeaconValues; ++i)
        p.out.Set(kFirstBeaconValueType + i, beacon[i]);
}

} // namespace

bool PlatformDoorLamp(const PlatformDoorState& doors, float speed, std::int32_t time) {
    if (!(std::fabs(speed) < 5.0f) || (doors.flags & PlatformDoorBits::AtPlatform) == 0)
        return false;
    if (doors.lampVariant == 0 || (doors.flags & PlatformDoorBits::Open) == 0) return true;
    const std::int32_t msOfSecond = ((time % 1000) + 1000) % 1000;
    return msOfSecond < 500;
}

void WritePanel(const PanelInputs& in, const PanelSources& from, const FrameValues& frame,
                const Settings& settings, const std::uint8_t (&remap)[kSlotCount],
                PanelTimers& timers, SlotRoutes& routes, std::int32_t* panel) {
    if (panel == nullptr) return;
    routes.Update(remap, kSuspendPanelIndex);
    const SlotArray host{panel, remap, kSuspendPanelIndex};
    RoutedSlots out{routes, host};
    const Panel p{in, from, frame, settings, out};
    ProtectionLamps(p);
    SpotReadyLamp(p, timers);
    CabLamps(p);
    AidLamps(p);
    ClockDigits(p);
    TractionAndAir(p);
    NotchDisplays(p);
    PositionAndPattern(p);
    CountersAndChannels(p);
    out.Finish();
}

} // namespace velqa3
