// Cost of one frame through the loaded library, beside the cost of an entry point that does
// nothing, so the call overhead itself can be told apart; and a busy frame with every stage at
// work, which is what a driver's train costs the simulator.
#include "platform/udp_receive.h"
#include "sim/plugin_library.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "%s\n", why.c_str());
    std::exit(2);
}

velqa3::sim::PluginLibrary& Library() {
    static velqa3::sim::PluginLibrary library;
    if (library.handle == nullptr) {
        std::string error;
        if (!library.Open(VELQA3_PLUGIN_PATH, error)) Fail(error);
        library.api.Load();
        library.api.SetVehicleSpec(velqa3::VehicleSpec{8, 5, 2, 6, 10});
        library.api.Initialize(0);
    }
    return library;
}

void BM_EmptyExport(benchmark::State& state) {
    const auto& api = Library().api;
    for (auto _ : state)
        api.Load();
}
BENCHMARK(BM_EmptyExport);

// withArrays 0 hands the host's arrays over as null, so the panel and sound stages are
// skipped and their share of a frame shows beside the full one.
void BM_Elapse(benchmark::State& state) {
    const auto& api = Library().api;
    std::int32_t panelArray[256] = {}, soundArray[256] = {};
    std::int32_t* panel = state.range(0) != 0 ? panelArray : nullptr;
    std::int32_t* sound = state.range(0) != 0 ? soundArray : nullptr;
    velqa3::VehicleState vehicle{};
    vehicle.Time = 36'000'000;
    vehicle.Speed = 60.0f;
    int frame = 0;
    for (auto _ : state) {
        // Frames 20 ms apart that stay clear of the telemetry boundaries.
        frame = (frame + 1) % 24;
        vehicle.Time = 36'000'010 + frame * 20;
        vehicle.Location += 0.28;
        benchmark::DoNotOptimize(api.Elapse(vehicle, panel, sound));
    }
}
BENCHMARK(BM_Elapse)->ArgName("withArrays")->Arg(1)->Arg(0);

// A second copy of the library, attached with a settings file that fits every stage: TASC,
// the vigilance device, the line-voltage model of two units, and both datagrams sent to a
// receiver that listens on this machine.
struct Busy {
    velqa3::sim::PluginLibrary library;
    velqa3::platform::UdpListener receiver;
};

Busy& BusyLibrary() {
    static Busy busy;
    if (busy.library.handle != nullptr) return busy;
    // A port the settings take (49152 and up); any free one of the system's may lie below.
    bool bound = false;
    for (int port = 49400; !bound && port < 65536; port += 7)
        bound = velqa3::platform::UdpListen(busy.receiver, "127.0.0.1",
                                            static_cast<std::uint16_t>(port));
    if (!bound) Fail("no UDP port to listen on");
    const fs::path folder = fs::temp_directory_path() / "velqa3-busy-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path copy = folder / fs::path(VELQA3_PLUGIN_PATH).filename();
    fs::copy_file(VELQA3_PLUGIN_PATH, copy);
    const std::string port = std::to_string(busy.receiver.port);
    std::ofstream(folder / "velqa3.dat")
        << "[TRAIN]\nEmgBrake=1\nHoldBrake=1\nSnowBrake=50\n\n"
        << "[TASC]\nUse=1\nMode=1\nPlatformDoor=2\n\n"
        << "[DC25]\nMode=2\n\n"
        << "[PANEL]\nUnit2-KasenV=1800\nUnit3-KasenV=1800\n\n"
        << "[SENDDATA]\nMode=1\nHost=127.0.0.1\nPort=" << port
        << "\nCastMode=1\nCastHost=127.0.0.1\nCastPort=" << port << "\n";
    std::string error;
    if (!busy.library.Open(copy.string(), error)) Fail(error);
    const auto& api = busy.library.api;
    api.Load();
    api.SetVehicleSpec(velqa3::VehicleSpec{8, 5, 2, 6, 10});
    api.Initialize(0);
    api.SetReverser(1);
    api.SetBrake(0); // the first brake move switches the protection on
    api.SetPower(2);
    return busy;
}

// Puts the road ahead back before the train has used it up: a pattern line, the signal ahead
// at stop far enough away that the pattern stays above the train, and a TASC stop beyond it.
void RearmRoad(const velqa3::sim::PluginLibrary::EntryPoints& api) {
    api.SetBeaconData(velqa3::BeaconData{50, 0, 0.0f, 4});
    api.SetBeaconData(velqa3::BeaconData{60, 0, 1500.0f, 0});
    api.SetBeaconData(velqa3::BeaconData{120, 0, 0.0f, 1200});
}

void BM_BusyElapse(benchmark::State& state) {
    const auto& api = BusyLibrary().library.api;
    std::int32_t panel[256] = {}, sound[256] = {};
    velqa3::VehicleState vehicle{};
    vehicle.Speed = 40.0f;
    vehicle.Current = 250.0f;
    vehicle.MrPressure = 800.0f;
    vehicle.BcPressure = 0.0f;
    vehicle.Time = 36'000'010;
    vehicle.Location = 100.0;
    api.Elapse(vehicle, panel, sound); // TASC takes its beacons only from a moving train
    RearmRoad(api);
    int frame = 0;
    for (auto _ : state) {
        // Frames 16 ms apart that stay clear of the telemetry boundaries, the train at 40 km/h.
        if (++frame == 4096) {
            frame = 0;
            RearmRoad(api);
        }
        vehicle.Time = 36'000'010 + (frame % 30) * 16;
        vehicle.Location += 40.0 / 3.6 * 0.016;
        benchmark::DoNotOptimize(api.Elapse(vehicle, panel, sound));
    }
}
BENCHMARK(BM_BusyElapse);

} // namespace
