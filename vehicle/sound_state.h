// State the sound stage keeps between frames; the reset key and the brake demands touch it too.
#pragma once

#include <cstdint>

namespace velqa3 {

namespace SoundRequestBits {
inline constexpr std::uint8_t Bell1 = 0x01;
inline constexpr std::uint8_t Bell2 = 0x02;
inline constexpr std::uint8_t PhaseA = 0x04;
inline constexpr std::uint8_t PhaseB = 0x08;
inline constexpr std::uint8_t AlarmRequest = 0x10;
} // namespace SoundRequestBits

struct SoundState {
    std::uint8_t requests = 0;
    std::int32_t alarmTimer = -1; // ms left of the alarm alternation, -1 idle
    std::int32_t demandAlarmTimer = 1000;
    std::uint8_t announcementCalls = 0; // calls of the key-15 sound still to ring
    bool key15WasHeld = false;
};

} // namespace velqa3
