// One reading of a settings text into fresh tables, with what the user was told and what the
// protection was handed along the way.
#pragma once

#include "config/settings_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velqa3::test {

struct SettingsReading {
    Settings settings;
    KeyTables keys;
    RemapTables remap;
    std::string messages;           // "caption: text" lines, as the stand-in shows them
    std::vector<std::string> calls; // hooks, in the order the reader called them

    SettingsReading() { ResetKeyTables(keys); }

    SettingsTargets Targets() {
        SettingsHooks hooks;
        hooks.context = this;
        hooks.maxSpeed = [](void* self, std::int32_t kmh) {
            static_cast<SettingsReading*>(self)->calls.push_back("MaxSpeed " + std::to_string(kmh));
        };
        hooks.masterKeyStartup = [](void* self, const Settings& soFar) {
            static_cast<SettingsReading*>(self)->calls.push_back(
                "start-up with Default " + std::to_string(soFar.defaultLineCode));
        };
        return SettingsTargets{settings, keys, remap, hooks};
    }

    // Reads the text through the in-memory entry.
    static std::unique_ptr<SettingsReading> Of(const std::string& text) {
        auto reading = std::make_unique<SettingsReading>();
        testing::internal::CaptureStderr();
        ReadSettingsText(text.data(), text.size(), reading->Targets());
        reading->messages = testing::internal::GetCapturedStderr();
        return reading;
    }

    // Reads a file through the entry the plug-in uses.
    static std::unique_ptr<SettingsReading> OfFile(const std::string& path) {
        auto reading = std::make_unique<SettingsReading>();
        testing::internal::CaptureStderr();
        ReadSettings(path.c_str(), reading->Targets());
        reading->messages = testing::internal::GetCapturedStderr();
        return reading;
    }
};

} // namespace velqa3::test
