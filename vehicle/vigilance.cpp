#include "vehicle/vigilance.h"

#include "host/brake_demand.h"
#include "host/mode.h"

#include <cstdint>

namespace velqa3 {

namespace {
bool Braking(std::uint8_t brakeDemand) {
    return (brakeDemand & BrakeDemandBits::VigilanceBrake) != 0;
}

// ms without an action after which the device brakes; it warns 5 s before.
std::int32_t BrakeLimit(std::int8_t mode) {
    return mode == 3 ? 35'000 : 65'000;
}
constexpr std::int32_t kWarningLead = 5'000;
} // namespace

void RunVigilance(Vigilance& vigilance, const FrameValues& frame, const Settings& settings,
                  const VigilanceInputs& in, std::uint8_t& brakeDemand) {
    const bool fitted = settings.emgBrake == 1 || settings.emgBrake == 3;
    if (!fitted || !HasCabSwitch(in.cabSwitches, CabSwitchBits::VigilanceIn)) return;
    // An emergency brake already stops the train; the device waits until it is released.
    if (frame.speed > kVigilanceSpeed && in.previousBrakeOutput != in.emergencyNotch) {
        const std::int64_t grown = std::int64_t{vigilance.timer} + frame.interval;
        vigilance.timer = grown > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(grown);
    } else {
        vigilance.timer = 0;
    }
    // The driver has the whole limit: only time past it warns or brakes.
    const std::int32_t brakeAt = BrakeLimit(settings.emgBrake);
    if (vigilance.timer > brakeAt) {
        brakeDemand |= BrakeDemandBits::VigilanceBrake;
    } else if (vigilance.timer > brakeAt - kWarningLead) {
        vigilance.warning = true;
        vigilance.buzzer = kSoundLoop;
    }
}

void ResetVigilance(Vigilance& vigilance) {
    vigilance.timer = 0;
    vigilance.warning = false;
    vigilance.buzzer = kSoundStop;
}

void VigilanceDriverAction(Vigilance& vigilance, std::uint8_t brakeDemand) {
    if (!Braking(brakeDemand)) ResetVigilance(vigilance);
}

void VigilanceEmergencyHandle(Vigilance& vigilance, std::uint8_t& brakeDemand) {
    if (!Braking(brakeDemand)) return;
    vigilance.warning = false;
    vigilance.buzzer = kSoundStop;
    brakeDemand &= static_cast<std::uint8_t>(~BrakeDemandBits::VigilanceBrake);
}

} // namespace velqa3
