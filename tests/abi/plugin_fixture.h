// A built plug-in library, copied into a folder of its own and loaded there as the host would,
// so every test gets a freshly attached instance and its own settings file.
#pragma once

#include "sim/plugin_library.h"
#include "tests/support/vehicle_state.h"

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velqa3::test {

class LoadedPlugin {
  public:
    // Files laid beside the library before it is loaded: name there, and the file to copy.
    using Beside = std::vector<std::pair<std::string, std::filesystem::path>>;
    // settings: the text of velqa3.dat beside the library, or none for no file at all.
    explicit LoadedPlugin(const std::optional<std::string>& settings = std::nullopt,
                          const Beside& beside = {});
    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    const sim::PluginLibrary::EntryPoints& api() const { return library_.api; }
    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path libraryPath() const { return folder_ / "velqa3.so"; }
    // What the library wrote on standard error while it was attached.
    const std::string& attachOutput() const { return attachOutput_; }

    // The host's calls up to the first frame: Load, GetPluginVersion, SetVehicleSpec, Initialize.
    void StartRun(const VehicleSpec& spec = VehicleSpec{8, 5, 2, 6, 10});
    void Unload();

    // One host frame, handing over the arrays below as the host's panel and sound.
    HandleOutput Frame(std::int32_t timeMs, float speed = 0.0f) {
        return api().Elapse(StateAt(timeMs, speed), panel, sound);
    }
    std::int32_t panel[kPanelSize] = {};
    std::int32_t sound[kSoundSize] = {};

  private:
    std::filesystem::path folder_;
    sim::PluginLibrary library_;
    std::string attachOutput_;
};

} // namespace velqa3::test
