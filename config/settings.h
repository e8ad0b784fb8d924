// Values of the settings file with their compiled-in defaults. Every subsystem reads them from
// here; only the settings reader writes them. Some keys only seed state that another subsystem
// owns and changes at run time (the seeds below); the attach step hands those over after the
// file has been read.
#pragma once

#include <cstdint>

namespace velqa3 {

inline constexpr int kHostTextSize = 52; // 51 characters and the terminator

struct Settings {
    // [TRAIN]
    std::int32_t defaultLineCode = 4;         // Default: lineCode at start
    std::uint8_t plusBrakeConfigured = 0;     // PlusBrake: only ever set
    std::uint8_t plusBrakeEmergencyBoost = 0; // PlusEB: only ever set
    std::uint8_t holdBrake = 0;               // handle notch 1 is a holding notch
    std::int32_t snowBrake = 0;               // kPa, 0..999
    float length = 0.0f;                      // m; 0 means cars x 20 m
    std::int8_t emgBrake = 0;                 // vigilance mode 0, 1 or 3
    std::uint8_t osrMode = 0;                 // overspeed relay mode of the spot protection
    std::int32_t horn = 0;                    // kPa drawn from the main reservoir by the horn
    float offset = 0.0f;                      // m added to the distance of some beacons
    std::uint8_t masterKeyFlags = 0x41; // MKey: bit 7 key mode, 6, 4 key configured, 0 inserted
    std::int8_t masterKeyPosition = 2;

    // [EXTRA]
    std::uint8_t oneManDoors = 0; // Oneman: 0x84 (fitted, closed) or nothing
    float currentK = 1.0f;
    std::uint8_t kiroku = 0;     // run record mode 0..3
    std::uint8_t companions = 0; // bit 0 Hybrid (Norvelid), bit 1 Tameo
    std::uint8_t powerDownMode1 = 0;
    std::uint8_t powerDownMode2 = 0;
    std::int32_t powerDownV = 2000;
    std::uint8_t brakeDownMode = 0;
    std::int32_t brakeDownV = 0;

    // [TASC]
    std::uint8_t tascInstalled = 0; // Use=1 sets Installed and SwitchedOn
    std::uint8_t tascSwitchedOn = 0;
    float tascDeceleration = 2.8f / 3.6f; // Accelaration, stored in m/s^2
    std::int32_t tascNotch = 2;           // notch scale of the TASC brake command
    std::uint8_t tascMode = 0;            // mode bits 1..3, only ever OR-ed in
    std::uint8_t platformDoorsFitted = 0;
    std::uint8_t platformDoorsLinked = 0;
    std::uint8_t platformDoorLampVariant = 0;
    std::int32_t pdClose = 0; // ms from the doors closing to the platform doors closing

    // [MEITETSU]
    std::uint8_t prr = 0; // repeat the call sound

    // [JRC313]
    std::uint8_t tPriorityModel = 0; // 2 once the section is present, 1 with T-PriorityStart
    std::uint8_t leverBits = 0;      // bit 0 PTMode, bit 1 OneLever
    std::int32_t egbStart = 1730;    // V
    std::int32_t abStart = 1800;     // V
    std::int32_t egbEnd = 1900;      // V
    std::uint8_t constant = 0;       // constant-speed type: 1 = 45 km/h, 2 = 60 km/h
    float pbStart = 100.0f;          // km/h
    float pbEnd = 40.0f;             // km/h
    float tPriorityStart = 0.0f;     // km/h
    std::int32_t tPriorityCur = 1000;
    float tPriorityMid = 5.0f;
    float tPriorityB[7] = {}; // kPa for brake notches 2..8
    std::int32_t applySpeed = 200;
    std::int32_t releaseSpeed = 200;
    std::uint8_t ebDown = 0; // step down to notch 2 after an emergency

    // [DC25]
    std::uint8_t dc25Configured = 0; // any non-zero Mode; never cleared by the reader
    std::uint8_t dc25Mode = 0;       // 1 or 2

    // [PANEL]
    std::uint8_t station = 0; // station display mode 0..3
    std::uint8_t carNumber = 0;
    float unit2EgbEnd = 0.0f;
    std::int32_t unit2KasenV = 0;
    float unit3EgbEnd = 0.0f;
    std::int32_t unit3KasenV = 0;

    // [SENDDATA]
    std::uint8_t sendMode = 0; // status sender on
    std::uint16_t port = 49200;
    char host[kHostTextSize] = "127.0.0.1";
    std::uint8_t castMode = 0; // stop sender on
    std::uint16_t castPort = 49200;
    char castHost[kHostTextSize] = "127.0.0.1";

    bool operator==(const Settings&) const = default;
};

} // namespace velqa3
