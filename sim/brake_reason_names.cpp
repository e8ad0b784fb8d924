#include "sim/brake_reason_names.h"

#include "host/brake_demand.h"

#include <cstdio>

namespace velqa3::sim {

namespace {

struct Reason {
    std::uint8_t bit;
    std::string_view name;
};

constexpr Reason kReasons[kBrakeReasons] = {
    {BrakeDemandBits::EbHandle, "EbHandle"},   {BrakeDemandBits::RollbackBrake, "RollbackBrake"},
    {BrakeDemandBits::SlipBrake, "SlipBrake"}, {BrakeDemandBits::VigilanceBrake, "VigilanceBrake"},
    {BrakeDemandBits::PtBrake, "PtBrake"},     {BrakeDemandBits::StBrake, "StBrake"},
    {kPtServiceReason, "PtService"},
};

} // namespace

std::string_view BrakeReasonName(std::uint8_t bit) {
    for (const Reason& r : kReasons)
        if (r.bit == bit) return r.name;
    return {};
}

std::string BrakeReasonNames(std::uint8_t demand) {
    std::string names;
    for (int shift = 0; shift < 8; ++shift) {
        const auto bit = static_cast<std::uint8_t>(1u << shift);
        if ((demand & bit) == 0) continue;
        if (!names.empty()) names += '+';
        const std::string_view name = BrakeReasonName(bit);
        if (!name.empty()) {
            names += name;
            continue;
        }
        char unowned[8];
        std::snprintf(unowned, sizeof unowned, "0x%02x", static_cast<unsigned>(bit));
        names += unowned;
    }
    return names;
}

std::optional<std::uint8_t> BrakeReasonBit(std::string_view name) {
    for (const Reason& r : kReasons)
        if (r.name == name) return r.bit;
    return std::nullopt;
}

std::string BrakeReasonList() {
    std::string list;
    for (const Reason& r : kReasons)
        list += (list.empty() ? "" : ", ") + std::string(r.name);
    return list;
}

} // namespace velqa3::sim
