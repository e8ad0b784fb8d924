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
        error = "cannot load plug-in library " + path;
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
        error = "plug-in library " + path + " lacks the entry points " + missing;
        Close();
        return false;
    }
    api.SetKeyboardState =
        reinterpret_cast<SetKeyboardStateFn>(platform::ResolveEntry(handle, "SetKeyboardState"));
    return true;
}

void PluginLibrary::Close() {
    if (handle != nullptr) platform::CloseLibrary(handle);
    handle = nullptr;
    api = EntryPoints{};
}

} // namespace velqa3::sim
