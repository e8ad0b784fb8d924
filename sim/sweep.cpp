#include "sim/sweep.h"

#include "sim/terminal.h"

#include "platform/process.h"
#include "sim/run_folder.h"
#include "sim/scenario.h"
#include "sim/sweep_table.h"
#include "text/shown.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace velqa3::sim {

namespace fs = std::filesystem;

namespace {

// The sweep's folder sits beside the scenario's own runs, its name cut short enough to leave
// room for the cases' names below it.
std::string SweepFolderName(const std::string& name) {
    return FolderName(name).substr(0, 64) + "-sweep";
}

std::string CaseFolderName(std::size_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "case-%04zu", index + 1);
    return name;
}

// Reads at most limit bytes of a file the sweep's own cases wrote; empty when there is none.
std::string ReadSmall(const fs::path& file, std::size_t limit) {
    std::string bytes;
    std::string why;
    if (!ReadInput(file, limit, bytes, why)) bytes.clear();
    return bytes;
}

// The last line a case's process wrote that says why it ended: its own words, or a crash's.
std::string LastWords(const fs::path& output) {
    std::ifstream in(output, std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(std::max<std::streamoff>(0, size - 4096));
    std::string tail((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream lines(tail);
    std::string last;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("velqa3-sim: ", 0) == 0 && line.find("warning:") == std::string::npos)
            last = line.substr(12);
    }
    return last;
}

// Ctrl-C (or a request to end) lets the cases that run finish, starts no more, and keeps the
// sweep's record of those that ran.
volatile std::sig_atomic_t stopAsked = 0;

void OnEnding(platform::Ending ending, int) {
    if (ending == platform::Ending::Interrupt) stopAsked = 1;
}

struct CatchingStop {
    CatchingStop() {
        stopAsked = 0;
        platform::CatchEndings(OnEnding);
    }
    ~CatchingStop() { platform::ReleaseEndings(); }
    CatchingStop(const CatchingStop&) = delete;
    CatchingStop& operator=(const CatchingStop&) = delete;
};

struct Progress {
    std::size_t done = 0, failed = 0, total = 0;
    bool shown = false;

    void Count(bool met) {
        ++done;
        if (!met) ++failed;
        if (!shown) return;
        std::fprintf(stderr, "\rvelqa3-sim: sweep: %zu of %zu cases, %zu failed", done, total,
                     failed);
        std::fflush(stderr);
    }
};

} // namespace

void AddSweepOptions(CLI::App& app, SweepOptions& options) {
    app.add_option("--vary", options.vary,
                   "run the scenario once for every value of KEY=FROM:TO:STEP, KEY a number of "
                   "the scenario such as driver[2].at_location; twice for a grid")
        ->expected(1)
        ->take_all();
    app.add_option("--jobs", options.jobs,
                   "cases of a sweep run at once (default: as many as the machine has cores)")
        ->check(CLI::Range(1, kMaxSweepJobs));
    app.add_flag("--keep-all", options.keepAll,
                 "keep the run folder of every case of a sweep, not only of those that failed");
    app.add_option("--case-seconds", options.caseSeconds,
                   "stop a case of a sweep that runs longer than this many seconds")
        ->capture_default_str()
        ->check(CLI::Range(1, 86400));
    // The sweep gives it to each case's process; no user needs it.
    app.add_option("--case-result", options.caseResult)->group("");
}

bool WriteCaseResult(const std::string& file, const Scenario& scenario, const RunOutcome& run,
                     const std::vector<Verdict>& verdicts, const fs::path& trace,
                     std::string& why) {
    CaseRow row;
    for (const Verdict& v : verdicts)
        row.verdicts.push_back({!v.checkable ? CaseRow::Verdict::Unchecked
                                : v.passed   ? CaseRow::Verdict::Ok
                                             : CaseRow::Verdict::Failed,
                                v.text});
    row.end = run.endReason;
    row.finished = !run.interrupted;
    ReadTrace(trace, scenario.vehicle.spec.BrakeNotches + 1, row);
    return WriteWholeFile(file, CaseResultText(row), why);
}

