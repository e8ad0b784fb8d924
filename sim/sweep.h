// The sweep: one scenario run once for every value of one or two of its numbers, each case in a
// process of its own, and what the cases showed gathered into one table and one picture. A route
// author asks whether the train stops before the signal at every speed it can arrive at, not at
// one.
#pragma once

#include "sim/checks.h"
#include "sim/host_run.h"
#include "sim/run_limits.h"
#include "sim/scenario.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace velqa3::sim {

// A sweep varies at most this many keys (a grid for two), in at most this many cases.
inline constexpr std::size_t kMaxSweepKeys = 2;
inline constexpr std::size_t kMaxSweepCases = 10000;
inline constexpr int kMaxSweepJobs = 64;
inline constexpr std::size_t kMaxSweepReading = std::size_t{256} << 20;
// A key is a dotted path of the scenario's own names: "driver[2].at_location".
inline constexpr std::size_t kMaxSweepKeyBytes = 128;

struct SweepAxis {
    std::string key;
    std::vector<double> values;
};

// Reads "KEY=FROM:TO:STEP" (or "KEY=VALUE"); false, with why, when it is not one.
bool ParseVary(std::string_view text, SweepAxis& axis, std::string& why);
// A number as the sweep writes it in a case's name, its table and its scenario: the shortest
// text that reads back as the same number.
std::string ValueText(double value);

// The scenario as a tree, from which each case's scenario is written with its values set.
class SweepScenario {
  public:
    // Parses the scenario's text; false, with why, when it is not TOML (the scenario reader
    // then says what is wrong with it). The [sweep] table, if any, is taken out.
    bool Load(const std::string& text, const std::filesystem::path& file, std::string& why);
    // "KEY=FROM:TO:STEP" texts of the [sweep] table, empty when it has none; false, with why,
    // when the table holds anything else.
    bool SweepTable(std::vector<std::string>& vary, std::string& why) const;
    bool HasSweepTable() const { return sweep_; }
    // The case's scenario text: each key set to its value, the run's settings file (when it names
    // one) named settingsName instead, when that is given; false, with why, when a key does not
    // name a number of the scenario.
    bool CaseText(const std::vector<std::pair<std::string, double>>& values,
                  const std::optional<std::string>& settingsName, std::string& text,
                  std::string& why) const;

  private:
    struct Tree;
    std::shared_ptr<Tree> tree_;
    bool sweep_ = false;
};

// Whether the scenario file holds a [sweep] table and is otherwise sound; false too when it
// cannot be read or is wrong, so that the single run reports what is wrong with it. Only a text
// that passed the scenario reader's checks of its shape is parsed by SweepScenario::Load.
bool ScenarioHasSweep(const std::filesystem::path& file);

struct SweepOptions {
    std::vector<std::string> vary;
    int jobs = 0; // 0: as many as the machine has cores
    bool keepAll = false;
    int caseSeconds = 600;
    // Set in a case's process: where it writes its result for the sweep.
    std::string caseResult;
};

// The command line's options of the sweep, on the program's parser.
void AddSweepOptions(CLI::App& app, SweepOptions& options);

// What the single run passes on to the sweep.
struct SweepRequest {
    std::filesystem::path scenario, plugin, out, settings;
    double maxS = 0.0;
    bool noPlot = false;
    int plotSeconds = 60;
    RunLimits limits;
    SweepOptions sweep;
};

// Runs the sweep; the process's exit code: 0 every case met its expectations, 1 one did not, 2
// the scenario or a value is wrong and nothing ran, 3 the sweep's own record is incomplete.
int RunSweep(const SweepRequest& request);

// In a case's process: the verdicts and the end of its run, and what its trace shows, for the
// sweep that started it. Read here, in the case's own process, the traces of the cases are read
// side by side as the cases run.
bool WriteCaseResult(const std::string& file, const Scenario& scenario, const RunOutcome& run,
                     const std::vector<Verdict>& verdicts, const std::filesystem::path& trace,
                     std::string& why);

} // namespace velqa3::sim
