// The benchmarks' own table, then the figures that have targets: the stand-in host's speed
// against real time and the busy frame against the empty export call, each with its target
// and whether it was met. With --benchmark_repetitions the medians are taken.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

struct Figure {
    double nsPerIteration = 0.0;
    double cpuNsPerIteration = 0.0; // a machine shared with other work slows the wall clock only
    std::map<std::string, double> counters;
    bool median = false;
};

class TargetReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            Figure& figure = figures_[run.run_name.function_name];
            if (figure.median && !median) continue;
            figure.median = median;
            const double unit = run.time_unit == benchmark::kMillisecond ? 1e6 : 1.0;
            figure.nsPerIteration = run.GetAdjustedRealTime() * unit;
            figure.cpuNsPerIteration = run.GetAdjustedCPUTime() * unit;
            for (const auto& [name, counter] : run.counters)
                figure.counters[name] = counter.value;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n");
        const auto factor = [&](const char* name, const char* what) {
            const auto found = figures_.find(name);
            if (found == figures_.end()) return;
            const double x = found->second.counters["sim_s_per_wall_s"];
            std::printf("host real-time factor, %s: %.0f x (target >= 20000 x): %s\n", what, x,
                        x >= 20000.0 ? "met" : "NOT met");
        };
        factor("BM_OneHourStanding", "one hour standing at 16 ms frames");
        factor("BM_DemoScenario", "the demo drive");
        Sweep();
        const auto busy = figures_.find("BM_BusyElapse");
        const auto empty = figures_.find("BM_EmptyExport");
        if (busy == figures_.end() || empty == figures_.end()) return;
        const double ns = busy->second.nsPerIteration, call = empty->second.nsPerIteration;
        const double ratio = call > 0.0 ? ns / call : 0.0;
        std::printf("busy frame (every stage on): %s %.0f ns (CPU %.0f ns), %.0f x the empty "
                    "export call (%.2f ns) (target <= 250 ns): %s\n",
                    busy->second.median ? "median" : "mean of one run", ns,
                    busy->second.cpuNsPerIteration, ratio, call, ns <= 250.0 ? "met" : "NOT met");
    }

  private:
    // A sweep of a hundred cases of the demo against its target, and where a case's time goes:
    // starting a process, the run itself, and the rest of a case (loading the library, copying
    // the inputs, writing the trace and the result, removing a passing case's folder).
    void Sweep() {
        const auto sweep = figures_.find("BM_Sweep100");
        if (sweep == figures_.end()) return;
        const double wall = sweep->second.nsPerIteration / 1e9;
        std::printf("sweep of 100 demo cases: %.2f s of wall time, %.0f cases a second "
                    "(target < 2 s): %s\n",
                    wall, wall > 0.0 ? 100.0 / wall : 0.0, wall < 2.0 ? "met" : "NOT met");
        const auto start = figures_.find("BM_ProcessStart");
        const auto whole = figures_.find("BM_DemoCaseProcess");
        const auto run = figures_.find("BM_DemoScenario");
        if (start == figures_.end() || whole == figures_.end() || run == figures_.end()) return;
        const double startMs = start->second.nsPerIteration / 1e6,
                     wholeMs = whole->second.nsPerIteration / 1e6,
                     runMs = run->second.nsPerIteration / 1e6;
        std::printf("one case alone: %.1f ms = %.1f ms starting velqa3-sim + %.1f ms the run + "
                    "%.1f ms loading the plug-in, copying the inputs and writing the record\n",
                    wholeMs, startMs, runMs, wholeMs - startMs - runMs);
    }

    std::map<std::string, Figure> figures_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
