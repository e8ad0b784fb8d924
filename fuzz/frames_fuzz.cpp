// Feeds a fresh plug-in, attached beside a settings file taken from the input, any sequence of
// host calls with any values (frames, handles, keys, horn, doors, signals and beacons), and
// checks after every frame that the values later stages compute with stay numbers. The settings
// may switch on the status and stop datagrams (always sent to this machine) and the run record
// (written into a folder of the target's own, emptied after every input), so those run too.
#include "fuzz/fuzz_input.h"
#include "platform/platform.h"
#include "plugin/plugin.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <unistd.h>

namespace {

using velqa3::fuzz::Input;
namespace fs = std::filesystem;

// The folder the plug-in is attached from, one per fuzzing process, gone when it ends.
struct ScratchFolder {
    fs::path path = fs::temp_directory_path() / ("velqa3-frames-fuzz-" + std::to_string(getpid()));
    ScratchFolder() { fs::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

const fs::path& ModuleFolder() {
    static const ScratchFolder folder;
    return folder.path;
}

// The settings file: up to 4095 bytes of the input, written as they are.
void AttachWithSettings(velqa3::Plugin& plugin, Input& input) {
    const std::size_t length = input.Take<std::uint16_t>() % 4096;
    std::string text;
    for (std::size_t i = 0; i < length && !input.empty(); ++i)
        text += static_cast<char>(input.Take<std::uint8_t>());
    const fs::path folder = ModuleFolder();
    std::ofstream(folder / "velqa3.dat", std::ios::binary | std::ios::trunc) << text;
    plugin.Attach((folder / "velqa3.so").string().c_str());
    // Telemetry goes nowhere but this machine, whatever the file says.
    std::snprintf(plugin.settings.host, sizeof plugin.settings.host, "127.0.0.1");
    std::snprintf(plugin.settings.castHost, sizeof plugin.settings.castHost, "127.0.0.1");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The plug-in's messages (a companion the settings ask for and the folder lacks, say) stay
    // in memory.
    velqa3::fuzz::CapturedMessages messages;
    auto plugin = std::make_unique<velqa3::Plugin>();
    std::int32_t panel[256] = {};
    std::int32_t sound[256] = {};
    Input input(data, size);
    AttachWithSettings(*plugin, input);
    // Cab keys on any codes, a horn of any strength, one-man doors fitted: the keyboard table
    // below then works every polled function.
    for (std::int32_t& code : plugin->keys.assign)
        code = input.Take<std::uint8_t>();
    plugin->settings.horn = input.Take<std::int32_t>();
    plugin->cab.keys.oneManDoors = velqa3::OneManBits::Fitted | velqa3::OneManBits::Closed;
    plugin->cab.inputs.masterKeyFlags = input.Take<std::uint8_t>();
    unsigned char keyboard[256] = {};
    velqa3::platform::SetKeyboardState(keyboard);
    while (!input.empty()) {
        switch (input.Take<std::uint8_t>() % 17) {
        case 0: {
            const auto state = input.Take<velqa3::VehicleState>();
            panel[velqa3::kSuspendPanelIndex] = input.Take<std::uint8_t>() % 4 == 0 ? 1 : 0;
            plugin->Elapse(state, panel, sound);
            const velqa3::FrameValues& frame = plugin->frame;
            REQUIRE(frame.interval >= 0);
            REQUIRE(std::isfinite(frame.speed) && std::isfinite(frame.acceleration));
            REQUIRE(std::isfinite(frame.lastLocation) && !std::isnan(frame.panelLocation));
            const velqa3::TascState& tasc = plugin->aids.tasc;
            REQUIRE(std::isfinite(tasc.stopDistance));
            REQUIRE(tasc.step >= 0 && tasc.step <= (tasc.notchSteps > 0 ? tasc.notchSteps : 0));
            REQUIRE(!std::isnan(plugin->cab.keys.hornReservoir));
            REQUIRE(plugin->cab.keys.curtain >= 0 && plugin->cab.keys.curtain <= 100);
            REQUIRE(plugin->cab.keys.oneManCloseTimer >= 0);
            break;
        }
        case 1:
            plugin->SetVehicleSpec(input.Take<velqa3::VehicleSpec>());
            break;
        case 2:
            plugin->Initialize(input.Take<std::int32_t>());
            break;
        case 3:
            plugin->SetPower(input.Take<std::int32_t>());
            break;
        case 4:
            plugin->SetBrake(input.Take<std::int32_t>());
            break;
        case 5:
            plugin->SetReverser(input.Take<std::int32_t>());
            break;
        case 6:
            plugin->Load();
            break;
        case 7:
            plugin->Dispose();
            break;
        // Keys mostly within the host's 0..15, sometimes anything.
        case 8: {
            const auto key = input.Take<std::int32_t>();
            plugin->KeyDown(input.Take<std::uint8_t>() % 8 == 0 ? key : key & 15);
            break;
        }
        case 9: {
            const auto key = input.Take<std::int32_t>();
            plugin->KeyUp(input.Take<std::uint8_t>() % 8 == 0 ? key : key & 15);
            break;
        }
        case 10:
            plugin->HornBlow(input.Take<std::int32_t>());
            break;
        case 11:
            if (input.Take<std::uint8_t>() % 2 == 0)
                plugin->DoorsOpened(true);
            else
                plugin->DoorsClosed(true);
            break;
        case 12:
            plugin->SetSignal(input.Take<std::int32_t>());
            break;
        case 13:
            plugin->SetBeaconData(input.Take<velqa3::BeaconData>());
            break;
        case 14: { // the driving aids as the settings leave them
            const auto bits = input.Take<std::uint8_t>();
            velqa3::Settings& settings = plugin->settings;
            plugin->aids.tasc.installed = plugin->aids.tasc.switchedOn = (bits & 0x01) != 0;
            plugin->aids.tasc.mode = static_cast<std::uint8_t>((bits >> 1) & 0x03);
            plugin->aids.tasc.rain = (bits & 0x08) != 0;
            settings.holdBrake = (bits >> 4) & 1;
            settings.plusBrakeConfigured = (bits >> 5) & 1;
            settings.plusBrakeEmergencyBoost = (bits >> 6) & 1;
            settings.tascNotch = input.Take<std::int8_t>() % 100;
            settings.tascDeceleration = static_cast<float>(input.Take<std::uint8_t>()) / 25.5f;
            settings.pdClose = input.Take<std::int32_t>() & 0x7FFFFFFF;
            plugin->aids.platformDoors.flags =
                (bits & 0x80) != 0
                    ? velqa3::PlatformDoorBits::DoorsFitted | velqa3::PlatformDoorBits::DoorsLinked
                    : 0;
            break;
        }
        case 15: { // stop and platform-door beacons, or any other
            auto beacon = input.Take<velqa3::BeaconData>();
            const auto pick = input.Take<std::uint8_t>() % 4;
            if (pick < 3) beacon.Type = 120 + pick;
            plugin->SetBeaconData(beacon);
            break;
        }
        case 16:
            keyboard[input.Take<std::uint8_t>()] = input.Take<std::uint8_t>();
            velqa3::platform::SetKeyboardState(keyboard);
            break;
        }
    }
    plugin->Dispose();
    std::error_code ignored;
    fs::remove(ModuleFolder() / "velqa3.csv", ignored);
    return 0;
}
