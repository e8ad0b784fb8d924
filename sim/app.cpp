#include "sim/app.h"

#include "sim/terminal.h"

#include "platform/platform.h"
#include "sim/checks.h"
#include "sim/host_run.h"
#include "sim/message_capture.h"
#include "sim/plot.h"
#include "sim/plugin_library.h"
#include "sim/recorder.h"
#include "sim/report.h"
#include "sim/run_folder.h"
#include "sim/run_guard.h"
#include "sim/run_limits.h"
#include "sim/scenario.h"
#include "sim/sweep.h"
#include "text/shown.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace velqa3::sim {

namespace fs = std::filesystem;

namespace {

struct Options {
    fs::path scenario;
    fs::path plugin;
    fs::path out;
    fs::path settings; // instead of the scenario's own settings file
    bool noPlot = false;
    double pace = 0.0; // 0: as fast as it goes
    double maxS = 0.0; // instead of the scenario's max_s, when above 0
    bool hourly = false;
    int plotSeconds = kPlotSeconds;
    RunLimits limits;
    SweepOptions sweep;
};

// The files a run writes into its folder besides the copies of its inputs.
const std::vector<std::string> kOutputs = {"trace.csv",         "events.log", "summary.txt",
                                           "plugin-stderr.txt", kPlotScript,  kPlotPicture,
                                           kReportPage};

// A plug-in (and a companion) is read whole before anything is copied.
constexpr std::uintmax_t kMaxLibraryBytes = 256u << 20;

std::string Seconds(std::int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string Metres(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f m", value);
    return text;
}

std::string Summary(const Scenario& scenario, const RunOutcome& run, const Checks& checks,
                    int passed, int failed, int unchecked) {
    char text[512];
    const std::string stop = run.finalSpeed == 0.0 ? "stopped at " + Metres(run.finalLocation)
                                                   : "still moving at " + Metres(run.finalLocation);
    std::snprintf(
        text, sizeof text,
        "%s: %.1f m in %.1f s (%lld frames), %s, top speed %.1f km/h, %d "
        "intervention%s (highest brake output %d), %zu message%s, %zu beacon%s without "
        "effect; %s; expectations: "
        "%d passed, %d failed%s",
        scenario.name.c_str(), run.distance, run.elapsedS, static_cast<long long>(run.frames),
        stop.c_str(), checks.maxSpeed(), checks.interventions(),
        checks.interventions() == 1 ? "" : "s", static_cast<int>(checks.maxBrake()),
        checks.messageCount(), checks.messageCount() == 1 ? "" : "s", checks.idleBeaconCount(),
        checks.idleBeaconCount() == 1 ? "" : "s", run.endReason.c_str(), passed, failed,
        unchecked > 0 ? (", " + std::to_string(unchecked) + " not checkable on this build").c_str()
                      : "");
    return text;
}

// Why a file cannot be a plug-in library of this platform, or empty. The loader's own reason
// for a text file is obscure, and it would name the copy in the run folder.
std::string LibraryProblem(const fs::path& plugin) {
    std::error_code error;
    const fs::file_status status = fs::status(plugin, error);
    if (!fs::exists(status)) return "no such file";
    if (!fs::is_regular_file(status)) return "not a file";
    char head[4] = {};
    std::ifstream in(plugin, std::ios::binary);
    if (!in.read(head, sizeof head))
        return in.gcount() == 0 && fs::file_size(plugin, error) == 0
                   ? "not a library: the file is empty"
                   : "not a library: the file is too short";
#if defined(_WIN32)
    if (head[0] != 'M' || head[1] != 'Z')
        return "not a library: a Windows DLL begins with \"MZ\", this file does not";
#else
    if (head[0] != '\x7f' || head[1] != 'E' || head[2] != 'L' || head[3] != 'F')
        return "not a library: a shared object begins with the ELF signature, this file does not";
#endif
    return "";
}

fs::path DefaultPlugin(const char* argv0) {
    const fs::path self(argv0 != nullptr ? argv0 : "");
    return self.parent_path() / (std::string("velqa3") + platform::LibraryExtension());
}

int Run(const Options& options) {
    Scenario scenario;
    ScenarioError problem;
    if (!ReadScenario(options.scenario, scenario, problem)) return Refuse(problem.Text());
    if (options.maxS > 0.0) scenario.run.maxS = options.maxS;
    if (const std::string tooLarge = RunTooLarge(EstimateRun(scenario), options.limits);
        !tooLarge.empty())
        return Refuse(
            ScenarioError{options.scenario.string(), scenario.run.maxSLine, "run.max_s", tooLarge}
                .Text());

    if (!options.settings.empty()) {
        if (const std::string trouble = FileProblem(options.settings, kMaxSettingsBytes);
            !trouble.empty())
            return Refuse("cannot use the settings file " + options.settings.string() + ": " +
                          trouble);
    }
    if (const std::string trouble = LibraryProblem(options.plugin); !trouble.empty())
        return Refuse("cannot load the plug-in " + options.plugin.string() + ": " + trouble);

    // Every input in memory before the run folder is touched: any of them may lie inside it.
    // The plug-in reads the settings file named after itself, beside itself, and loads its
    // companions from its own folder, so those beside the library the user gave come along, as
    // they would in a vehicle's folder.
    std::vector<Input> inputs;
    const auto take = [&](const fs::path& source, std::string copyName, std::uintmax_t limit,
                          const char* what) {
        Input input{source, std::move(copyName), {}};
        std::string why;
        if (!ReadInput(source, limit, input.bytes, why))
            return Refuse("cannot read " + std::string(what) + " " + source.string() + ": " + why),
                   false;
        inputs.push_back(std::move(input));
        return true;
    };
    if (!take(options.plugin, options.plugin.filename().string(), kMaxLibraryBytes, "the plug-in"))
        return kNothingRan;
    const fs::path settingsFile =
        !options.settings.empty() ? options.settings : scenario.run.settingsFile.value_or("");
    if (!settingsFile.empty() && !take(settingsFile, options.plugin.stem().string() + ".dat",
                                       kMaxSettingsBytes, "the settings file"))
        return kNothingRan;
    if (!take(options.scenario, "scenario.toml", kMaxScenarioBytes, "the scenario"))
        return kNothingRan;
    for (const char* companion : {"Norvelid", "Tameo"}) {
        const std::string name = companion + std::string(platform::LibraryExtension());
        const fs::path beside = options.plugin.parent_path() / name;
        std::error_code error;
        if (fs::is_regular_file(beside, error) &&
            !take(beside, name, kMaxLibraryBytes, "the companion"))
            return kNothingRan;
    }

    RunFolder folder(options.out.empty() ? fs::path("runs") / FolderName(scenario.name)
                                         : options.out);
    std::string why;
    if (!folder.Prepare(inputs, kOutputs, why)) return Refuse(why);
    if (!folder.CopyIn(inputs, why)) {
        folder.Abandon();
        return Refuse("cannot copy the plug-in and its settings into " + folder.path().string() +
                      ": " + why);
    }
    inputs.clear();

    MessageCapture capture;
    const bool capturing = capture.Begin((folder.path() / "plugin-stderr.txt").string());
    Recorder recorder(scenario, options.limits.maxTraceMb << 20);
    if (!recorder.Open((folder.path() / "trace.csv").string(),
                       (folder.path() / "events.log").string())) {
        capture.End();
        why = recorder.Problem();
        recorder.Close();
        folder.Abandon();
        return Refuse(why);
    }
    Checks checks(scenario);
#if defined(_WIN32)
    checks.MessagesUnseen();
#endif
    if (!capturing) {
        // Without the capture file the messages cannot be read back; say so and never pass
        // a message expectation blind.
        Say(stderr, "velqa3-sim: warning: cannot capture the plug-in's messages");
        checks.MessagesUnseen();
    }
    PluginLibrary plugin;
    HostRun host(scenario, plugin.api, recorder, checks, capturing ? &capture : nullptr);
    host.pace = options.pace;
    host.hourly = options.hourly;
    host.stop = RunGuard::StopAsked();
    host.stopName = RunGuard::StopName;
    // From here a crash, an exit() or Ctrl-C is a reported end of the run, its record kept.
    RunGuard guard(host, recorder, capturing ? &capture : nullptr, folder.path().string());
    guard.Phase("while the plug-in was being loaded");
    const fs::path library = folder.path() / options.plugin.filename();
    const std::string copy = fs::absolute(library).string();
    if (!plugin.Open(copy, why)) {
        guard.Release();
        capture.End();
        recorder.Close();
        folder.Abandon();
        // The user knows the file they named, not the copy in the run folder.
        for (std::size_t at; (at = why.find(copy)) != std::string::npos;)
            why.replace(at, copy.size(), options.plugin.string());
        return Refuse(why);
    }
    guard.Phase(nullptr);
    const auto started = std::chrono::steady_clock::now();
    const RunOutcome run = host.Run();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    guard.Phase("while the plug-in was being unloaded");
    plugin.Close();
    guard.Release();
    host.CollectMessages();
    capture.End();

    // What could not be written makes the run's record incomplete: each is said, and the exit
    // code says it too.
    std::vector<std::string> lost;
    if (!recorder.Close()) lost.push_back(recorder.Problem());
    if (run.interrupted)
        lost.push_back("the run was interrupted at " + Seconds(host.elapsedMs()) +
                       " of simulated time; its record holds the run up to there");
    if (recorder.traceCutMs() >= 0)
        lost.push_back("trace.csv stops at " + Seconds(recorder.traceCutMs()) +
                       ": it reached its limit of " + std::to_string(options.limits.maxTraceMb) +
                       " MB (raise it with --max-trace-mb)");

    int passed = 0, failed = 0, unchecked = 0;
    for (const Verdict& v : checks.Judge()) {
        ++(!v.checkable ? unchecked : v.passed ? passed : failed);
        Say(stdout, std::string(!v.checkable ? "NOT CHECKED"
                                : v.passed   ? "ok"
                                             : "FAILED") +
                        ": " + v.text);
    }
    if (!options.sweep.caseResult.empty() &&
        !WriteCaseResult(options.sweep.caseResult, scenario, run, checks.Judge(),
                         folder.path() / "trace.csv", why))
        lost.push_back(why);
    for (const std::string& warning : run.warnings)
        Say(stderr, "velqa3-sim: warning: " + warning);
    const std::string summary = Summary(scenario, run, checks, passed, failed, unchecked);
    Say(stdout, summary);
    if (!WriteWholeFile(folder.path() / "summary.txt", summary + "\n", why)) lost.push_back(why);
    std::printf("simulated %.1f s in %.3f s of wall time (%.0f times real time)\n", run.elapsedS,
                wall, wall > 0.0 ? run.elapsedS / wall : 0.0);

    const fs::path script = folder.path() / kPlotScript, picture = folder.path() / kPlotPicture;
    std::error_code error;
    if (!options.noPlot) {
        std::string trouble;
        if (!WritePlotScript(scenario, recorder, run, folder.path(), trouble)) {
            lost.push_back(trouble);
            Say(stderr, "velqa3-sim: no picture: " + trouble);
        } else if (!RenderPlot(folder.path(), trouble, options.plotSeconds)) {
            Say(stderr,
                "velqa3-sim: no picture: " + trouble + "; the script is " + script.string());
        }
    }
    // The report needs no program beside velqa3-sim: every run has one.
    std::string trouble;
    const bool report = WriteReport(scenario, recorder, run, folder.path(), trouble);
    if (!report) lost.push_back(trouble);
    Say(stdout, "run folder " + folder.path().string() + ": trace.csv, events.log, summary.txt" +
                    (report ? ", report.html" : "") +
                    (!options.noPlot && fs::exists(picture, error) ? ", run.png" : ""));
    if (lost.empty() && !folder.MarkComplete(why)) lost.push_back(why);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)
        lost.push_back(std::string("cannot write the standard output: ") + std::strerror(errno));
    for (const std::string& what : lost)
        Say(stderr, "velqa3-sim: " + what);
    if (!lost.empty()) {
        Say(stderr, "velqa3-sim: the run's record in " + folder.path().string() + " is incomplete");
        return kIncomplete;
    }
    return failed > 0 ? kOneFailed : kAllHeld;
}

} // namespace

