// Feeds a fresh plug-in any sequence of host calls with any values, and checks after every
// frame that the values later stages compute with stay numbers.
#include "fuzz/fuzz_input.h"
#include "platform/platform.h"
#include "plugin/plugin.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

using velqa3::fuzz::Input;

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto plugin = std::make_unique<velqa3::Plugin>();
    std::int32_t panel[256] = {};
    std::int32_t sound[256] = {};
    Input input(data, size);
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
        switch (input.Take<std::uint8_t>() % 9) {
        case 0: {
            const auto state = input.Take<velqa3::VehicleState>();
            panel[velqa3::kSuspendPanelIndex] = input.Take<std::uint8_t>() % 4 == 0 ? 1 : 0;
            plugin->Elapse(state, panel, sound);
            const velqa3::FrameValues& frame = plugin->frame;
            Require(frame.interval >= 0);
            Require(std::isfinite(frame.speed) && std::isfinite(frame.acceleration));
            Require(std::isfinite(frame.lastLocation) && !std::isnan(frame.panelLocation));
            Require(!std::isnan(plugin->cab.keys.hornReservoir));
            Require(plugin->cab.keys.curtain >= 0 && plugin->cab.keys.curtain <= 100);
            Require(plugin->cab.keys.oneManCloseTimer >= 0);
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
        case 8:
            keyboard[input.Take<std::uint8_t>()] = input.Take<std::uint8_t>();
            velqa3::platform::SetKeyboardState(keyboard);
            break;
        }
    }
    return 0;
}
