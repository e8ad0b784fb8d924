#include "tests/abi/plugin_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <unistd.h>

namespace velqa3::test {

namespace fs = std::filesystem;

LoadedPlugin::LoadedPlugin(const std::optional<std::string>& settings, const Beside& beside) {
    static std::atomic<int> counter{0};
    folder_ = fs::temp_directory_path() /
              ("velqa3-abi-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy_file(VELQA3_PLUGIN_PATH, libraryPath());
    if (settings) std::ofstream(folder_ / "velqa3.dat", std::ios::binary) << *settings;
    for (const auto& [name, source] : beside)
        fs::copy_file(source, folder_ / name);

    testing::internal::CaptureStderr();
    std::string error;
    const bool opened = library_.Open(libraryPath().string(), error);
    attachOutput_ = testing::internal::GetCapturedStderr();
    if (!opened) ADD_FAILURE() << error;
}

LoadedPlugin::~LoadedPlugin() {
    Unload();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

void LoadedPlugin::StartRun(const VehicleSpec& spec) {
    api().Load();
    api().GetPluginVersion();
    api().SetVehicleSpec(spec);
    api().Initialize(0);
}

void LoadedPlugin::Unload() {
    library_.Close();
}

} // namespace velqa3::test
