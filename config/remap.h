// Where each logical panel and sound slot lands in the host's arrays.
#pragma once

#include "host/host.h"

#include <cstdint>

namespace velqa3 {

struct RemapTables {
    std::uint8_t panel[256];
    std::uint8_t sound[256];

    constexpr RemapTables() : panel{}, sound{} { SetIdentity(); }

    constexpr void SetIdentity() {
        for (int i = 0; i < 256; ++i) {
            panel[i] = static_cast<std::uint8_t>(i);
            sound[i] = static_cast<std::uint8_t>(i);
        }
    }
};

// One line of [PANELOUTPUT] or [SOUNDOUTPUT]: "kkk=target", the logical slot as exactly three
// decimal digits, the target index in any base the settings accept. Targets outside 0..254
// are refused; for the panel, so is anything touching entry 199.
enum class RemapResult : std::uint8_t {
    Moved,         // the entry now holds the target
    NoSlot,        // the line does not begin with a slot and "="
    SlotRefused,   // panel slot 199
    TargetRefused, // a target outside 0..254, or 199 for the panel
};
RemapResult ReadPanelRemapLine(const char* line, RemapTables& remap);
RemapResult ReadSoundRemapLine(const char* line, RemapTables& remap);

} // namespace velqa3
