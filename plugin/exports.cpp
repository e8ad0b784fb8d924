// The entry points the host calls, each forwarding to the one plug-in instance of the library.
#include "platform/library_entry.h"
#include "platform/platform.h"
#include "plugin/diagnostics.h"
#include "plugin/plugin.h"

#if defined(_WIN32)
#define VELQA3_EXPORT extern "C" __declspec(dllexport)
#else
#define VELQA3_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace velqa3 {

namespace {
// Initialised at compile time, so it exists before any entry point of the library runs.
constinit Plugin module;
} // namespace

void OnLibraryAttach() {
    char path[platform::kMaxPath];
    platform::ModulePath(path, sizeof path);
    module.Attach(path);
}

void OnLibraryDetach(bool processExiting) {
    // At process exit the libraries the plug-in holds may already be finalised; the operating
    // system reclaims the rest.
    if (!processExiting) module.Release();
}

} // namespace velqa3

using velqa3::module;

VELQA3_EXPORT void VELQA3_CALL Load() {
    module.Load();
}
VELQA3_EXPORT void VELQA3_CALL Dispose() {
    module.Dispose();
}
VELQA3_EXPORT std::int32_t VELQA3_CALL GetPluginVersion() {
    return velqa3::kPluginVersion;
}
VELQA3_EXPORT void VELQA3_CALL SetVehicleSpec(velqa3::VehicleSpec spec) {
    module.SetVehicleSpec(spec);
}
VELQA3_EXPORT void VELQA3_CALL Initialize(std::int32_t brakePosition) {
    module.Initialize(brakePosition);
}
VELQA3_EXPORT velqa3::HandleOutput VELQA3_CALL Elapse(velqa3::VehicleState state,
                                                      std::int32_t* panel, std::int32_t* sound) {
    return module.Elapse(state, panel, sound);
}
VELQA3_EXPORT void VELQA3_CALL SetPower(std::int32_t notch) {
    module.SetPower(notch);
}
VELQA3_EXPORT void VELQA3_CALL SetBrake(std::int32_t notch) {
    module.SetBrake(notch);
}
VELQA3_EXPORT void VELQA3_CALL SetReverser(std::int32_t position) {
    module.SetReverser(position);
}
VELQA3_EXPORT void VELQA3_CALL KeyDown(std::int32_t key) {
    module.KeyDown(key);
}
VELQA3_EXPORT void VELQA3_CALL KeyUp(std::int32_t key) {
    module.KeyUp(key);
}
VELQA3_EXPORT void VELQA3_CALL HornBlow(std::int32_t type) {
    module.HornBlow(type);
}
VELQA3_EXPORT void VELQA3_CALL DoorOpen() {
    module.DoorsOpened(true);
}
VELQA3_EXPORT void VELQA3_CALL DoorClose() {
    module.DoorsClosed(true);
}
VELQA3_EXPORT void VELQA3_CALL SetSignal(std::int32_t aspect) {
    module.SetSignal(aspect);
}
VELQA3_EXPORT void VELQA3_CALL SetBeaconData(velqa3::BeaconData beacon) {
    module.SetBeaconData(beacon);
}

#if !defined(_WIN32)
// Linux has no keyboard state to poll, so the host hands it over.
VELQA3_EXPORT void VELQA3_CALL SetKeyboardState(const unsigned char state[256]) {
    velqa3::platform::SetKeyboardState(state);
}
#endif

#if VELQA3_DIAGNOSTICS
// For the stand-in host only: the shipping library is built without these two, so the
// simulator sees exactly its sixteen entry points.
VELQA3_EXPORT std::int32_t VELQA3_CALL GetDiagnostics(velqa3::Diagnostics* out) {
    if (out == nullptr) return velqa3::kDiagnosticsRefused;
    return velqa3::ReadDiagnostics(module, *out);
}
// The line voltage wanders from a seed that takes in the calendar time; a scripted run that
// is to be compared with another needs the host's calendar, not the wall clock's.
VELQA3_EXPORT void VELQA3_CALL SetCalendarTime(std::int64_t seconds) {
    velqa3::platform::PinCalendarTime(seconds);
}
#endif
