#include "sim/plugin_library.h"

namespace velqa3::sim {

namespace {

template <typename Fn>
bool Resolve(platform::Library library, const char* name, Fn& out, std::string& missing) {
    out = reinterpret_cast<Fn>(platform::ResolveEntry(library, name));
    if (out == nullptr) missing += missing.empty() ? name : std::string(", ") + name;
    return out != nullptr;
}

} // namespace

bool PluginLibrary::Open(const std::string& path, std::string& error) {
    Close();
    handle = platform::OpenLibrary(path.c_str());
    if (handle == nullptr) {
        char reason[512];
        platform::LibraryError(reason, sizeof reason);
        std::string why = reason;
        // The loader puts the path in front of its reason; the path is said once already.
        if (why.rfind(path + ": ", 0) == 0) why.erase(0, path.size() + 2);
        error = "cannot load the plug-in " + path + (why.empty() ? "" : ": " + why);
        return false;
    }
    std::string missing;
    Resolve(handle, "Load", api.Load, missing);
    Resolve(handle, "Dispose", api.Dispose, missing);
    Resolve(handle, "GetPluginVersion", api.GetPluginVersion, missing);
    Resolve(handle, "SetVehicleSpec", api.SetVehicleSpec, missing);
    Resolve(handle, "Initialize", api.Initialize, missing);
    Resolve(handle, "Elapse", api.Elapse, missing);
    Resolve(handle, "SetPower", api.SetPower, missing);
    Resolve(handle, "SetBrake", api.SetBrake, missing);
    Resolve(handle, "SetReverser", api.SetReverser, missing);
    Resolve(handle, "KeyDown", api.KeyDown, missing);
    Resolve(handle, "KeyUp", api.KeyUp, missing);
    Resolve(handle, "HornBlow", api.HornBlow, missing);
    Resolve(handle, "DoorOpen", api.DoorOpen, missing);
    Resolve(handle, "DoorClose", api.DoorClose, missing);
    Resolve(handle, "SetSignal", api.SetSignal, missing);
    Resolve(handle, "SetBeaconData", api.SetBeaconData, missing);
    if (!missing.empty()) {
        error = "cannot load the plug-in " + path + ": it lacks the entry points " + missing;
        Close();
        return false;
    }
    api.SetKeyboardState =
        reinterpret_cast<SetKeyboardStateFn>(platform::ResolveEntry(handle, "SetKeyboardState"));
    api.GetDiagnostics =
        reinterpret_cast<GetDiagnosticsFn>(platform::ResolveEntry(handle, "GetDiagnostics"));
    api.SetCalendarTime =
        reinterpret_cast<SetCalendarTimeFn>(platform::ResolveEntry(handle, "SetCalendarTime"));
    return true;
}

void PluginLibrary::Close() {
    if (handle != nullptr) platform::CloseLibrary(handle);
    handle = nullptr;
    api = EntryPoints{};
}

} // namespace velqa3::sim
