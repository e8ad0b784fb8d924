// velqa3-sim: stands in for the simulator. Loads a plug-in library, calls its entry points in
// the host's order and drives it through a run of frames, printing what the plug-in returns.
#include "sim/plugin_library.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options {
    std::string plugin;
    int seconds = 5;
    int intervalMs = 16;
};

void Usage() {
    std::fprintf(stderr, "usage: velqa3-sim --plugin PATH [--seconds N] [--interval MS]\n");
}

bool ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--plugin") == 0 && hasValue) {
            options.plugin = argv[++i];
        } else if (std::strcmp(argv[i], "--seconds") == 0 && hasValue) {
            options.seconds = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--interval") == 0 && hasValue) {
            options.intervalMs = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    return !options.plugin.empty() && options.seconds > 0 && options.seconds <= 86400 &&
           options.intervalMs > 0 && options.intervalMs <= 1000;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        Usage();
        return 2;
    }
    velqa3::sim::PluginLibrary library;
    std::string error;
    if (!library.Open(options.plugin, error)) {
        std::fprintf(stderr, "velqa3-sim: %s\n", error.c_str());
        return 2;
    }
    const auto& api = library.api;

    api.Load();
    std::printf("plug-in interface version %#x\n", static_cast<unsigned>(api.GetPluginVersion()));
    api.SetVehicleSpec(velqa3::VehicleSpec{8, 5, 2, 6, 10});
    api.Initialize(0);

    // The driver pulls away on notch 3 and brakes to a stand halfway through the run.
    std::int32_t panel[velqa3::kPanelSize] = {};
    std::int32_t sound[velqa3::kSoundSize] = {};
    velqa3::VehicleState state{};
    state.Time = 10 * 3600 * 1000;
    state.MrPressure = 800.0f;
    const int frames = options.seconds * 1000 / options.intervalMs;
    const int brakeFrame = frames / 2;
    int driverPower = 3;
    int driverBrake = 0;
    api.SetReverser(1);
    api.SetBrake(driverBrake);
    api.SetPower(driverPower);
    for (int i = 0; i <= frames; ++i) {
        if (i == brakeFrame) {
            driverPower = 0;
            driverBrake = 4;
            api.SetPower(driverPower);
            api.SetBrake(driverBrake);
        }
        const float acceleration = i < brakeFrame ? 2.5f : -3.5f; // km/h per s
        const float dt = static_cast<float>(options.intervalMs) / 1000.0f;
        state.Speed = std::max(0.0f, state.Speed + acceleration * dt);
        state.Location += static_cast<double>(state.Speed) / 3.6 * dt;
        state.Time += options.intervalMs;
        const velqa3::HandleOutput out = api.Elapse(state, panel, sound);
        if (i % (1000 / options.intervalMs) == 0)
            std::printf("t=%6.2fs  x=%8.2fm  v=%6.2fkm/h  driver P%d B%d  ->  plug-in Brake=%d "
                        "Power=%d Reverser=%d ConstantSpeed=%d\n",
                        i * options.intervalMs / 1000.0, state.Location, state.Speed, driverPower,
                        driverBrake, out.Brake, out.Power, out.Reverser, out.ConstantSpeed);
    }
    api.Dispose();
    library.Close();
    return 0;
}
