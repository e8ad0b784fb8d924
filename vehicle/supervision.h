// Automatic brake reasons collected each frame, and the driving aids that raise them.
#pragma once

#include "host/brake_demand.h"
#include "host/host.h"
#include "vehicle/slip.h"
#include "vehicle/speed_check.h"
#include "vehicle/vigilance.h"

#include <cstdint>

namespace velqa3 {

namespace PlusBrakeBits {
inline constexpr std::uint8_t Configured = 0x01;
inline constexpr std::uint8_t EmergencyBoost = 0x02;
inline constexpr std::uint8_t Active = 0x04;
inline constexpr std::uint8_t Lamp = 0x08;
} // namespace PlusBrakeBits

inline constexpr int kAnnouncementChannels = 5;

struct Supervision {
    std::uint8_t brakeDemand = 0; // any bit forces the emergency notch

    Vigilance vigilance;

    std::uint8_t plusBrakeState = 0;
    std::int32_t plusBrakeNotch = 0; // notch output while the pressure-increase brake acts

    std::int32_t speedCheckLimit[kSpeedCheckCodes] = {}; // km/h per cabSignalCode
    std::int32_t speedCheckState = 0;                    // 0 within the limit .. 3 emergency
    SpeedCheck speedCheck;

    SlipCheck slip;

    // Host sound commands; silent until a beacon calls one.
    std::int32_t announcement[kAnnouncementChannels] = {kSoundStop, kSoundStop, kSoundStop,
                                                        kSoundStop, kSoundStop};
};

// Limits per aspect code: -5 means stop (never reachable), 0 no running.
inline void FillSpeedCheckLimits(Supervision& supervision) {
    constexpr std::int32_t kLow[8] = {-5, 0, 25, 40, 55, 65, 75, -5};
    for (int i = 0; i < 8; ++i)
        supervision.speedCheckLimit[i] = kLow[i];
    for (int i = 8; i < kSpeedCheckCodes; ++i)
        supervision.speedCheckLimit[i] = 40 + 5 * i;
}

} // namespace velqa3
