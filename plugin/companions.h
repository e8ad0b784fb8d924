// The two companion plug-ins the plug-in can host beside itself: the hybrid-drive companion
// Norvelid and the time-signal companion Tameo. The host loads one train-protection plug-in, so
// this one passes some of the host's calls on to them.
#pragma once

#include "host/host.h"
#include "platform/platform.h"

#include <cstdint>

namespace velqa3 {

namespace CompanionBits {
inline constexpr std::uint8_t Norvelid = 0x01;
inline constexpr std::uint8_t Tameo = 0x02;
} // namespace CompanionBits

// One companion library and its entry points; an entry point the library lacks stays null and
// is never called. Nothing is loaded while library is null.
struct Companion {
    platform::Library library = nullptr;
    LoadFn load = nullptr;
    DisposeFn dispose = nullptr;
    SetVehicleSpecFn setVehicleSpec = nullptr;
    InitializeFn initialize = nullptr;
    ElapseFn elapse = nullptr;
    IntInputFn keyDown = nullptr; // resolved, but no key ever reaches a companion
    IntInputFn keyUp = nullptr;
};

struct Companions {
    Companion norvelid;
    Companion tameo;
};

// At attach: loads each companion the settings enable (bits of CompanionBits) from the plug-in's
// own folder. A missing Norvelid is reported once; a missing Tameo is not.
void LoadCompanions(Companions& companions, std::uint8_t enabled, const char* modulePath);

// The host's calls that reach a companion; each does nothing for one that is not loaded.
void CompanionLoad(const Companion& companion);
void CompanionSetVehicleSpec(const Companion& companion, const VehicleSpec& spec);
void CompanionInitialize(const Companion& companion, std::int32_t brakePosition);
// Its result is dropped: a companion never decides the handles.
void CompanionElapse(const Companion& companion, const VehicleState& state, std::int32_t* panel,
                     std::int32_t* sound);

// At Dispose: each loaded companion's Dispose, then its library unloaded, Norvelid first. A
// second call finds nothing loaded.
void UnloadCompanions(Companions& companions);

} // namespace velqa3
