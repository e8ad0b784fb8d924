// The records and entry points the simulator exchanges with a train-protection plug-in.
// The host reads these layouts byte for byte, so they must not change shape.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VELQA3_CALL __stdcall
#else
#define VELQA3_CALL
#endif

namespace velqa3 {

// Interface version 2.0 of the host.
inline constexpr std::int32_t kPluginVersion = 0x00020000;

inline constexpr int kPanelSize = 256;
inline constexpr int kSoundSize = 256;
// Panel entry the host sets to suspend the plug-in for a frame; an input, never written.
inline constexpr int kSuspendPanelIndex = 199;

// Sound command values of the host.
inline constexpr std::int32_t kSoundStop = -10000;
inline constexpr std::int32_t kSoundPlayOnce = 1;
inline constexpr std::int32_t kSoundContinue = 2;
inline constexpr std::int32_t kSoundLoop = 0;

struct VehicleSpec {
    std::int32_t BrakeNotches;
    std::int32_t PowerNotches;
    std::int32_t AtsNotch;
    std::int32_t B67Notch;
    std::int32_t Cars;
};

struct VehicleState {
    double Location;   // m
    float Speed;       // km/h
    std::int32_t Time; // ms since midnight
    float BcPressure;  // kPa
    float MrPressure;
    float ErPressure;
    float BpPressure;
    float SapPressure;
    float Current; // A, negative while regenerating
};

struct BeaconData {
    std::int32_t Type;
    std::int32_t Signal;
    float Distance;
    std::int32_t Optional;
};

struct HandleOutput {
    std::int32_t Brake;
    std::int32_t Power;
    std::int32_t Reverser;
    std::int32_t ConstantSpeed; // 0 continue, 1 enable, 2 disable
};

inline constexpr std::int32_t kConstantSpeedContinue = 0;
inline constexpr std::int32_t kConstantSpeedEnable = 1;
inline constexpr std::int32_t kConstantSpeedDisable = 2;

inline bool operator==(const HandleOutput& a, const HandleOutput& b) {
    return a.Brake == b.Brake && a.Power == b.Power && a.Reverser == b.Reverser &&
           a.ConstantSpeed == b.ConstantSpeed;
}

static_assert(sizeof(VehicleSpec) == 20);
static_assert(sizeof(VehicleState) == 40);
static_assert(sizeof(BeaconData) == 16);
static_assert(sizeof(HandleOutput) == 16);

// Entry-point types, for hosts (the stand-in simulator, tests) that resolve them by name.
using LoadFn = void(VELQA3_CALL*)();
using DisposeFn = void(VELQA3_CALL*)();
using GetPluginVersionFn = std::int32_t(VELQA3_CALL*)();
using SetVehicleSpecFn = void(VELQA3_CALL*)(VehicleSpec);
using InitializeFn = void(VELQA3_CALL*)(std::int32_t);
using ElapseFn = HandleOutput(VELQA3_CALL*)(VehicleState, std::int32_t*, std::int32_t*);
using IntInputFn = void(VELQA3_CALL*)(std::int32_t);
using VoidInputFn = void(VELQA3_CALL*)();
using SetBeaconDataFn = void(VELQA3_CALL*)(BeaconData);
using SetKeyboardStateFn = void(VELQA3_CALL*)(const unsigned char*);

} // namespace velqa3
