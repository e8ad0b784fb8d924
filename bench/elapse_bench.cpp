// Cost of one frame through the loaded library, beside the cost of an entry point that does
// nothing, so the call overhead itself can be told apart.
#include "sim/plugin_library.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

velqa3::sim::PluginLibrary& Library() {
    static velqa3::sim::PluginLibrary library;
    if (library.handle == nullptr) {
        std::string error;
        if (!library.Open(VELQA3_PLUGIN_PATH, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(2);
        }
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

} // namespace

BENCHMARK_MAIN();
