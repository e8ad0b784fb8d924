// Where each logical panel and sound slot lands in the host's arrays.
#pragma once

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

} // namespace velqa3
