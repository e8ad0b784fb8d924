// The settings file beside the plug-in: read once when the library is attached.
#pragma once

#include "config/keys.h"
#include "config/remap.h"
#include "config/settings.h"
#include "config/settings_diagnostics.h"

#include <cstddef>
#include <cstdint>

namespace velqa3 {

// The caption of every message the reader shows.
inline constexpr const char* kReadCaption = "ATS-PTプラグイン設定読み込み";

// Two settings act at once on protection state the reader does not own, at the moment their
// line is read, so that their order against other lines counts. A null hook is not called.
struct SettingsHooks {
    void* context = nullptr;
    // MaxSpeed: the train's maximum speed in km/h (at least 10), handed to the pattern
    // protection as the beacon that announces it.
    void (*maxSpeed)(void* context, std::int32_t kmh) = nullptr;
    // MKey without a key of its own: the protection starts as if the key were in, from the
    // settings read so far (Default above the MKey line counts, Default below it does not).
    void (*masterKeyStartup)(void* context, const Settings& soFar) = nullptr;
};

// Everything one reading fills. The key table and the remap tables hold their start-up state
// before the reading; lines of [KEY], [PANELOUTPUT] and [SOUNDOUTPUT] override it.
struct SettingsTargets {
    Settings& settings;
    KeyTables& keys;
    RemapTables& remap;
    SettingsHooks hooks;
};

// Reads the file at path. A file that cannot be opened keeps every default and tells the user
// so once; a file of more than 10000 lines is read up to there and reported. A UTF-8
// byte-order mark at the start is skipped; every other byte is read as it stands.
// With a listener, every line is also reported to it, and what the plug-in would show in a
// message box goes to the listener instead, so that a checker never stops for one.
void ReadSettings(const char* path, const SettingsTargets& targets,
                  SettingsDiagnostics* diagnostics = nullptr);

// The same reading over text already in memory, as the file would give it byte for byte.
void ReadSettingsText(const char* text, std::size_t size, const SettingsTargets& targets,
                      SettingsDiagnostics* diagnostics = nullptr);

} // namespace velqa3
