// The cab's sounds: bells, buzzers, chimes, door and exhaust sounds, written once a frame as
// the last output stage into the host's sound array through the sound remap table.
#pragma once

#include "config/settings.h"
#include "host/frame.h"
#include "vehicle/output_slots.h"
#include "vehicle/supervision.h"

#include <cstdint>

namespace velqa3 {

// State the sound stage keeps between frames; the reset key and the brake demands touch it too.
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

// The five announcement channels, which stop beacons call and opening the doors silences.
// A called channel (play once, 1) becomes 0 before the sound stage writes it: the host plays
// the announcement in a loop until the doors open and silence it.
void SettleAnnouncements(std::int32_t (&announcement)[kAnnouncementChannels]);

// Type 8: the train stops at the station ahead, and announcement channel Optional mod 5 is
// called. A negative Optional names no channel; the beacon is then ignored.
void StopStationBeacon(bool& stopStation, std::int32_t (&announcement)[kAnnouncementChannels],
                       std::int32_t optional);

// What the sounds follow, gathered by the frame driver.
struct SoundInputs {
    // The spot protection's bell and chime, host sound commands.
    std::int32_t bellSound = kSoundStop;
    std::int32_t chimeSound = kSoundStop;

    // The pattern protection.
    std::int32_t bellOut = 0; // 1 first bell, 3 second bell
    float patternSpd = 0.0f;
    std::int32_t noPatternSpd = 160;
    std::uint8_t atsMode = 0;
    std::uint8_t cabSwitches = 0;

    // Supervision.
    std::uint8_t brakeDemand = 0;
    std::int32_t vigilanceBuzzer = kSoundStop;
    std::int32_t speedCheckBell = kSoundContinue;
    const std::int32_t* announcement = nullptr; // kAnnouncementChannels commands

    // The cab.
    std::uint8_t oneManDoors = 0;
    std::uint8_t previousOneManDoors = 0;
    bool ebnfbSwitch = true;
    bool recordSwitch = false;
    std::int8_t masterKeyPosition = 0;
    std::int32_t reverserHandle = 0;
    std::int32_t brakeHandle = 0;
    bool key11Held = false;
    bool key15Held = false;
    // Set by releasing key 13 with the brake released; the exhaust consumes it.
    bool* brakeReleasedOnKey13Up = nullptr;

    // This frame's handle commands.
    std::int32_t brakeOutput = 0;
    std::int32_t powerOutput = 0;
    std::int32_t emergencyNotch = 0;

    // The line and brake-cylinder model.
    std::int32_t lineVoltage = 0;
    std::int32_t lastHighVoltageTime = 0; // ms of the day the line was last above EGBStart
    std::int32_t atsTestTimer = 0;
    bool bcReleasing = false;
    bool bcReleasingLowSpeed = false;
};

// Writes every sound slot of this frame into sound (256 entries) at remap[slot], in slot order.
// Several slots read their own last command back, so a sound started once is continued.
void WriteSound(SoundState& state, const SoundInputs& in, const FrameValues& frame,
                const Settings& settings, const std::uint8_t (&remap)[kSlotCount],
                std::int32_t* sound);

} // namespace velqa3
