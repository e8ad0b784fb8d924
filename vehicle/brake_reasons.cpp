#include "vehicle/brake_reasons.h"

#include "host/brake_demand.h"
#include "host/mode.h"
#include "vehicle/sound.h"

#include <cmath>

namespace velqa3 {

namespace {
void SetFlag(std::uint8_t& flags, std::uint8_t flag, bool on) {
    flags = static_cast<std::uint8_t>(on ? flags | flag : flags & ~flag);
}
} // namespace

void CollectProtectionReasons(const ProtectionReasons& reasons, std::uint8_t& brakeDemand,
                              std::uint8_t& soundRequests) {
    using namespace BrakeDemandBits;
    SetFlag(brakeDemand, StBrake, reasons.stEmergency);
    if (reasons.ptEmergency)
        RaiseAlarmedDemand(PtBrake, brakeDemand, soundRequests);
    else
        SetFlag(brakeDemand, PtBrake, false);
    SetFlag(brakeDemand, EbHandle, reasons.ebHandle);
}

void RaiseAlarmedDemand(std::uint8_t flag, std::uint8_t& brakeDemand, std::uint8_t& soundRequests) {
    brakeDemand |= flag;
    soundRequests |= SoundRequestBits::AlarmRequest;
}

void RunRollback(const FrameValues& frame, std::int32_t lineCode, std::int32_t reverser,
                 std::uint8_t& brakeDemand, std::uint8_t& soundRequests) {
    if ((lineCode & LineCode::HasPattern) == 0) return;
    const float v = frame.speed;
    // The host reports the reverser as -1, 0 or 1; any other value is taken by its direction,
    // so a stray value neither hides a roll-back nor invents one.
    const float direction = reverser > 0 ? 1.0f : (reverser < 0 ? -1.0f : 0.0f);
    // With no direction selected there is no traction, so motion either way is rolling.
    const bool rolling =
        direction != 0.0f ? direction * v <= -kRollbackSpeed : std::fabs(v) >= kRollbackSpeed;
    if (rolling) RaiseAlarmedDemand(BrakeDemandBits::RollbackBrake, brakeDemand, soundRequests);
}

} // namespace velqa3
