// A companion plug-in for the tests: it appends every call it gets to companions.log beside
// itself, prefixed with its own file name, and its Elapse writes every panel and sound entry
// (but the suspension entry) with a value of its own. Built without RECORDING_FULL it has only
// Elapse, as a companion that lacks entry points.
#include "host/host.h"
#include "platform/platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

char name[64] = "?";

void Log(const char* format, ...) {
    char path[velqa3::platform::kMaxPath + 32];
    if (velqa3::platform::ModulePath(path, velqa3::platform::kMaxPath) == 0) return;
    char* slash = std::strrchr(path, '/');
    if (char* back = std::strrchr(path, '\\'); back > slash) slash = back;
    char* file = slash != nullptr ? slash + 1 : path;
    std::snprintf(name, sizeof name, "%.40s", file);
    if (char* dot = std::strrchr(name, '.')) *dot = '\0';
    std::strcpy(file, "companions.log");
    std::FILE* log = std::fopen(path, "a");
    if (log == nullptr) return;
    std::fprintf(log, "%s ", name);
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
    std::fputc('\n', log);
    std::fclose(log);
}

} // namespace

#if defined(_WIN32)
#define COMPANION_EXPORT extern "C" __declspec(dllexport)
#else
#define COMPANION_EXPORT extern "C" __attribute__((visibility("default")))
#endif

COMPANION_EXPORT velqa3::HandleOutput VELQA3_CALL Elapse(velqa3::VehicleState state,
                                                         std::int32_t* panel, std::int32_t* sound) {
    Log("Elapse %d", state.Time);
    const std::int32_t mark = name[0] == 'N' ? 7 : 8;
    for (int i = 0; i < velqa3::kPanelSize; ++i)
        if (i != velqa3::kSuspendPanelIndex) panel[i] = mark;
    for (int i = 0; i < velqa3::kSoundSize; ++i)
        sound[i] = mark;
    // Handles a companion may never decide.
    return velqa3::HandleOutput{99, 99, 99, 1};
}

#if defined(RECORDING_FULL)
COMPANION_EXPORT void VELQA3_CALL Load() {
    Log("Load");
}
COMPANION_EXPORT void VELQA3_CALL Dispose() {
    Log("Dispose");
}
COMPANION_EXPORT void VELQA3_CALL SetVehicleSpec(velqa3::VehicleSpec spec) {
    Log("SetVehicleSpec %d %d %d %d %d", spec.BrakeNotches, spec.PowerNotches, spec.AtsNotch,
        spec.B67Notch, spec.Cars);
}
COMPANION_EXPORT void VELQA3_CALL Initialize(std::int32_t position) {
    Log("Initialize %d", position);
}
COMPANION_EXPORT void VELQA3_CALL KeyDown(std::int32_t key) {
    Log("KeyDown %d", key);
}
COMPANION_EXPORT void VELQA3_CALL KeyUp(std::int32_t key) {
    Log("KeyUp %d", key);
}
#endif
