// How much faster than real time velqa3-sim runs: the demo scenario as tools/demo runs it, and
// an hour of the demo train standing at 16 ms frames, both with the real plug-in, a full trace
// and the plug-in's messages captured, as a run of velqa3-sim has them. The counter
// sim_s_per_wall_s is simulated seconds per second of wall time.
#include "sim/checks.h"
#include "sim/host_run.h"
#include "sim/message_capture.h"
#include "sim/plugin_library.h"
#include "sim/recorder.h"
#include "sim/scenario.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

struct Bench {
    velqa3::sim::Scenario demo;
    velqa3::sim::PluginLibrary plugin;
    fs::path folder;
};

// The plug-in is loaded once, from a folder of its own with the demo's settings beside it; each
// run then goes through the host's calls from Load to Dispose, as a restarted run does.
Bench& Setup() {
    static Bench bench;
    if (bench.plugin.handle != nullptr) return bench;
    velqa3::sim::ScenarioError error;
    if (!velqa3::sim::ReadScenario(VELQA3_DEMO_SCENARIO, bench.demo, error)) {
        std::fprintf(stderr, "%s\n", error.Text().c_str());
        std::exit(2);
    }
    bench.folder = fs::temp_directory_path() / "velqa3-sim-bench";
    fs::remove_all(bench.folder);
    fs::create_directories(bench.folder);
    const fs::path library = bench.folder / fs::path(VELQA3_PLUGIN_PATH).filename();
    fs::copy_file(VELQA3_PLUGIN_PATH, library);
    fs::copy_file(*bench.demo.run.settingsFile, bench.folder / "velqa3.dat");
    std::string why;
    if (!bench.plugin.Open(library.string(), why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        std::exit(2);
    }
    return bench;
}

void RunScenario(benchmark::State& state, const velqa3::sim::Scenario& scenario,
                 const fs::path& folder) {
    double simulated = 0.0;
    for (auto _ : state) {
        velqa3::sim::Recorder recorder(scenario);
        recorder.Open((folder / "trace.csv").string(), (folder / "events.log").string());
        velqa3::sim::Checks checks(scenario);
        velqa3::sim::MessageCapture capture;
        const bool capturing = capture.Begin((folder / "plugin-stderr.txt").string());
        velqa3::sim::HostRun host(scenario, Setup().plugin.api, recorder, checks,
                                  capturing ? &capture : nullptr);
        simulated += host.Run().elapsedS;
        capture.End();
        recorder.Close();
    }
    state.counters["sim_s_per_wall_s"] = benchmark::Counter(simulated, benchmark::Counter::kIsRate);
}

void BM_DemoScenario(benchmark::State& state) {
    Bench& bench = Setup();
    RunScenario(state, bench.demo, bench.folder);
}
BENCHMARK(BM_DemoScenario)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OneHourStanding(benchmark::State& state) {
    Bench& bench = Setup();
    velqa3::sim::Scenario hour = bench.demo;
    hour.run.maxS = 3600.0;
    hour.run.intervalMs = 16;
    hour.run.jitterMs = 0;
    hour.driver.clear();
    hour.expectations.clear();
    RunScenario(state, hour, bench.folder);
}
BENCHMARK(BM_OneHourStanding)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