int SimMain(int argc, char** argv) {
    Options options;
    CLI::App app{"velqa3-sim: runs a train-protection plug-in through a scripted run, as the "
                 "simulator would",
                 "velqa3-sim"};
    app.footer("Exit codes: 0 every expectation held; 1 one failed; 2 the scenario, the plug-in "
               "or the run folder could not be used, nothing ran; 3 the run's record is "
               "incomplete (a file could not be written, the trace reached its limit, the run "
               "was interrupted, or the plug-in crashed or ended the process), and the error "
               "output says why.");
    // Paths may begin with "/" (wine hands Unix paths through): never read them as options.
    app.allow_windows_style_options(false);
    app.add_option("scenario", options.scenario, "scenario file (TOML)")->required();
    app.add_option("--plugin", options.plugin,
                   "plug-in library to load (default: velqa3 beside velqa3-sim)");
    app.add_option("--out", options.out, "run folder (default: runs/<scenario name>)");
    app.add_flag("--no-plot", options.noPlot, "do not draw run.png");
    app.add_option("--settings", options.settings,
                   "settings file for the plug-in instead of the scenario's own");
    app.add_option("--pace", options.pace,
                   "run FACTOR times as fast as the wall clock, 1 for real time, to watch the run "
                   "live (default: as fast as possible)")
        ->check(CLI::Range(0.001, 1e6));
    app.add_option("--max-s", options.maxS,
                   "end the run after this many simulated seconds instead of the scenario's "
                   "max_s (at most a week)")
        ->check(CLI::Range(0.001, 7 * 86400.0));
    app.add_option("--plot-seconds", options.plotSeconds,
                   "stop drawing run.png after this many seconds")
        ->capture_default_str()
        ->check(CLI::Range(1, 3600));
    app.add_flag("--hourly", options.hourly,
                 "print the resident memory and the frames at every simulated hour");
    app.add_option("--max-frames", options.limits.maxFrames,
                   "refuse a run that could take more frames than this")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    app.add_option("--max-trace-mb", options.limits.maxTraceMb,
                   "refuse a run whose trace could grow beyond this many MB")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    AddSweepOptions(app, options.sweep);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& fault) {
        // The library quotes the arguments it could not take: they are shown, not obeyed.
        std::ostringstream out, err;
        const int code = app.exit(fault, out, err);
        std::fputs(out.str().c_str(), stdout); // the usage: this program's own words
        std::istringstream lines(err.str());
        for (std::string line; std::getline(lines, line);)
            Say(stderr, line);
        return code == 0 ? kAllHeld : kNothingRan;
    }
    if (options.plugin.empty()) options.plugin = DefaultPlugin(argc > 0 ? argv[0] : nullptr);
    try {
        if (options.sweep.caseResult.empty() &&
            (!options.sweep.vary.empty() || ScenarioHasSweep(options.scenario))) {
            if (options.pace > 0.0 || options.hourly)
                return Refuse("--pace and --hourly watch a single run, not a sweep");
            return RunSweep({options.scenario, options.plugin, options.out, options.settings,
                             options.maxS, options.noPlot, options.plotSeconds, options.limits,
                             options.sweep});
        }
        return Run(options);
    } catch (const std::exception& fault) {
        return Refuse(std::string("stopped: ") + fault.what());
    }
}

} // namespace velqa3::sim
