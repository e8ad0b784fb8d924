// The cab panel: lamps, digits, needles and selector positions written once a frame, after the
// handle commands are decided, into the host's panel array through the panel remap table.
#pragma once

#include "config/settings.h"
#include "host/frame.h"
#include "host/mode.h"
#include "vehicle/cab_keys.h"
#include "vehicle/output_slots.h"
#include "vehicle/panel_channels.h"
#include "vehicle/platform_doors.h"
#include "vehicle/plus_brake.h"
#include "vehicle/station_approach.h"
#include "vehicle/tasc.h"

#include <cstdint>

namespace velqa3 {

// Timers of panel lamps that blink for a while after an event.
struct PanelTimers {
    // ms the spot-protection lamp of the [DC25] cab keeps blinking after leaving pattern
    // territory
    std::int32_t dc25BlinkTimer = 0;
};

// What the panel shows, gathered by the frame driver from the protections, the driving aids
// and the cab.
struct PanelInputs {
    // The driver's side.
    std::int8_t masterKeyPosition = 0; // 0..3; in 2 the key is on
    bool masterKeyIn = false;
    std::int32_t reverserHandle = 0;
    std::int32_t powerHandle = 0;
    std::int8_t holdBrakeKey = 0;
    bool key0Held = false;
    bool doorsClosed = false;
    std::int32_t doorCounter = 0;
    bool constantSpeedArmed = false;

    // This frame's handle commands and the train's notches.
    std::int32_t brakeOutput = 0;
    std::int32_t powerOutput = 0;
    std::int32_t displayedBrakeNotch = 0;
    std::int32_t emergencyNotch = 0;
    std::int32_t powerNotches = 0;
    std::int32_t cars = 0;

    // The spot protection.
    std::int32_t normalLamp = 0;
    std::int32_t alarmLamp = 0;
    std::uint8_t pairArmed = 0;
    std::uint8_t overspeed = 0;

    // The pattern protection.
    float patternSpd = 0.0f;
    std::int32_t state = 0;
    std::int32_t brakeLamp = 0;
    std::int32_t resetReady = 0;
    std::int32_t releaseLamp = 0;
    std::uint8_t nsdLamp = 0;

    // Supervision.
    std::uint8_t brakeDemand = 0;
    bool vigilanceWarning = false;
    std::uint8_t plusBrakeState = 0;
    std::int32_t speedCheckState = 0;

    // The line and brake-cylinder model.
    std::int32_t lineVoltage = 0;
    std::int32_t atsTestTimer = 0;
    float bcDisplay = 0.0f; // kPa

    // Polled cab keys and the run record.
    float hornReservoir = 0.0f; // kPa, the main reservoir less what the horn took
    std::int32_t curtain = 0;   // 0..100
    bool recordSwitch = false;
    bool recordLineWritten = false;
};

// The aids' and cab's own records the panel reads as they stand.
struct PanelSources {
    const ModeGlobals& mode;
    const CabKeys& cabKeys;
    const TascState& tasc;
    const PlatformDoorState& platformDoors;
    const StationApproach& stationApproach;
    const DisplayChannels& display;
    const BeaconValues& beaconValues;
};

// Writes every panel slot of this frame into panel (256 entries) at remap[slot]. Slots with a
// condition of their own keep the host's value while it is false. The blink timer of the
// spot-protection lamp counts down here; routes follow the remap table.
void WritePanel(const PanelInputs& in, const PanelSources& from, const FrameValues& frame,
                const Settings& settings, const std::uint8_t (&remap)[kSlotCount],
                PanelTimers& timers, SlotRoutes& routes, std::int32_t* panel);

// The platform-door lamp: lit near a platform with doors, steadily or, in the second variant,
// blinking once a second while the doors stand open.
bool PlatformDoorLamp(const PlatformDoorState& doors, float speed, std::int32_t time);

} // namespace velqa3
