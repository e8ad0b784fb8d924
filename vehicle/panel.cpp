#include "vehicle/panel.h"

#include "host/brake_demand.h"
#include "host/slots.h"

#include <cmath>
#include <cstdlib>

namespace velqa3 {

namespace {

// The channels and beacon values fill their runs of slots exactly, up to the last slot.
static_assert(PanelSlot::DisplayChannels + kDisplayChannels == PanelSlot::BeaconValues);
static_assert(PanelSlot::BeaconValues + kBeaconValues == kSlotCount);

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
    p.out.Set(PanelSlot::AtsStNormalLamp, p.in.normalLamp != 0 &&
                                              HasModeBit(mode.atsMode, AtsModeBits::Spot) &&
                                              p.from.cabKeys.ebnfbSwitch && on);
    p.out.Set(PanelSlot::AtsStAlarmLamp, p.in.alarmLamp != 0 && on);
    // The pattern protection has power from the line, with its breaker in and not cut out.
    p.out.Set(PanelSlot::AtsPtPowerLamp,
              (mode.lineCode & LineCode::HasPattern) != 0 && (p.in.masterKeyIn || on) &&
                  HasCabSwitch(mode.cabSwitches, CabSwitchBits::ProtectionPower) &&
                  !HasCabSwitch(mode.cabSwitches, CabSwitchBits::PatternCutOut));
    p.out.Set(PanelSlot::AtsPtPatternState, on ? (rollback ? 1 : p.in.state) : 0);
    p.out.Set(PanelSlot::AtsPtReleaseLamp, p.in.releaseLamp != 0 && on);
    p.out.Set(PanelSlot::AtsPtBrakeLamp, on ? (rollback || slip ? 1 : p.in.brakeLamp) : 0);
    p.out.Set(PanelSlot::AtsPtReadyLamp, on ? (rollback ? 1 : p.in.resetReady) : 0);
    const bool testing = p.in.atsTestTimer > 0 && mode.atsMode != kAtsOff;
    p.out.Set(PanelSlot::AtsTestLamp, on && (testing || slip));
    p.out.Set(PanelSlot::NoAutomaticBrakeLamp, !p.demandBeyondHandle() && on);
    if (mode.cabSignalMode != 0)
        p.out.Set(PanelSlot::CabSignalCode, SaturatedAdd(mode.cabSignalCode, 1));
    p.out.Set(PanelSlot::AtsPtInForceLamp,
              on && !HasCabSwitch(mode.cabSwitches, CabSwitchBits::PatternCutOut) &&
                  (rollback || HasModeBit(mode.atsModePanel, AtsModeBits::Pattern)));
    p.out.Set(PanelSlot::BeyondStopPointLamp, static_cast<std::int32_t>(p.in.nsdLamp));
    p.out.Set(PanelSlot::CabSignalMode, static_cast<std::int32_t>(mode.cabSignalMode));
    p.out.Set(PanelSlot::AtsInForceLamp, mode.cabSignalMode == 0 && mode.atsMode != kAtsOff);
    p.out.Set(PanelSlot::SpotPairsLamp,
              mode.cabSignalMode == 0 && HasModeBit(mode.atsMode, AtsModeBits::SpotTypes12And13));
    p.out.Set(PanelSlot::SpeedCheckServiceLamp,
              p.in.speedCheckState == 1 || p.in.speedCheckState == 2);
    p.out.Set(PanelSlot::SpeedCheckEmergencyLamp, p.in.speedCheckState == 3);
    p.out.Set(PanelSlot::SpotPairArmedLamp, static_cast<std::int32_t>(p.in.pairArmed));
    if (p.settings.osrMode != 0)
        p.out.Set(PanelSlot::OverspeedLamp, static_cast<std::int32_t>(p.in.overspeed));
}

// The spot-protection lamp of the [DC25] cab. Leaving pattern territory sets it blinking for
// 2 s; a blink that runs out exactly at the end of a frame already gives way in that frame.
void SpotReadyLamp(const Panel& p, PanelTimers& timers) {
    std::int32_t& timer = timers.dc25BlinkTimer;
    if (timer > 0) {
        timer = p.frame.interval >= timer ? 0 : timer - p.frame.interval;
        if (timer > 0) {
            p.out.Set(PanelSlot::AtsStReadyLamp, timer % kBlinkPeriodMs >= kBlinkDarkMs);
            return;
        }
    }
    const std::uint8_t atsMode = p.from.mode.atsMode;
    p.out.Set(PanelSlot::AtsStReadyLamp, HasModeBit(atsMode, AtsModeBits::Spot) &&
                                             HasNoVariantBits(atsMode) && p.in.alarmLamp == 0 &&
                                             !p.in.key0Held && p.keyOn());
}

void CabLamps(const Panel& p) {
    const bool on = p.keyOn();
    const bool beyond = p.demandBeyondHandle();
    const std::uint8_t oneMan = p.from.cabKeys.oneManDoors;
    const bool oneManFitted = (oneMan & OneManBits::Fitted) != 0;
    const std::uint8_t cab = p.from.mode.cabSwitches;
    // 1 - position: forward 0, neutral 1, reverse 2.
    p.out.Set(PanelSlot::Reverser, Saturated(1 - std::int64_t{p.in.reverserHandle}));
    if (p.settings.emgBrake != 0) p.out.Set(PanelSlot::VigilanceLamp, p.in.vigilanceWarning && on);
    if ((p.in.plusBrakeState & PlusBrakeBits::Configured) != 0)
        p.out.Set(PanelSlot::PlusBrakeLamp, (p.in.plusBrakeState & PlusBrakeBits::Lamp) != 0 && on);
    p.out.Set(PanelSlot::Cars, p.in.cars);
    p.out.Set(PanelSlot::HoldingBrakeLamp, p.in.holdBrakeKey != 0 && on && !beyond);
    p.out.Set(PanelSlot::ConstantSpeedLamp, p.in.constantSpeedArmed && on && !beyond);
    p.out.Set(PanelSlot::SnowBrakeLamp, p.settings.snowBrake != 0 && on);

    // The pilot lamp: doors closed, unless the pattern line's cab is switched off.
    bool pilot = false;
    if ((p.from.mode.lineCode & 0x0F) == LineCode::PatternLine && p.in.masterKeyPosition == 0)
        pilot = false;
    else if (oneManFitted)
        pilot = (oneMan & OneManBits::Closed) != 0;
    else
        pilot = p.in.doorsClosed;
    p.out.Set(PanelSlot::PilotLamp, pilot);

    p.out.Set(PanelSlot::OneManLamp, on && oneManFitted);
    p.out.Set(PanelSlot::AllCarsLamp, on && (oneMan & OneManBits::AllCars) != 0);
    p.out.Set(PanelSlot::MasterKeyPosition, static_cast<std::int32_t>(p.in.masterKeyPosition));
    p.out.Set(PanelSlot::EbNfbSwitch, p.from.cabKeys.ebnfbSwitch);
    p.out.Set(PanelSlot::AtsNfbSwitch, HasCabSwitch(cab, CabSwitchBits::ProtectionPower));
    p.out.Set(PanelSlot::ChangeOverLinkSwitch,
              HasCabSwitch(cab, CabSwitchBits::ChangeOverInterlock));
    p.out.Set(PanelSlot::ChangeOverSwitch, ChangeOverPosition(cab));
    p.out.Set(PanelSlot::AtsPtCutOutSwitch, HasCabSwitch(cab, CabSwitchBits::PatternCutOut));
    p.out.Set(PanelSlot::RegenerationLamp,
              p.in.brakeOutput >= 1 && p.state().Speed > 0.0f && p.state().Current < 0.0f);
    p.out.Set(PanelSlot::EmergencyBrakeLamp, p.in.brakeOutput == p.in.emergencyNotch);
    if (p.settings.dc25Configured != 0) {
        p.out.Set(PanelSlot::Dc25Fitted, 1);
        p.out.Set(PanelSlot::Dc25Forward, p.in.reverserHandle == 1);
        p.out.Set(PanelSlot::Dc25Reverse, p.in.reverserHandle == -1);
        p.out.Set(PanelSlot::Dc25NoPower, p.state().Current <= 0.0f);
        p.out.Set(PanelSlot::Dc25Power, p.state().Current > 0.0f);
    }
    p.out.Set(PanelSlot::RecordSwitch, p.in.recordSwitch);
    p.out.Set(PanelSlot::RecordLineWritten, p.in.recordLineWritten);
    p.out.Set(PanelSlot::Curtain, p.in.curtain);
    p.out.Set(PanelSlot::MasterKeyIn, p.in.masterKeyIn);
}

void AidLamps(const Panel& p) {
    const TascState& tasc = p.from.tasc;
    if (p.tascConfigured()) {
        p.out.Set(PanelSlot::TascStep, tasc.step);
        p.out.Set(PanelSlot::TascRainLamp, tasc.rain && p.keyOn());
        p.out.Set(PanelSlot::TascTargetLamp, tasc.targetSet);
        p.out.Set(PanelSlot::TascBrakingLamp, tasc.braking);
        p.out.Set(PanelSlot::TascOffLamp, tasc.installed && !tasc.switchedOn);
    }
    const StationApproach& approach = p.from.stationApproach;
    p.out.Set(PanelSlot::StationApproachLamp, approach.lamp != 0);
    p.out.Set(PanelSlot::StationNumber, approach.lamp != 0 ? approach.stationNumber : 0);

    const PlatformDoorState& doors = p.from.platformDoors;
    if ((doors.flags & PlatformDoorBits::DoorsFitted) != 0) {
        p.out.Set(PanelSlot::PlatformDoorLamp,
                  PlatformDoorLamp(doors, p.state().Speed, p.state().Time));
        p.out.Set(PanelSlot::PlatformDoorsOpen, (doors.flags & PlatformDoorBits::Open) != 0);
        p.out.Set(PanelSlot::PlatformDoorsNotLinked,
                  (doors.flags & PlatformDoorBits::DoorsLinked) == 0);
    }
}

void ClockDigits(const Panel& p) {
    const std::int32_t t = p.state().Time;
    p.out.Set(PanelSlot::ClockHoursTens, t / 36'000'000);
    p.out.Set(PanelSlot::ClockHoursUnits, (t / 3'600'000) % 10);
    p.out.Set(PanelSlot::ClockMinutesTens, ((t / 60'000) % 60) / 10);
    p.out.Set(PanelSlot::ClockMinutesUnits, (t / 60'000) % 10);
    p.out.Set(PanelSlot::ClockSecondsTens, ((t / 1000) % 60) / 10);
    p.out.Set(PanelSlot::ClockSecondsUnits, (t / 1000) % 10);
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
    p.out.Set(PanelSlot::CurrentHundreds, DigitsOf(amps, 100.0f, 100.0f));
    p.out.Set(PanelSlot::CurrentUnits, DigitsOf(amps, 1.0f, 100.0f));
    p.out.Set(PanelSlot::CurrentNeedle, Truncated(amps * p.settings.currentK) / 5);
    p.out.Set(PanelSlot::CurrentDirection, current < 0.0f ? 1 : (current > 0.0f ? 2 : 0));

    const float bc = p.in.bcDisplay;
    p.out.Set(PanelSlot::BcHundreds, DigitsOf(bc, 100.0f, 10.0f));
    p.out.Set(PanelSlot::BcTens, DigitsOf(bc, 10.0f, 10.0f));
    p.out.Set(PanelSlot::BcUnits, DigitsOf(bc, 1.0f, 10.0f));
    p.out.Set(PanelSlot::BcNeedleTens, Truncated(bc / 10.0f));
    p.out.Set(PanelSlot::BcNeedle, Truncated(bc));
    p.out.Set(PanelSlot::MrUnits, DigitsOf(p.state().MrPressure, 1.0f, 10.0f));
    p.out.Set(PanelSlot::MrNeedleTens, Truncated(p.in.hornReservoir / 10.0f));
    p.out.Set(PanelSlot::MrNeedle, Truncated(p.in.hornReservoir));

    const std::int32_t volts = p.in.lineVoltage;
    p.out.Set(PanelSlot::LineVoltage, volts);
    p.out.Set(PanelSlot::Unit2Regeneration,
              UnitRegeneration(p, p.settings.unit2KasenV, p.settings.unit2EgbEnd));
    p.out.Set(PanelSlot::Unit3Regeneration,
              UnitRegeneration(p, p.settings.unit3KasenV, p.settings.unit3EgbEnd));
    p.out.Set(PanelSlot::LineVoltageHundreds, (volts / 100) % 100);
    p.out.Set(PanelSlot::LineVoltageUnits, volts % 100);
}

// The notch indicators. Where the pattern line's cab is dead (key out or off) both show a
// position past their last notch, which the panel draws as dark.
void NotchDisplays(const Panel& p) {
    const bool beyond = p.demandBeyondHandle();
    const bool deadCab =
        p.from.mode.lineCode == LineCode::PatternLine && (!p.in.masterKeyIn || !p.keyOn());
    std::int32_t power = p.in.powerHandle;
    if (beyond)
        power = 0;
    else if (deadCab)
        power = SaturatedAdd(p.in.powerNotches, 1);
    p.out.Set(PanelSlot::PowerNotch, power);

    std::int32_t brake = p.in.displayedBrakeNotch;
    if (beyond)
        brake = p.in.emergencyNotch;
    else if (deadCab)
        brake = SaturatedAdd(p.in.emergencyNotch, 1);
    else if (p.in.brakeOutput == p.in.emergencyNotch)
        brake = p.in.emergencyNotch;
    p.out.Set(PanelSlot::BrakeNotch, brake);
    p.out.Set(PanelSlot::BrakeOutput, p.in.brakeOutput);
    p.out.Set(PanelSlot::PowerOutput, p.in.powerOutput);
}

void PositionAndPattern(const Panel& p) {
    const double x = std::fabs(p.frame.panelLocation);
    p.out.Set(PanelSlot::PositionHundredKm, DigitsOf(x, 100'000.0, 10.0));
    p.out.Set(PanelSlot::PositionTenKm, DigitsOf(x, 10'000.0, 10.0));
    p.out.Set(PanelSlot::PositionKm, DigitsOf(x, 1000.0, 10.0));
    p.out.Set(PanelSlot::PositionHundredMetres, DigitsOf(x, 100.0, 10.0));

    const ModeGlobals& mode = p.from.mode;
    const float pattern = p.in.patternSpd;
    p.out.Set(PanelSlot::SignalAspect, mode.currentAspect);
    p.out.Set(PanelSlot::AtsPtVariant, PatternVariantNumber(mode.atsMode));
    p.out.Set(PanelSlot::PatternSpeedNeedle, Truncated(pattern / 5.0f));
    p.out.Set(PanelSlot::SignalAspectAgain, mode.currentAspect);
    p.out.Set(PanelSlot::AtsMode, static_cast<std::int32_t>(mode.atsMode));
    p.out.Set(PanelSlot::PatternSpeedHundreds, DigitsOf(pattern, 100.0f, 100.0f));
    p.out.Set(PanelSlot::PatternSpeedUnits, DigitsOf(pattern, 1.0f, 100.0f));
    p.out.Set(PanelSlot::PatternSpeedTenths, DigitsOf(std::fabs(pattern * 10.0f), 1.0f, 10.0f));
    p.out.Set(PanelSlot::PatternSpeed, Truncated(pattern));
    p.out.Set(PanelSlot::SpeedTenths, DigitsOf(std::fabs(p.state().Speed * 10.0f), 1.0f, 10.0f));

    const double location = p.state().Location;
    p.out.Set(PanelSlot::LocationHundredKm, DigitsOf(location, 100'000.0, 100.0));
    p.out.Set(PanelSlot::LocationKm, DigitsOf(location, 1000.0, 100.0));
    p.out.Set(PanelSlot::LocationHundredMetres, DigitsOf(location, 100.0, 10.0));
    p.out.Set(PanelSlot::LocationMetres, DigitsOf(location, 1.0, 100.0));
    p.out.Set(PanelSlot::LocationCentimetres, DigitsOf(location * 100.0, 1.0, 100.0));

    const double a = std::fabs(p.frame.acceleration);
    p.out.Set(PanelSlot::AccelerationWhole, DigitsOf(a, 1.0, 100.0));
    p.out.Set(PanelSlot::AccelerationHundredths, DigitsOf(a * 100.0, 1.0, 100.0));
}

void CountersAndChannels(const Panel& p) {
    const std::int32_t(&beacon)[kBeaconValues] = p.from.beaconValues.value;
    p.out.Set(PanelSlot::DoorCounter, p.in.doorCounter);
    p.out.Set(PanelSlot::DoorCounterPlusBeacon,
              SaturatedAdd(p.in.doorCounter, beacon[kBeaconValues - 1]));
    for (int channel = 0; channel < kDisplayChannels; ++channel)
        p.out.Set(PanelSlot::DisplayChannels + channel,
                  SaturatedAdd(p.from.display.frame[channel], 1));
    for (int i = 0; i < kBeaconValues; ++i)
        p.out.Set(PanelSlot::BeaconValues + i, beacon[i]);
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
