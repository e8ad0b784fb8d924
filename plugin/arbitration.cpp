#include "plugin/arbitration.h"

#include "vehicle/line_voltage.h"

#include <cstdint>

namespace velqa3 {

namespace {

bool LowByteIs4(std::int32_t lineCode) {
    return (lineCode & 0xFF) == 4;
}

bool LowNibbleIs4(std::int32_t lineCode) {
    return (lineCode & 0x0F) == 4;
}

bool KeyOutInKeyMode(const DriverInputs& driver) {
    return (driver.masterKeyFlags & MasterKeyBits::KeyMode) != 0 &&
           (driver.masterKeyFlags & MasterKeyBits::Inserted) == 0;
}

// Cutting power also makes the host's power handle count as released until the driver moves
// it again: the host only reports the handle when it moves.
void CutPower(DriverInputs& driver, HandleOutput& out) {
    out.Power = 0;
    driver.powerNotch = 0;
}

void ApplyEmergency(Arbitration& arb, const ArbitrationInputs& in, DriverInputs& driver,
                    HandleOutput& out) {
    out.Reverser = 0;
    const std::uint8_t boosted = PlusBrakeBits::EmergencyBoost | PlusBrakeBits::Active;
    out.Brake = (in.supervision.plusBrake.state & boosted) == boosted
                    ? in.supervision.plusBrake.notch
                    : in.emergencyNotch;
    CutPower(driver, out);
    arb.emergencyLatch = true;
}

// The TASC offer wins when, scaled to the service notches, it brakes at least as hard as the
// driver; a holding notch 1 does not count as braking unless the train has one.
void DriverRule(const ArbitrationInputs& in, DriverInputs& driver, HandleOutput& out) {
    const std::int32_t command = in.tasc.brakeCommand;
    out.Brake = driver.brakeNotch;
    if (command != 0 && in.tasc.notchSteps != 0) {
        const std::int32_t threshold =
            in.settings.holdBrake == 0 && driver.brakeNotch == 1 ? 0 : driver.brakeNotch;
        const std::int64_t scaled =
            static_cast<std::int64_t>(command) * in.serviceNotches / in.tasc.notchSteps;
        if (scaled >= threshold) {
            out.Brake = command;
            CutPower(driver, out);
        }
    }
    if (out.Brake != driver.brakeNotch) return;
    if ((in.supervision.plusBrake.state & PlusBrakeBits::Active) != 0)
        out.Brake = in.supervision.plusBrake.notch;
    else
        out.Brake =
            BrakeAfterReduction(driver.brakeNotch, in.lineVoltage, in.emergencyNotch, in.settings);
}

} // namespace

void DecidePower(const ArbitrationInputs& in, const DriverInputs& driver, HandleOutput& out) {
    out.Power = in.stOverspeed ? 0
                               : PowerAfterReduction(driver.powerNotch, in.lineVoltage,
                                                     in.powerNotches, in.settings);
}

void DecideBrake(Arbitration& arb, const ArbitrationInputs& in, DriverInputs& driver,
                 HandleOutput& out) {
    const std::int32_t lineCode = in.mode.lineCode;
    if (!HasCabSwitch(in.mode.cabSwitches, CabSwitchBits::ProtectionPower)) {
        // The protection has no power: the train must not move, but the reverser is left to
        // the driver.
        out.Brake = in.emergencyNotch;
        CutPower(driver, out);
        arb.emergencyLatch = true;
    } else if (in.supervision.brakeDemand != 0 || KeyOutInKeyMode(driver) ||
               driver.brakeNotch == in.emergencyNotch) {
        ApplyEmergency(arb, in, driver, out);
    } else if (driver.masterKeyPosition == 0 && LowNibbleIs4(lineCode)) {
        out.Power = 0;
        out.Brake = in.emergencyNotch;
    } else if (in.ptServiceLatch) {
        out.Brake = in.serviceNotches;
        CutPower(driver, out);
    } else if (LowByteIs4(lineCode) && arb.emergencyLatch && in.settings.ebDown != 0) {
        out.Brake = 2;
        if (in.bcPressure < 240.0f) arb.emergencyLatch = false;
    } else if (driver.holdBrakeKey != 0) {
        out.Brake = driver.holdBrakeKey;
    } else if (in.mode.cabSignalMode != 0 && in.supervision.speedCheck.state != 0) {
        const std::int32_t state = in.supervision.speedCheck.state;
        out.Brake = state == 3 ? in.emergencyNotch : state == 2 ? in.serviceNotches : 4;
        CutPower(driver, out);
    } else {
        DriverRule(in, driver, out);
    }
}

void DecideReverser(const ArbitrationInputs& in, const DriverInputs& driver, HandleOutput& out) {
    const std::uint8_t station = in.settings.station;
    if (driver.holdBrakeKey != 0 && (station == 0 || station == 3) && driver.powerNotch == 0)
        return;
    if (in.supervision.brakeDemand != 0) {
        out.Reverser = 0;
        return;
    }
    if ((in.settings.leverBits & 0x03) == 0x03) {
        if (driver.brakeNotch != in.emergencyNotch) out.Reverser = in.previousReverser;
        return;
    }
    const std::uint8_t oneMan = OneManBits::Fitted | OneManBits::Closed;
    if ((in.cabKeys.oneManDoors & oneMan) == oneMan || driver.doorsClosed) {
        const bool keyOff = driver.masterKeyPosition == 0 && LowNibbleIs4(in.mode.lineCode);
        out.Reverser = keyOff ? 0 : driver.reverser;
        return;
    }
    out.Reverser = 0; // doors open
}

void DecideConstantSpeed(Arbitration& arb, const ArbitrationInputs& in, const DriverInputs& driver,
                         HandleOutput& out) {
    out.ConstantSpeed = kConstantSpeedContinue;
    const std::uint8_t type = in.settings.constant;
    if (type < 1) return;
    const float v = in.speed;
    const std::int32_t p = driver.powerNotch;
    const bool holdsType1 = type == 1 && p >= 4 && v >= 45.0f;
    const bool holdsType2 = type == 2 && p >= 4 && v >= 60.0f;
    const auto cancel = [&] {
        arb.constantState = 0;
        arb.constantArmed = false;
        out.ConstantSpeed = kConstantSpeedDisable;
    };

    if (arb.constantState == 1 && !arb.constantArmed) {
        if (p == 1 && v < 6.0f) {
            arb.constantArmed = true;
            arb.crawlTimer = 0;
        } else if (holdsType1 || holdsType2) {
            arb.constantArmed = true;
            out.ConstantSpeed = kConstantSpeedEnable;
        } else {
            arb.constantState = 0;
            out.ConstantSpeed = kConstantSpeedDisable;
        }
    } else if (arb.constantState == 1) {
        if (out.Brake != 0) {
            cancel();
        } else if ((p == 1 && v >= 5.0f) || (arb.crawlTimer > 10000 && v <= 5.0f)) {
            arb.constantState = 2;
            out.Power = 0;
            // Saturating: a train left crawling for weeks must not wrap the timer.
            arb.crawlTimer = in.frameInterval > INT32_MAX - arb.crawlTimer
                                 ? INT32_MAX
                                 : arb.crawlTimer + in.frameInterval;
        } else if (v <= 5.0f) {
            // crawling: leave it to the driver's notch
        } else if ((type == 1 && !holdsType1) || (type == 2 && !holdsType2)) {
            cancel();
        }
    } else if (arb.constantState == 2) {
        if (p == 1) {
            if (v < 3.0f) {
                arb.constantState = 1;
                arb.crawlTimer = 0;
            } else {
                out.Power = 0;
            }
        } else {
            arb.constantState = 0;
            arb.constantArmed = false;
        }
    }
}

} // namespace velqa3
