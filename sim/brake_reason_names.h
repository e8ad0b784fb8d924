// The automatic brake reasons by name, as the trace, the event log, the picture and the
// scenario's expectations write them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velqa3::sim {

inline constexpr int kBrakeReasons = 7;
// The pattern protection's service brake is no bit of the plug-in's brake demand (only its
// emergency latch is); the host folds the diagnostics' flag for it into the reasons as this
// bit, so that it reads as a reason beside the others everywhere a run shows them.
inline constexpr std::uint8_t kPtServiceReason = 0x40;

// The name of one reason bit ("VigilanceBrake"), or empty for a bit no reason owns.
std::string_view BrakeReasonName(std::uint8_t bit);
// The names of the bits set, lowest bit first, joined by '+'; bits no reason owns as "0x40".
// Empty when none is set.
std::string BrakeReasonNames(std::uint8_t demand);
// The bit of a reason name, exactly as BrakeReasonName writes it.
std::optional<std::uint8_t> BrakeReasonBit(std::string_view name);
// "EbHandle, RollbackBrake, ...", for messages.
std::string BrakeReasonList();

} // namespace velqa3::sim
