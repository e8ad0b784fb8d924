// A plug-in for testing the host: it logs every call it receives, in order, to probe.log
// beside itself, passes the driver's notches through, and brakes to the emergency notch from a
// beacon of type 99 until host key 0 resets it. The horn makes it show a message.
// VELQA3_PROBE_FAULT makes it misbehave as a broken plug-in or companion would:
// "crash:MS" crashes in the Elapse MS ms of clock after the first, "exit:CODE" calls exit(CODE)
// as it is loaded, "elapse-exit:CODE" in its first Elapse.
#include "host/host.h"
#include "platform/platform.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::FILE* logFile = nullptr;
std::int32_t emergency = 0, power = 0, brake = 0, reverser = 0;
bool latched = false;

void Log(const char* format, ...) {
    if (logFile == nullptr) {
        char path[velqa3::platform::kMaxPath + 16];
        velqa3::platform::ModulePath(path, velqa3::platform::kMaxPath);
        char* slash = std::strrchr(path, '/');
        if (char* back = std::strrchr(path, '\\'); back > slash) slash = back;
        std::strcpy(slash != nullptr ? slash + 1 : path, "probe.log");
        logFile = std::fopen(path, "w");
        if (logFile == nullptr) return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(logFile, format, args);
    va_end(args);
    std::fputc('\n', logFile);
    std::fflush(logFile);
}

long Fault(const char* name) {
    const char* fault = std::getenv("VELQA3_PROBE_FAULT");
    const std::size_t length = std::strlen(name);
    if (fault == nullptr || std::strncmp(fault, name, length) != 0 || fault[length] != ':')
        return -1;
    return std::strtol(fault + length + 1, nullptr, 10);
}

const struct ExitOnLoad {
    ExitOnLoad() {
        if (const long code = Fault("exit"); code >= 0) std::exit(static_cast<int>(code));
    }
} exitOnLoad;

std::int32_t firstTime = -1;
// Not null: a sanitizer would report a null pointer before the fault could happen.
volatile std::uintptr_t nowhere = 64;

} // namespace

#if defined(_WIN32)
#define PROBE_EXPORT extern "C" __declspec(dllexport)
#else
#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

PROBE_EXPORT void Load() {
    Log("Load");
}
PROBE_EXPORT void Dispose() {
    Log("Dispose");
}
PROBE_EXPORT std::int32_t GetPluginVersion() {
    Log("GetPluginVersion");
    return velqa3::kPluginVersion;
}
PROBE_EXPORT void SetVehicleSpec(velqa3::VehicleSpec spec) {
    emergency = spec.BrakeNotches + 1;
    Log("SetVehicleSpec %d %d %d %d %d", spec.BrakeNotches, spec.PowerNotches, spec.AtsNotch,
        spec.B67Notch, spec.Cars);
}
PROBE_EXPORT void Initialize(std::int32_t position) {
    Log("Initialize %d", position);
}
PROBE_EXPORT velqa3::HandleOutput Elapse(velqa3::VehicleState state, std::int32_t* panel,
                                         std::int32_t* sound) {
    Log("Elapse %d %.3f %.3f %d", state.Time, state.Location, static_cast<double>(state.Speed),
        panel[velqa3::kSuspendPanelIndex]);
    if (firstTime < 0) firstTime = state.Time;
    if (const long at = Fault("crash"); at >= 0 && state.Time - firstTime >= at)
        *reinterpret_cast<volatile int*>(nowhere) = 1;
    if (const long code = Fault("elapse-exit"); code >= 0) std::exit(static_cast<int>(code));
    panel[10] = 80;
    panel[11] = latched ? 1 : 0;
    sound[5] = latched ? velqa3::kSoundPlayOnce : velqa3::kSoundContinue;
    if (latched) return velqa3::HandleOutput{emergency, 0, reverser, 0};
    return velqa3::HandleOutput{brake, power, reverser, 0};
}
PROBE_EXPORT void SetPower(std::int32_t notch) {
    power = notch;
    Log("SetPower %d", notch);
}
PROBE_EXPORT void SetBrake(std::int32_t notch) {
    brake = notch;
    Log("SetBrake %d", notch);
}
PROBE_EXPORT void SetReverser(std::int32_t position) {
    reverser = position;
    Log("SetReverser %d", position);
}
PROBE_EXPORT void KeyDown(std::int32_t key) {
    if (key == 0) latched = false;
    Log("KeyDown %d", key);
}
PROBE_EXPORT void KeyUp(std::int32_t key) {
    Log("KeyUp %d", key);
}
PROBE_EXPORT void HornBlow(std::int32_t type) {
    Log("HornBlow %d", type);
    std::fprintf(stderr, "probe horn: type %d\n", type);
    std::fflush(stderr);
}
PROBE_EXPORT void DoorOpen() {
    Log("DoorOpen");
}
PROBE_EXPORT void DoorClose() {
    Log("DoorClose");
}
PROBE_EXPORT void SetSignal(std::int32_t aspect) {
    Log("SetSignal %d", aspect);
}
PROBE_EXPORT void SetBeaconData(velqa3::BeaconData beacon) {
    if (beacon.Type == 99) latched = true;
    Log("SetBeaconData %d %d %.1f %d", beacon.Type, beacon.Signal,
        static_cast<double>(beacon.Distance), beacon.Optional);
}
PROBE_EXPORT void SetKeyboardState(const unsigned char state[256]) {
    char down[256 * 4 + 1] = "";
    std::size_t used = 0;
    for (int code = 0; code < 256; ++code)
        if ((state[code] & 0x80) != 0)
            used += static_cast<std::size_t>(
                std::snprintf(down + used, sizeof down - used, " %d", code));
    Log("SetKeyboardState%s", down);
}
