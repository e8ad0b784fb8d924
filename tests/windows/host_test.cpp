// Runs under wine: the Windows plug-in loaded by a Windows host, through the real Win32 calls.
// Copies the DLL into folders of its own, with and without a settings file beside it.
#include "platform/platform.h"
#include "sim/plugin_library.h"
#include "tests/support/vehicle_state.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using velqa3::HandleOutput;

int passed = 0;
int failed = 0;

void Check(bool ok, const char* what) {
    ++(ok ? passed : failed);
    std::fprintf(stderr, "%s: %s\n", ok ? "ok" : "FAILED", what);
    std::fflush(stderr);
}

fs::path RunFolder(const fs::path& dll, const char* name, const char* settings) {
    const fs::path folder = fs::temp_directory_path() / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(dll, folder / "velqa3.dll");
    if (settings != nullptr) std::ofstream(folder / "velqa3.dat") << settings;
    return folder;
}

void DriveOneRun(const fs::path& folder) {
    velqa3::sim::PluginLibrary library;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    const bool opened = library.Open((folder / "velqa3.dll").string(), error);
    const auto took = std::chrono::steady_clock::now() - start;
    Check(opened, "LoadLibraryA loads the plug-in and all sixteen entry points resolve");
    if (!opened) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return;
    }
    Check(took < std::chrono::seconds(20), "attach returns at once (no message box waits)");
    const auto& api = library.api;
    Check(api.SetKeyboardState == nullptr, "the Windows build has no SetKeyboardState");
    Check(api.GetPluginVersion() == 131072, "interface version 131072");
    api.Load();
    api.SetVehicleSpec(velqa3::VehicleSpec{8, 5, 2, 6, 10});
    api.Initialize(0);

    // Frames through the Windows calling convention are the demo's, compared with the native
    // run; here the one frame that must leave the host's arrays alone.
    std::int32_t panel[256] = {}, sound[256] = {};
    api.Elapse(velqa3::test::StateAt(36'000'000), panel, sound);
    panel[199] = 1;
    panel[10] = 1234;
    const HandleOutput suspended = api.Elapse(velqa3::test::StateAt(36'002'000), panel, sound);
    Check(suspended == HandleOutput{0, 0, 0, 0} && panel[10] == 1234,
          "a suspended frame returns the last record and leaves the panel alone");
    api.Dispose();
    library.Close();
    Check(api.GetPluginVersion == nullptr, "unloaded after Dispose");
}

// The plug-in polls the keyboard with GetKeyboardState; the key state of this thread, set with
// SetKeyboardState, is what it reads. The master-controller key holds the train until it is in.
void PollTheRealKeyboard(const fs::path& folder) {
    velqa3::sim::PluginLibrary library;
    std::string error;
    if (!library.Open((folder / "velqa3.dll").string(), error)) {
        Check(false, "the plug-in loads for the keyboard run");
        return;
    }
    const auto& api = library.api;
    api.Load();
    api.SetVehicleSpec(velqa3::VehicleSpec{8, 5, 2, 6, 10});
    api.Initialize(0);
    api.SetBrake(0);
    unsigned char keys[256] = {};
    velqa3::platform::SetKeyboardState(keys);
    std::int32_t panel[256] = {}, sound[256] = {};
    std::int32_t time = 36'000'000;
    const auto frame = [&] { return api.Elapse(velqa3::test::StateAt(time += 16), panel, sound); };
    Check(frame().Brake == 9, "without the master-controller key the train is held");
    keys[0x4B] = 0x80;
    velqa3::platform::SetKeyboardState(keys);
    Check(frame().Brake == 0, "the K key read through GetKeyboardState puts the key in");
    keys[0x4B] = 0x00;
    velqa3::platform::SetKeyboardState(keys);
    frame();
    keys[0x4B] = 0x81;
    velqa3::platform::SetKeyboardState(keys);
    Check(frame().Brake == 9, "a second press takes it out");
    std::memset(keys, 0, sizeof keys);
    velqa3::platform::SetKeyboardState(keys);
    api.Dispose();
    library.Close();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velqa3_win_host_test PLUGIN.dll\n");
        return 2;
    }
    const fs::path dll = fs::absolute(argv[1]);
    // Markers on standard error, between which the wrapper looks for the message box calls.
    std::fprintf(stderr, "run: without settings file\n");
    DriveOneRun(RunFolder(dll, "velqa3-wine-missing", nullptr));
    std::fprintf(stderr, "run: with settings file\n");
    DriveOneRun(RunFolder(dll, "velqa3-wine-present", "[TRAIN]\nHoldBrake=1\n"));
    // Too long a file: the reader counts its lines and says so. 20000 short lines, and a
    // setting below line 10000 that must not be read.
    std::string tooLong;
    for (int i = 0; i < 20000; ++i)
        tooLong += i == 15000 ? "[TRAIN]\nHoldBrake=1\n\n" : ";\n";
    std::fprintf(stderr, "run: with a settings file of 20000 lines\n");
    DriveOneRun(RunFolder(dll, "velqa3-wine-long", tooLong.c_str()));
    std::fprintf(stderr, "run: with cab keys\n");
    PollTheRealKeyboard(
        RunFolder(dll, "velqa3-wine-keys", "[TRAIN]\nMKey=2\n\n[KEY]\nMasterControllerKey=0x4B\n"));
    std::fprintf(stderr, "run: end\n");
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
