#include "sim/app.h"

#include "platform/platform.h"
#include "sim/checks.h"
#include "sim/host_run.h"
#include "sim/message_capture.h"
#include "sim/plot.h"
#include "sim/plugin_library.h"
#include "sim/recorder.h"
#include "sim/run_limits.h"
#include "sim/scenario.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace velqa3::sim {

namespace fs = std::filesystem;

namespace {

// Marks a folder as one of ours: only such a folder is emptied for a new run. It says
// "complete" once every output of the run has been written.
constexpr const char* kMarker = ".velqa3-sim-run";

struct Options {
    fs::path scenario;
    fs::path plugin;
    fs::path out;
    fs::path settings; // instead of the scenario's own settings file
    bool noPlot = false;
    double pace = 0.0; // 0: as fast as it goes
    double maxS = 0.0; // instead of the scenario's max_s, when above 0
    bool hourly = false;
    RunLimits limits;
};

int Refuse(const std::string& message) {
    std::fprintf(stderr, "velqa3-sim: %s\n", message.c_str());
    return 2;
}

// Empties a previous run folder, or makes a new one; refuses a folder that holds other files.
bool PrepareFolder(const fs::path& folder, std::string& problem) {
    std::error_code error;
    if (fs::exists(folder, error)) {
        if (!fs::is_directory(folder, error)) {
            problem = "--out " + folder.string() + " is a file, not a folder";
            return false;
        }
        const bool empty = fs::is_empty(folder, error);
        if (!empty && !fs::exists(folder / kMarker, error)) {
            problem = "--out " + folder.string() +
                      " holds files that are not a run of velqa3-sim; choose another folder";
            return false;
        }
        for (const auto& entry : fs::directory_iterator(folder, error))
            fs::remove_all(entry, error);
    }
    fs::create_directories(folder, error);
    std::ofstream marker(folder / kMarker);
    if (error || !(marker << "incomplete\n")) {
        problem = "cannot make the run folder " + folder.string();
        return false;
    }
    return true;
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
    std::snprintf(text, sizeof text,
                  "%s: %.1f m in %.1f s (%lld frames), %s, top speed %.1f km/h, %d "
                  "intervention%s (highest brake output %d), %zu message%s; %s; expectations: "
                  "%d passed, %d failed%s",
                  scenario.name.c_str(), run.distance, run.elapsedS,
                  static_cast<long long>(run.frames), stop.c_str(), checks.maxSpeed(),
                  checks.interventions(), checks.interventions() == 1 ? "" : "s",
                  static_cast<int>(checks.maxBrake()), checks.messageCount(),
                  checks.messageCount() == 1 ? "" : "s", run.endReason.c_str(), passed, failed,
                  unchecked > 0
                      ? (", " + std::to_string(unchecked) + " not checkable on this build").c_str()
                      : "");
    return text;
}

// The scenario's name as a folder name: nothing that could climb out of runs/.
std::string FolderName(const std::string& name) {
    std::string folder;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        folder += plain ? c : '_';
    }
    return folder.empty() ? "run" : folder;
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
    std::error_code error;
    if (const std::string trouble = LibraryProblem(options.plugin); !trouble.empty())
        return Refuse("cannot load the plug-in " + options.plugin.string() + ": " + trouble);
    const fs::path folder =
        options.out.empty() ? fs::path("runs") / FolderName(scenario.name) : options.out;
    std::string why;
    if (!PrepareFolder(folder, why)) return Refuse(why);

    // The plug-in reads the settings file named after itself, beside itself.
    const fs::path library = folder / options.plugin.filename();
    fs::copy_file(options.plugin, library, error);
    const fs::path settingsFile =
        !options.settings.empty() ? options.settings : scenario.run.settingsFile.value_or("");
    if (!error && !settingsFile.empty())
        fs::copy_file(settingsFile, folder / (options.plugin.stem().string() + ".dat"), error);
    if (!error) fs::copy_file(options.scenario, folder / "scenario.toml", error);
    // The plug-in loads its companions from its own folder, so those that lie beside the
    // library the user gave come along, as they would in a vehicle's folder.
    for (const char* companion : {"Norvelid", "Tameo"}) {
        const std::string name = companion + std::string(platform::LibraryExtension());
        const fs::path beside = options.plugin.parent_path() / name;
        if (!error && fs::is_regular_file(beside)) fs::copy_file(beside, folder / name, error);
    }
    if (error) {
        fs::remove_all(folder, error);
        return Refuse("cannot copy the plug-in and its settings into " + folder.string());
    }

