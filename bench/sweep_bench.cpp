// What a sweep costs: a hundred cases of the demo (seeds 1 to 100) run by velqa3-sim as an
// author runs them, each case in its own process; and, to say where a case's time goes, the
// start of velqa3-sim that does nothing, and one whole case as a process of its own. The run
// inside a case is BM_DemoScenario's. The counter cases_per_s is cases per second of wall time.
#include "platform/process.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Runs velqa3-sim with the arguments, its output into a file; stops the benchmark on a fault.
void RunSim(benchmark::State& state, std::vector<std::string> arguments, int expected) {
    const fs::path folder = fs::temp_directory_path() / "velqa3-sweep-bench";
    fs::create_directories(folder);
    arguments.insert(arguments.begin(), VELQA3_SIM_PATH);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    char problem[256];
    const std::intptr_t program = velqa3::platform::StartProgram(
        argv.data(), (folder / "output.txt").string().c_str(), problem, sizeof problem);
    if (program == -1) return state.SkipWithError(problem);
    while (velqa3::platform::WaitForAnyProgram(&program, 1, 1000) < 0) {
    }
    const int status = velqa3::platform::EndedProgramStatus(program, problem, sizeof problem);
    if (status != expected)
        state.SkipWithError(("velqa3-sim ended with " + std::to_string(status) + "; see " +
                             (folder / "output.txt").string())
                                .c_str());
}

const fs::path kOut = fs::temp_directory_path() / "velqa3-sweep-bench" / "out";

void BM_ProcessStart(benchmark::State& state) {
    for (auto _ : state)
        RunSim(state, {"--help"}, 0);
}
BENCHMARK(BM_ProcessStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_DemoCaseProcess(benchmark::State& state) {
    const std::string result = (kOut.parent_path() / "case.result").string();
    for (auto _ : state)
        RunSim(state,
               {VELQA3_DEMO_SCENARIO, "--plugin", VELQA3_PLUGIN_PATH, "--out",
                (kOut.parent_path() / "case").string(), "--no-plot", "--case-result", result},
               0);
}
BENCHMARK(BM_DemoCaseProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_Sweep100(benchmark::State& state) {
    for (auto _ : state)
        RunSim(state,
               {VELQA3_DEMO_SCENARIO, "--plugin", VELQA3_PLUGIN_PATH, "--out", kOut.string(),
                "--no-plot", "--vary", "run.seed=1:100:1"},
               0);
    state.counters["cases_per_s"] = benchmark::Counter(
        100.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Sweep100)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
