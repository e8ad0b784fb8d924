// Reads any bytes as a settings file, then checks that every value the other subsystems rely
// on stayed inside the range its rule promises and that no text ran past its field.
#include "config/settings_reader.h"
#include "host/host.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

bool Terminated(const char* field, std::size_t size) {
    return std::memchr(field, '\0', size) != nullptr;
}

struct Everything {
    velqa3::Settings settings;
    velqa3::KeyTables keys;
    velqa3::RemapTables remap;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto all = std::make_unique<Everything>();
    velqa3::ResetKeyTables(all->keys);
    velqa3::SettingsHooks hooks;
    hooks.maxSpeed = [](void*, std::int32_t kmh) { Require(kmh >= 10); };
    hooks.masterKeyStartup = [](void*, const velqa3::Settings& soFar) {
        Require((soFar.masterKeyFlags & 0x10) == 0 && soFar.masterKeyPosition == 2);
    };
    const velqa3::SettingsTargets targets{all->settings, all->keys, all->remap, hooks};
    velqa3::ReadSettingsText(reinterpret_cast<const char*>(data), size, targets);
    velqa3::CheckKeyTable(all->keys);

    const velqa3::Settings& s = all->settings;
    Require(s.snowBrake >= 0 && s.snowBrake <= 999);
    Require(s.emgBrake == 0 || s.emgBrake == 1 || s.emgBrake == 3);
    Require(s.osrMode <= 2 && s.kiroku <= 3 && s.companions <= 3 && s.tascMode <= 3);
    Require(s.tascDeceleration >= 0.0f && s.tascDeceleration <= 10.0f);
    Require(s.tascNotch > -100 && s.tascNotch < 100 && s.pdClose >= 0);
    Require(s.egbStart >= 0 && s.abStart >= 0 && s.egbEnd >= 0 && s.currentK >= 0.0f);
    Require(s.pbStart >= 10.0f && s.pbEnd > 0.0f);
    for (const float pressure : s.tPriorityB)
        Require(pressure == 0.0f || pressure >= 10.0f);
    Require(s.port >= 49152 && s.castPort >= 49152);
    Require(Terminated(s.host, sizeof s.host) && Terminated(s.castHost, sizeof s.castHost));
    Require(std::memchr(s.host, '\n', std::strlen(s.host)) == nullptr);

    for (const std::int32_t code : all->keys.assign)
        Require(code >= 0 && code <= 255);
    for (int slot = 0; slot < 255; ++slot) {
        Require(all->remap.panel[slot] != 255 && all->remap.sound[slot] != 255);
        Require(slot == velqa3::kSuspendPanelIndex || all->remap.panel[slot] != velqa3::kSuspendPanelIndex);
    }
    Require(all->remap.panel[velqa3::kSuspendPanelIndex] == velqa3::kSuspendPanelIndex);
    return 0;
}
