#include "vehicle/vigilance.h"

#include "host/brake_demand.h"

namespace velqa3 {

namespace {
bool Braking(std::uint8_t brakeDemand) {
    return (brakeDemand & BrakeDemandBits::VigilanceBrake) != 0;
}
} // namespace

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