int RunSweep(const SweepRequest& request) {
    // The scenario as the reader sees it, the [sweep] table aside.
    std::string text, why;
    if (const std::string trouble = FileProblem(request.scenario, kMaxScenarioBytes);
        !trouble.empty())
        return Refuse(request.scenario.string() + ": cannot be read as a scenario: " + trouble);
    if (!ReadInput(request.scenario, kMaxScenarioBytes, text, why))
        return Refuse(request.scenario.string() + ": " + why);
    Scenario base;
    ScenarioError problem;
    if (!ParseScenario(text, request.scenario, base, problem) && problem.key != "sweep")
        return Refuse(problem.Text());
    SweepScenario tree;
    if (!tree.Load(text, request.scenario, why))
        return Refuse(request.scenario.string() + ": " + why);

    std::vector<std::string> vary = request.sweep.vary;
    std::string source = "--vary";
    if (vary.empty()) {
        if (!tree.SweepTable(vary, why)) return Refuse(request.scenario.string() + ": " + why);
        source = request.scenario.string() + ": sweep.vary";
    }
    if (vary.empty()) return Refuse("a sweep needs --vary KEY=FROM:TO:STEP or a [sweep] table");
    if (vary.size() > kMaxSweepKeys)
        return Refuse(source + ": a sweep varies one key, or two for a grid, not " +
                      std::to_string(vary.size()));
    std::vector<SweepAxis> axes;
    std::size_t cases = 1;
    for (const std::string& each : vary) {
        SweepAxis axis;
        if (!ParseVary(each, axis, why)) return Refuse(source + " " + each + ": " + why);
        for (const SweepAxis& other : axes)
            if (other.key == axis.key) return Refuse(source + ": " + axis.key + " is given twice");
        cases *= axis.values.size();
        if (cases > kMaxSweepCases)
            return Refuse(source + ": the sweep would run " +
                          (axes.empty() ? std::to_string(cases)
                                        : "more than " + std::to_string(kMaxSweepCases)) +
                          " cases; at most " + std::to_string(kMaxSweepCases));
        axes.push_back(std::move(axis));
    }

    // Every case read before anything runs: a value that makes one invalid is refused with the
    // key, the value and the reader's words.
    // Each case is read whole: a sweep may read at most so much scenario text.
    if (static_cast<std::uint64_t>(cases) * text.size() > kMaxSweepReading)
        return Refuse(source + ": " + std::to_string(cases) + " cases of a scenario of " +
                      std::to_string(text.size()) + " bytes are more than a sweep reads (" +
                      std::to_string(kMaxSweepReading >> 20) + " MB); sweep fewer values");
    std::vector<SweepCase> plan;
    std::vector<CaseShape> shapes;
    plan.reserve(cases);
    const std::size_t inner = axes[0].values.size();
    for (std::size_t i = 0; i < cases; ++i) {
        SweepCase one;
        one.values.emplace_back(axes[0].key, axes[0].values[i % inner]);
        if (axes.size() > 1) one.values.emplace_back(axes[1].key, axes[1].values[i / inner]);
        std::string caseText;
        if (!tree.CaseText(one.values, std::nullopt, caseText, why))
            return Refuse(source + ": " + one.Name() + ": " + why);
        Scenario scenario;
        if (!ParseScenario(caseText, request.scenario, scenario, problem))
            return Refuse(source + ": " + one.Name() + ": " + problem.Text());
        if (request.maxS > 0.0) scenario.run.maxS = request.maxS;
        if (const std::string tooLarge = RunTooLarge(EstimateRun(scenario), request.limits);
            !tooLarge.empty())
            return Refuse(source + ": " + one.Name() + ": run.max_s: " + tooLarge);
        CaseShape shape = CaseShapeOf(scenario);
        const auto same = std::find(shapes.begin(), shapes.end(), shape);
        one.shape = static_cast<std::size_t>(same - shapes.begin());
        if (same == shapes.end()) shapes.push_back(std::move(shape));
        plan.push_back(std::move(one));
    }

    // The plug-in and the settings the cases use, by paths that hold from any folder.
    std::error_code error;
    if (!fs::is_regular_file(request.plugin, error))
        return Refuse("cannot load the plug-in " + request.plugin.string() + ": no such file");
    char self[4096];
    if (platform::ProgramPath(self, sizeof self) == 0)
        return Refuse("cannot find velqa3-sim's own program to run the cases with");
    const fs::path plugin = fs::absolute(request.plugin, error);
    const fs::path settings =
        !request.settings.empty() ? fs::absolute(request.settings, error) : fs::path();
    if (!request.settings.empty()) {
        if (const std::string trouble = FileProblem(request.settings, kMaxSettingsBytes);
            !trouble.empty())
            return Refuse("cannot use the settings file " + request.settings.string() + ": " +
                          trouble);
    }
    std::string settingsBytes;
    if (base.run.settingsFile &&
        !ReadInput(*base.run.settingsFile, kMaxSettingsBytes, settingsBytes, why))
        return Refuse("cannot read the settings file " + base.run.settingsFile->string() + ": " +
                      why);

    // The sweep's folder: what it writes is all its own, so none of the user's files may lie
    // in it; an earlier sweep there is emptied.
    const fs::path out =
        request.out.empty() ? fs::path("runs") / SweepFolderName(base.name) : request.out;
    const fs::path place = Resolved(out);
    std::vector<fs::path> givenFiles = {request.scenario, request.plugin};
    if (!request.settings.empty()) givenFiles.push_back(request.settings);
    if (base.run.settingsFile) givenFiles.push_back(*base.run.settingsFile);
    for (const fs::path& given : givenFiles)
        if (Within(Resolved(given), place))
            return Refuse("cannot use " + given.string() + ": it lies in the sweep folder " +
                          out.string() + ", which the sweep fills; move it elsewhere first");
    RunFolder folder(out);
    if (!folder.Prepare(
            {},
            {"sweep.csv", "summary.txt", kSweepPlotScript, kSweepPlotData, kSweepPicture, "cases"},
            why))
        return Refuse(why);
    const fs::path casesFolder = out / "cases";
    fs::create_directories(casesFolder, error);
    if (error) {
        folder.Abandon();
        return Refuse("cannot make " + casesFolder.string() + ": " + error.message());
    }
    // The scenario's own settings file beside the cases' scenarios, under a name of the sweep's
    // own: the case reads its cab keys there even when --settings gives the plug-in another.
    std::optional<std::string> settingsName;
    if (base.run.settingsFile) {
        settingsName = "settings.dat";
        if (!WriteWholeFile(casesFolder / *settingsName, settingsBytes, why)) {
            folder.Abandon();
            return Refuse(why);
        }
    }

    // The cases, each in a process of its own: a plug-in keeps its state in its module, and a
    // crash must stay in its case.
    const unsigned cores = std::max(1u, platform::ProcessorCount());
    const std::size_t jobs = std::min<std::size_t>(
        {request.sweep.jobs > 0 ? static_cast<std::size_t>(request.sweep.jobs) : cores, cases,
         platform::kMaxWaitedPrograms});
    Progress progress;
    progress.total = cases;
    progress.shown = platform::ErrorIsTerminal();
    std::vector<CaseRow> rows(cases);
    std::vector<std::string> lost;
    const auto started = std::chrono::steady_clock::now();
    const std::string selfPath = self, pluginPath = plugin.string(),
                      frames = std::to_string(request.limits.maxFrames),
                      traceMb = std::to_string(request.limits.maxTraceMb),
                      maxS = ValueText(request.maxS), settingsPath = settings.string();
    const auto fileOf = [&](std::size_t i, const char* ending) {
        return casesFolder / (CaseFolderName(i) + ending);
    };
    // Starts case i; false, with the row saying why, when it could not be started.
    const auto start = [&](std::size_t i, std::intptr_t& program) {
        CaseRow& row = rows[i];
        std::string caseText, trouble;
        const fs::path scenarioFile = fileOf(i, ".toml");
        if (!tree.CaseText(plan[i].values, settingsName, caseText, trouble) ||
            !WriteWholeFile(scenarioFile, caseText, trouble)) {
            row.reason = trouble;
            return false;
        }
        const std::string scenarioPath = scenarioFile.string(),
                          outPath = (out / CaseFolderName(i)).string(),
                          resultPath = fileOf(i, ".result").string(),
                          outputPath = fileOf(i, ".out").string();
        std::vector<const char*> argv = {selfPath.c_str(),
                                         scenarioPath.c_str(),
                                         "--plugin",
                                         pluginPath.c_str(),
                                         "--out",
                                         outPath.c_str(),
                                         "--no-plot",
                                         "--case-result",
                                         resultPath.c_str(),
                                         "--max-frames",
                                         frames.c_str(),
                                         "--max-trace-mb",
                                         traceMb.c_str()};
        if (request.maxS > 0.0) argv.insert(argv.end(), {"--max-s", maxS.c_str()});
        if (!settings.empty()) argv.insert(argv.end(), {"--settings", settingsPath.c_str()});
        argv.push_back(nullptr);
        char said[512];
        program = platform::StartProgram(argv.data(), outputPath.c_str(), said, sizeof said);
        if (program == -1) row.reason = said;
        return program != -1;
    };
    // Case i has ended with the status: its row, and its files kept or removed.
    const auto finish = [&](std::size_t i, int status, const std::string& said) {
        CaseRow& row = rows[i];
        const fs::path runFolder = out / CaseFolderName(i), outputFile = fileOf(i, ".out");
        row.exitStatus = status;
        ReadCase(shapes[plan[i].shape], ReadSmall(fileOf(i, ".result"), 1u << 20), row);
        if (status < 0 || (status != 0 && status != 1 && !row.hasResult)) {
            // Ended without its result: crashed, stopped, or ran out of time.
            row.outcome =
                status == platform::kTimedOut ? CaseOutcome::TimedOut : CaseOutcome::Crashed;
            const std::string words = LastWords(outputFile);
            if (!said.empty() && status == platform::kTimedOut)
                row.reason = said;
            else if (!words.empty())
                row.reason = words;
            else if (!said.empty())
                row.reason = said;
            else if (row.reason.empty())
                row.reason = "ended with exit status " + std::to_string(status);
        } else if (status == 3 || !row.finished) {
            row.outcome = CaseOutcome::Incomplete;
            const std::string words = LastWords(outputFile);
            row.reason = words.empty() ? "its record is incomplete" : words;
        } else if (status == 1 || !row.AllHeld()) {
            row.outcome = CaseOutcome::Failed;
        } else {
            row.outcome = CaseOutcome::Met;
        }
        std::error_code ignored;
        fs::remove(fileOf(i, ".toml"), ignored);
        fs::remove(fileOf(i, ".result"), ignored);
        if (row.outcome == CaseOutcome::Met && !request.sweep.keepAll) {
            fs::remove_all(runFolder, ignored);
            fs::remove(outputFile, ignored);
        } else {
            // What the case printed goes with its run (or stands for it, when it made none).
            fs::create_directories(runFolder, ignored);
            fs::rename(outputFile, runFolder / "output.txt", ignored);
            if (ignored && fs::exists(outputFile))
                lost.push_back("cannot keep what " + CaseFolderName(i) +
                               " printed: " + ignored.message());
            row.kept = true;
        }
        progress.Count(row.outcome == CaseOutcome::Met);
    };

    struct Running {
        std::size_t index;
        std::intptr_t program;
        std::chrono::steady_clock::time_point deadline;
    };
    std::vector<Running> running;
    std::vector<std::intptr_t> programs;
    const auto caseTime = std::chrono::seconds(request.sweep.caseSeconds);
    std::size_t next = 0;
    std::optional<CatchingStop> catching(std::in_place);
    while ((next < cases && !stopAsked) || !running.empty()) {
        while (running.size() < jobs && next < cases && !stopAsked) {
            const std::size_t i = next++;
            std::intptr_t program = -1;
            if (start(i, program))
                running.push_back({i, program, std::chrono::steady_clock::now() + caseTime});
            else
                finish(i, -1, "");
        }
        if (running.empty()) continue;
        programs.clear();
        for (const Running& each : running)
            programs.push_back(each.program);
        const int ended = platform::WaitForAnyProgram(programs.data(), programs.size(), 200);
        if (ended >= 0) {
            const Running done = running[static_cast<std::size_t>(ended)];
            running.erase(running.begin() + ended);
            char said[512];
            const int status = platform::EndedProgramStatus(done.program, said, sizeof said);
            finish(done.index, status, said);
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        for (std::size_t r = 0; r < running.size();) {
            if (now < running[r].deadline) {
                ++r;
                continue;
            }
            platform::StopProgram(running[r].program);
            finish(running[r].index, platform::kTimedOut,
                   "ran longer than " + std::to_string(request.sweep.caseSeconds) +
                       " s and was stopped (--case-seconds)");
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(r));
        }
    }
    catching.reset();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (progress.shown) std::fputc('\n', stderr);
    for (std::size_t i = next; i < cases; ++i)
        rows[i].outcome = CaseOutcome::NotRun;
    if (next < cases)
        lost.push_back("the sweep was interrupted after " + std::to_string(next) + " of " +
                       std::to_string(cases) + " cases; sweep.csv says which did not run");
    fs::remove_all(casesFolder, error);

    SweepSummary summary;
    summary.axes = axes;
    summary.plan = &plan;
    summary.shapes = &shapes;
    summary.rows = &rows;
    summary.folder = out;
    summary.wallS = wall;
    summary.jobs = jobs;
    if (!WriteSweepTable(summary, out / "sweep.csv", why)) lost.push_back(why);
    if (!request.noPlot) {
        std::string trouble;
        if (!WriteSweepPlot(summary, trouble) ||
            !RenderSweepPlot(out, trouble, request.plotSeconds))
            Say(stderr, "velqa3-sim: no picture: " + trouble);
    }
    const std::vector<std::string> lines = SummaryLines(summary);
    std::string all;
    for (const std::string& line : lines) {
        Say(stdout, line);
        all += line + "\n";
    }
    if (!WriteWholeFile(out / "summary.txt", all, why)) lost.push_back(why);
    if (lost.empty() && !folder.MarkComplete(why)) lost.push_back(why);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)
        lost.push_back(std::string("cannot write the standard output: ") + std::strerror(errno));
    for (const std::string& what : lost)
        Say(stderr, "velqa3-sim: " + what);
    if (!lost.empty()) return kIncomplete;
    const bool allMet = std::all_of(rows.begin(), rows.end(), [](const CaseRow& row) {
        return row.outcome == CaseOutcome::Met;
    });
    return allMet ? kAllHeld : kOneFailed;
}

} // namespace velqa3::sim