    MessageCapture capture;
    const bool capturing = capture.Begin((folder / "plugin-stderr.txt").string());
    PluginLibrary plugin;
    const std::string copy = fs::absolute(library).string();
    if (!plugin.Open(copy, why)) {
        capture.End();
        fs::remove_all(folder, error);
        // The user knows the file they named, not the copy in the run folder.
        for (std::size_t at; (at = why.find(copy)) != std::string::npos;)
            why.replace(at, copy.size(), options.plugin.string());
        return Refuse(why);
    }
    Recorder recorder(scenario);
    Checks checks(scenario);
#if defined(_WIN32)
    checks.MessagesUnseen();
#endif
    if (!capturing) {
        // Without the capture file the messages cannot be read back; say so and never pass
        // a message expectation blind.
        std::fprintf(stderr, "velqa3-sim: warning: cannot capture the plug-in's messages\n");
        checks.MessagesUnseen();
    }
    if (!recorder.Open((folder / "trace.csv").string(), (folder / "events.log").string())) {
        plugin.Close();
        capture.End();
        recorder.Close();
        fs::remove_all(folder, error);
        return Refuse("cannot write the trace into " + folder.string());
    }
    HostRun host(scenario, plugin.api, recorder, checks, capturing ? &capture : nullptr);
    host.pace = options.pace;
    host.hourly = options.hourly;
    const auto started = std::chrono::steady_clock::now();
    const RunOutcome run = host.Run();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    plugin.Close();
    host.CollectMessages();
    capture.End();
    const bool written = recorder.Close();

    int passed = 0, failed = 0, unchecked = 0;
    for (const Verdict& v : checks.Judge()) {
        ++(!v.checkable ? unchecked : v.passed ? passed : failed);
        std::printf("%s: %s\n",
                    !v.checkable ? "NOT CHECKED"
                    : v.passed   ? "ok"
                                 : "FAILED",
                    v.text.c_str());
    }
    for (const std::string& warning : run.warnings)
        std::fprintf(stderr, "velqa3-sim: warning: %s\n", warning.c_str());
    const std::string summary = Summary(scenario, run, checks, passed, failed, unchecked);
    std::printf("%s\n", summary.c_str());
    std::ofstream(folder / "summary.txt") << summary << "\n";
    std::printf("simulated %.1f s in %.3f s of wall time (%.0f times real time)\n", run.elapsedS,
                wall, wall > 0.0 ? run.elapsedS / wall : 0.0);

    const fs::path script = folder / kPlotScript, picture = folder / kPlotPicture;
    if (!options.noPlot) {
        std::string trouble;
        if (!WritePlotScript(scenario, recorder, run, folder))
            std::fprintf(stderr, "velqa3-sim: no picture: cannot write %s\n",
                         script.string().c_str());
        else if (!RenderPlot(folder, trouble))
            std::fprintf(stderr, "velqa3-sim: no picture: %s; the script is %s\n", trouble.c_str(),
                         script.string().c_str());
    }
    std::printf("run folder %s: trace.csv, events.log, summary.txt%s\n", folder.string().c_str(),
                !options.noPlot && fs::exists(picture, error) ? ", run.png" : "");
    if (!written) return Refuse("the trace or the event log could not be written completely");
    std::ofstream(folder / kMarker) << "complete\n";
    return failed > 0 ? 1 : 0;
}

} // namespace

int SimMain(int argc, char** argv) {
    Options options;
    CLI::App app{"velqa3-sim: runs a train-protection plug-in through a scripted run, as the "
                 "simulator would",
                 "velqa3-sim"};
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
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& fault) {
        return app.exit(fault) == 0 ? 0 : 2;
    }
    if (options.plugin.empty()) options.plugin = DefaultPlugin(argc > 0 ? argv[0] : nullptr);
    try {
        return Run(options);
    } catch (const std::exception& fault) {
        return Refuse(std::string("stopped: ") + fault.what());
    }
}

} // namespace velqa3::sim
