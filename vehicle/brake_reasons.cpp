#include "vehicle/brake_reasons.h"

#include "host/brake_demand.h"
#include "vehicle/sound_state.h"

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

} // namespace velqa3
