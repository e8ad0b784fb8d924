// Reads any bytes as a settings file, then checks that every value the other subsystems rely
// on stayed inside the range its rule promises, that no text ran past its field, and that every
// message the plug-in would show is one of the reader's.
#include "config/settings_reader.h"
#include "fuzz/fuzz_input.h"
#include "host/host.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

bool Terminated(const char* field, std::size_t size) {
    return std::memchr(field, '\0', size) != nullptr;
}

struct Everything {
    velqa3::Settings settings;
    velqa3::KeyTables keys;
    velqa3::RemapTables remap;
    bool maxSpeedBelowTen = false;
    bool startedWithKeyOut = false;
};

// Every message carries the reader's caption and stands on a line of its own.
bool OnlyReaderMessages(std::string_view messages) {
    const std::string prefix = std::string(velqa3::kReadCaption) + ": ";
    while (!messages.empty()) {
        if (messages.substr(0, prefix.size()) != prefix) return false;
        const std::size_t end = messages.find('\n');
        if (end == std::string_view::npos) return false;
        messages.remove_prefix(end + 1);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto all = std::make_unique<Everything>();
    velqa3::ResetKeyTables(all->keys);
    velqa3::SettingsHooks hooks;
    hooks.context = all.get();
    hooks.maxSpeed = [](void* context, std::int32_t kmh) {
        if (kmh < 10) static_cast<Everything*>(context)->maxSpeedBelowTen = true;
    };
    hooks.masterKeyStartup = [](void* context, const velqa3::Settings& soFar) {
        if ((soFar.masterKeyFlags & 0x10) != 0 || soFar.masterKeyPosition != 2)
            static_cast<Everything*>(context)->startedWithKeyOut = true;
    };
    const velqa3::SettingsTargets targets{all->settings, all->keys, all->remap, hooks};
    velqa3::fuzz::CapturedMessages messages;
    velqa3::ReadSettingsText(reinterpret_cast<const char*>(data), size, targets);
    REQUIRE(OnlyReaderMessages(messages.Release()));
    REQUIRE(!all->maxSpeedBelowTen && !all->startedWithKeyOut);
    velqa3::CheckKeyTable(all->keys);

    const velqa3::Settings& s = all->settings;
    REQUIRE(s.snowBrake >= 0 && s.snowBrake <= 999);
    REQUIRE(s.emgBrake == 0 || s.emgBrake == 1 || s.emgBrake == 3);
    REQUIRE(s.osrMode <= 2 && s.kiroku <= 3 && s.companions <= 3 && s.tascMode <= 3);
    REQUIRE(s.tascDeceleration >= 0.0f && s.tascDeceleration <= 10.0f);
    REQUIRE(s.tascNotch > -100 && s.tascNotch < 100 && s.pdClose >= 0);
    REQUIRE(s.egbStart >= 0 && s.abStart >= 0 && s.egbEnd >= 0 && s.currentK >= 0.0f);
    REQUIRE(s.pbStart >= 10.0f && s.pbEnd > 0.0f);
    for (const float pressure : s.tPriorityB)
        REQUIRE(pressure == 0.0f || pressure >= 10.0f);
    REQUIRE(s.port >= 49152 && s.castPort >= 49152);
    REQUIRE(Terminated(s.host, sizeof s.host) && Terminated(s.castHost, sizeof s.castHost));
    REQUIRE(std::memchr(s.host, '\n', std::strlen(s.host)) == nullptr);

    for (const std::int32_t code : all->keys.assign)
        REQUIRE(code >= 0 && code <= 255);
    for (int slot = 0; slot < 255; ++slot) {
        REQUIRE(all->remap.panel[slot] != 255 && all->remap.sound[slot] != 255);
        REQUIRE(slot == velqa3::kSuspendPanelIndex ||
                all->remap.panel[slot] != velqa3::kSuspendPanelIndex);
    }
    REQUIRE(all->remap.panel[velqa3::kSuspendPanelIndex] == velqa3::kSuspendPanelIndex);
    return 0;
}
