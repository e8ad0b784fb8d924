// What a sweep's cases showed: each case's row, read from the run its process left, the table
// (sweep.csv), the picture and the summary made of the rows.
#pragma once

#include "sim/scenario.h"
#include "sim/sweep.h"

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velqa3::sim {

// What of a case's scenario its row is measured against; the varied key may move any of it.
struct CaseShape {
    struct Bound {
        Expectation::Kind kind = Expectation::Kind::StopsBefore;
        double value = 0.0;
        std::optional<double> from, to;
        std::int32_t notch = 0;
        bool operator==(const Bound&) const = default;
    };
    std::vector<double> signals; // positions, in the order of the scenario's [[signal]] tables
    std::vector<Bound> expectations;
    std::int32_t emergencyNotch = 9;
    bool operator==(const CaseShape&) const = default;
};
CaseShape CaseShapeOf(const Scenario& scenario);

struct SweepCase {
    std::vector<std::pair<std::string, double>> values;
    std::size_t shape = 0; // in the sweep's shapes: most sweeps move none of it, and share one
    // "key=value, key=value"
    std::string Name() const;
};

enum class CaseOutcome { Met, Failed, Incomplete, Crashed, TimedOut, NotRun };

struct CaseRow {
    CaseOutcome outcome = CaseOutcome::Crashed;
    std::string reason; // why a case crashed or is incomplete
    int exitStatus = 0;
    bool hasResult = false; // the case's process wrote its result
    bool finished = false;  // ... and its run was not interrupted
    bool kept = false;      // its run folder stays
    std::string end;        // how the run ended, in the host's words
    struct Verdict {
        enum { Ok, Failed, Unchecked } state = Ok;
        std::string text;
    };
    std::vector<Verdict> verdicts;
    // From the case's trace.
    bool traced = false;
    std::optional<double> firstStand;        // where the train first stood after moving
    double furthestBeforeStand = 0.0;        // the furthest point it reached before that
    std::optional<double> firstIntervention; // where the plug-in first braked harder
    std::string interventionKind;            // "emergency" or "service N", and its reasons
    std::int32_t maxBrake = 0;
    double maxSpeed = 0.0;
    double finalLocation = 0.0;
    bool finalStopped = false;
    // Left to each signal and each expectation's bound: negative where it was missed.
    std::vector<std::optional<double>> signalMargins, expectMargins;

    bool AllHeld() const;
};

// What the trace of a run shows, into the row: where the train first stood, where the plug-in
// first braked, the highest brake output and speed, where the run ended.
void ReadTrace(const std::filesystem::path& trace, std::int32_t emergencyNotch, CaseRow& row);
// The lines of a case's result file: its verdicts, its end and what its trace showed.
std::string CaseResultText(const CaseRow& row);
// Fills the row from the case's result file text; the margins are reckoned against the case's
// shape.
void ReadCase(const CaseShape& shape, const std::string& result, CaseRow& row);

struct SweepSummary {
    std::vector<SweepAxis> axes;
    const std::vector<SweepCase>* plan = nullptr;
    const std::vector<CaseShape>* shapes = nullptr;
    const std::vector<CaseRow>* rows = nullptr;
    std::filesystem::path folder;
    double wallS = 0.0;
    std::size_t jobs = 1;
};

// Shown at most in the summary; sweep.csv lists every case.
inline constexpr std::size_t kMaxListedCases = 10;

bool WriteSweepTable(const SweepSummary& summary, const std::filesystem::path& file,
                     std::string& why);
std::vector<std::string> SummaryLines(const SweepSummary& summary);

// The picture: the first stand and the first intervention against the first key's value, a
// line for each value of the second key, and the signals and the expectations' bounds across.
inline constexpr const char* kSweepPlotScript = "sweep.gp";
inline constexpr const char* kSweepPlotData = "sweep-plot.dat";
inline constexpr const char* kSweepPicture = "sweep.png";
bool WriteSweepPlot(const SweepSummary& summary, std::string& why);
bool RenderSweepPlot(const std::filesystem::path& folder, std::string& problem, int seconds);

} // namespace velqa3::sim
