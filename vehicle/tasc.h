// Automatic train stopping and the platform-door interlock.
#pragma once

#include <cstdint>

namespace velqa3 {

struct TascState {
    std::uint8_t mode = 0; // stopping pattern 1..3, 0 when none is configured
    bool braking = false;
    bool targetSet = false;
    bool onMark = false;
    bool rain = false;
    bool switchedOn = false;
    bool installed = false;
    float stopDistance = 0.0f; // m to the stop point
    std::int32_t step = 0;
    std::int32_t brakeCommand = 0; // notch offered to the handle arbitration, 0 for none
    // Brake steps of the TASC command scale: at least the service notches, one fewer when
    // notch 1 holds the train.
    std::int32_t notchSteps = 0;
};

namespace PlatformDoorBits {
inline constexpr std::uint8_t DoorsFitted = 0x01;
inline constexpr std::uint8_t DoorsLinked = 0x02;
inline constexpr std::uint8_t Open = 0x04;
inline constexpr std::uint8_t Closing = 0x08;
inline constexpr std::uint8_t CloseRequested = 0x10;
inline constexpr std::uint8_t StationArmed = 0x20;
inline constexpr std::uint8_t AtPlatform = 0x40;
} // namespace PlatformDoorBits

struct PlatformDoorState {
    std::uint8_t flags = 0;
    std::int32_t closeTime = 0; // ms of the day the platform doors finish closing; -1 none
    std::uint8_t lampVariant = 0;
};

} // namespace velqa3
