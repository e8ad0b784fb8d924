// A plug-in library loaded by path, with its entry points resolved by name as the simulator
// resolves them.
#pragma once

#include "host/diagnostics.h"
#include "host/host.h"
#include "platform/platform.h"

#include <string>

namespace velqa3::sim {

struct PluginLibrary {
    // The entry points, all null while nothing is loaded.
    struct EntryPoints {
        LoadFn Load = nullptr;
        DisposeFn Dispose = nullptr;
        GetPluginVersionFn GetPluginVersion = nullptr;
        SetVehicleSpecFn SetVehicleSpec = nullptr;
        InitializeFn Initialize = nullptr;
        ElapseFn Elapse = nullptr;
        IntInputFn SetPower = nullptr;
        IntInputFn SetBrake = nullptr;
        IntInputFn SetReverser = nullptr;
        IntInputFn KeyDown = nullptr;
        IntInputFn KeyUp = nullptr;
        IntInputFn HornBlow = nullptr;
        VoidInputFn DoorOpen = nullptr;
        VoidInputFn DoorClose = nullptr;
        IntInputFn SetSignal = nullptr;
        SetBeaconDataFn SetBeaconData = nullptr;
        // Only the native build has it; null elsewhere.
        SetKeyboardStateFn SetKeyboardState = nullptr;
        // Only builds for the stand-in host have these; never the shipping library.
        GetDiagnosticsFn GetDiagnostics = nullptr;
        SetCalendarTimeFn SetCalendarTime = nullptr;
    };

    platform::Library handle = nullptr;
    EntryPoints api;

    PluginLibrary() = default;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    ~PluginLibrary() { Close(); }

    // Loads the library (which runs its attach work) and resolves the sixteen entry points.
    // On failure nothing stays loaded and error says why.
    bool Open(const std::string& path, std::string& error);
    // Unloads the library (its detach work runs); the host calls Dispose before.
    void Close();
};

} // namespace velqa3::sim
