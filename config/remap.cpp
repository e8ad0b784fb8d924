#include "config/remap.h"

#include "config/numbers.h"

namespace velqa3 {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The slot of a line that begins with three decimal digits and "=", or -1. Slots beyond 255
// ("256=") are no slot at all.
int RemapSlot(const char* line) {
    if (!IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]) || line[3] != '=') return -1;
    const int slot = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    return slot <= 255 ? slot : -1;
}

// 255 is kept free in both arrays: a target must lie below it.
bool IsTarget(std::int32_t target) {
    return target >= 0 && target < 255;
}

} // namespace

RemapResult ReadPanelRemapLine(const char* line, RemapTables& remap) {
    const int slot = RemapSlot(line);
    if (slot < 0) return RemapResult::NoSlot;
    if (slot == kSuspendPanelIndex) return RemapResult::SlotRefused;
    const std::int32_t target = ParseLong(line + 4);
    if (!IsTarget(target) || target == kSuspendPanelIndex) return RemapResult::TargetRefused;
    remap.panel[slot] = static_cast<std::uint8_t>(target);
    return RemapResult::Moved;
}

RemapResult ReadSoundRemapLine(const char* line, RemapTables& remap) {
    const int slot = RemapSlot(line);
    if (slot < 0) return RemapResult::NoSlot;
    const std::int32_t target = ParseLong(line + 4);
    if (!IsTarget(target)) return RemapResult::TargetRefused;
    remap.sound[slot] = static_cast<std::uint8_t>(target);
    return RemapResult::Moved;
}

} // namespace velqa3
