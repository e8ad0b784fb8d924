// Scenario texts, paths and plug-ins written to break the stand-in host: none of them may run
// a command, leave a file behind or get a message that hides what is wrong.
#include "tests/sim/sim_harness.h"

#include <chrono>
#include <cstdlib>

namespace velqa3::sim::test {
namespace {

// A scenario that runs a few frames with the probe; name and extra tables vary per case.
std::string Short(const std::string& head, const std::string& tail = "") {
    return head + "\n[run]\nmax_s = 2\ninterval_ms = 50\n" + tail;
}

TEST_F(Host, RefusesControlCharactersInEveryTextNamingFileLineAndKey) {
    const std::string touch = "\\n!touch " + (root_ / "X").generic_string() + "\\n#";
    const struct {
        std::string scenario, where;
    } cases[] = {
        {"name = \"n" + touch + "\"", "scenario.toml:1: name: holds the control character U+000A"},
        {Short("", "[[signal]]\nposition = 10\nid = \"S" + touch + "\""),
         "scenario.toml:7: signal[1].id: holds the control character U+000A"},
        {Short("", "[[driver]]\nnote = \"tab\\there\""),
         "scenario.toml:6: driver[1].note: holds the control character U+0009"},
        {Short("", "[[expect]]\nmessage = \"bell\\u0007\""),
         "scenario.toml:6: expect[1].message: holds the control character U+0007"},
        {Short("", "[[driver]]\nnote = \"\\u202Eevil\""),
         "scenario.toml:6: driver[1].note: holds the control character U+202E"},
        {Short("", "[[driver]]\nat_time = \"10:00:00\\r\""),
         "scenario.toml:6: driver[1].at_time: holds the control character U+000D"},
        // A key is shown with its control characters spelt out, never raw.
        {Short("", "[[driver]]\n\"no\\u001b[2Jte\" = 1"),
         "scenario.toml:6: driver[1].no\\x1b[2Jte: unknown key"},
    };
    for (const auto& c : cases) {
        const SimRun run = Run(c.scenario);
        EXPECT_EQ(run.exitCode, 2) << c.scenario;
        EXPECT_TRUE(run.Said(c.where)) << run.errors;
        EXPECT_EQ(run.errors.find('\x1b'), std::string::npos) << run.errors;
        EXPECT_FALSE(fs::exists(run.folder)) << c.scenario;
    }
    EXPECT_FALSE(fs::exists(root_ / "X"));
}

TEST_F(Host, RefusesOverlongTextsWithoutEchoingThem) {
    const std::string note(3000, 'w');
    const SimRun run = Run(Short("", "[[driver]]\nnote = \"" + note + "\""));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.Said("scenario.toml:6: driver[1].note: is 3000 bytes long; texts may hold at "
                         "most 256"))
        << run.errors;
    EXPECT_EQ(run.errors.find("wwwwwwwwwwwwwwwwwwww"), std::string::npos);
}

// The parser builds keys and nested values by recursion: such files must be refused before it
// sees them, naming the place, and not end the program on its stack.
TEST_F(Host, RefusesKeysTooDeepAndLinesTooLongBeforeParsing) {
    std::string dotted, header;
    for (int i = 0; i < 150000; ++i)
        dotted += "a.";
    for (int i = 0; i < 400000; ++i)
        header += "h.";
    const struct {
        std::string scenario, said;
    } cases[] = {
        {"name = \"deep\"\n" + dotted + "a = 1\n",
         "scenario.toml:2: a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a...: the key has 150001 "
         "parts; keys may have at most 16"},
        {"[" + header + "h]\n",
         "scenario.toml:1: h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h...: the key has 400001 "
         "parts"},
        {"[run]\nmax_s = 1\n[[signal]]\nposition = 1\n"
         "id = {a = 1, b.c.d.e.f.g.h.i.j.k.l.m.n.o.p.q.r = 2}\n",
         "scenario.toml:5: b.c.d.e.f.g.h.i.j.k.l.m.n.o.p.q.r: the key has 17 parts"},
        {"x = " + std::string(2000, '[') + "\n",
         "scenario.toml:1: values are nested more than 16 deep"},
        {"# " + std::string(5000, '#') + "\nname = \"long\"\n",
         "scenario.toml:1: the line is 5002 bytes long; lines may hold at most 4096"},
    };
    for (const auto& c : cases) {
        const SimRun run = Run(c.scenario);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.Said(c.said)) << run.errors;
        EXPECT_FALSE(fs::exists(run.folder));
    }
    // Quoted dots, dots in values and strings, and a key just within the bound are the parser's.
    const SimRun fine = Run("name = \"a.b.c.d.e.f.g.h.i.j.k.l.m.n.o.p.q.r.s\"\n\"x.y.z\" = 1.5\n"
                            "a.b.c.d.e.f.g.h.i.j.k.l.m.n.o.p = '''\n.[.{.\n'''\n");
    EXPECT_TRUE(fine.Said(": unknown key")) << fine.errors;
    EXPECT_FALSE(fine.Said("parts")) << fine.errors;
}

TEST_F(Host, NoScenarioTextOrOutputPathBecomesACommand) {
    // Each would run touch through gnuplot's "!", a backquote, a macro or the shell.
    const std::string mark = (root_ / "X").generic_string();
    const std::string name = "a'b`touch " + mark + "` @x $(touch " + mark + ") \\\\";
    const std::string scenario =
        Short("name = \"" + name + "\"", "[[signal]]\nposition = 20\nid = \"S'`touch " + mark +
                                             "`\"\n[[driver]]\nnote = \"; touch " + mark + "\"");
    const fs::path outs[] = {
        root_ / "plain",
        root_ / ("o$(touch " + mark + ")"),
        root_ / ("o';touch " + mark + ";'\"`touch " + mark + "`"),
        root_ / ("o\n!touch " + mark + "\n"),
    };
    for (const fs::path& out : outs) {
        const SimRun run = Run(scenario, VELQA3_PROBE_PATH, {}, out);
        ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;
        EXPECT_TRUE(fs::exists(out / "run.png")) << out << run.errors;
        // Only the files the script names itself, relative to the run folder.
        const std::string script = ReadWholeFile(out / "plot.gp");
        EXPECT_NE(script.find("\nset output 'run.png'\n"), std::string::npos) << script;
        EXPECT_NE(script.find("\nplot 'trace.csv' "), std::string::npos) << script;
        EXPECT_EQ(script.find("\n!"), std::string::npos) << script;
        EXPECT_NE(script.find("\nset title 'a''b`touch"), std::string::npos) << script;
        EXPECT_FALSE(fs::exists(root_ / "X")) << out;
        EXPECT_FALSE(fs::exists(out / "X")) << out;
    }
}

// File names, command-line values and the plug-in's messages reach the terminal spelt out: an
// escape sequence in any of them could clear the screen or retitle the window of whoever reads.
TEST_F(Host, NothingFromANameAValueOrThePluginReachesTheTerminalRaw) {
    const std::string escape = "\x1b]0;owned\x07\x1b[2J";
    const std::string shown = "\\x1b]0;owned\\x07\\x1b[2J";
    std::vector<SimRun> runs;
    // The plug-in's message quotes its settings file's path, which holds the folder's name.
    runs.push_back(
        Run(Short("name = \"esc\""), VELQA3_PLUGIN_PATH, {"--no-plot"}, root_ / ("out" + escape)));
    EXPECT_TRUE(
        runs.back().Printed("plug-in message at 0.000 s: " + (root_ / "out").string() + shown))
        << runs.back().output;
    const fs::path named = root_ / ("s" + escape + ".toml");
    std::ofstream(named) << "nmae = 1\n";
    runs.push_back(RunFile(named));
    EXPECT_TRUE(runs.back().Said("s" + shown + ".toml:1: nmae: unknown key")) << runs.back().errors;
    runs.push_back(Run(Short(""), VELQA3_PROBE_PATH, {"--settings", (root_ / escape).string()}));
    EXPECT_TRUE(runs.back().Said(shown + ": no such file")) << runs.back().errors;
    runs.push_back(Run(Short(""), VELQA3_PROBE_PATH, {"--pace", escape}));
    EXPECT_TRUE(runs.back().Said(shown)) << runs.back().errors;
    runs.push_back(Run(Short(""), (root_ / ("p" + escape + ".so")).string()));
    EXPECT_TRUE(runs.back().Said("p" + shown + ".so: no such file")) << runs.back().errors;
    for (const SimRun& run : runs) {
        EXPECT_EQ(run.output.find('\x1b'), std::string::npos) << run.output;
        EXPECT_EQ(run.errors.find('\x1b'), std::string::npos) << run.errors;
    }
}

TEST_F(Host, APluginThatIsNoLibraryIsNamedAsTheUserGaveIt) {
    const struct {
        const char* file;
        std::string content, why;
    } cases[] = {
        {"text.so", "not a library", "not a library: a shared object begins with the ELF"},
        {"empty.so", "", "not a library: the file is empty"},
        {"broken.so",
         std::string("\x7f"
                     "ELF\x02\x01\x01",
                     7) +
             std::string(64, '\0'),
         ""},
    };
    for (const auto& c : cases) {
        const fs::path plugin = root_ / c.file;
        std::ofstream(plugin, std::ios::binary) << c.content;
        const SimRun run = Run(Short(""), plugin.string());
        EXPECT_EQ(run.exitCode, 2) << c.file;
        EXPECT_TRUE(run.Said("cannot load the plug-in " + plugin.string() + ": " + c.why))
            << run.errors;
        EXPECT_EQ(run.errors.find(run.folder.string()), std::string::npos) << run.errors;
        EXPECT_FALSE(fs::exists(run.folder)) << c.file;
    }
    const SimRun folder = Run(Short(""), root_.string());
    EXPECT_TRUE(folder.Said("cannot load the plug-in " + root_.string() + ": not a file"))
        << folder.errors;
}

TEST_F(Host, RefusesAScenarioThatIsNoFileOrTooLargeAtOnce) {
    const fs::path large = root_ / "large.toml";
    {
        std::ofstream out(large, std::ios::binary);
        const std::string line(1023, '#');
        for (int i = 0; i <= 4096; ++i)
            out << line << '\n';
    }
    const std::pair<fs::path, std::string> cases[] = {
        {root_, "it is a folder, not a file"},
        {"/dev/zero", "it is not a regular file"},
        {root_ / "absent.toml", "no such file"},
        {large, "it is 4195328 bytes long, more than the limit of 4194304 bytes"},
    };
    for (const auto& [file, why] : cases) {
        const SimRun run = RunFile(file);
        EXPECT_EQ(run.exitCode, 2) << file;
        EXPECT_TRUE(run.Said(file.string() + ": cannot be read as a scenario: " + why))
            << run.errors;
        EXPECT_FALSE(fs::exists(run.folder)) << file;
    }
    const SimRun settings = Run("[run]\nsettings = \"/dev/zero\"\n");
    EXPECT_EQ(settings.exitCode, 2);
    EXPECT_TRUE(settings.Said("scenario.toml:2: run.settings: /dev/zero: it is not a regular"))
        << settings.errors;
}

TEST_F(Host, RefusesARunTooLargeBeforeItStartsNamingTheOptionThatRaisesTheLimit) {
    const std::string week = "[run]\ninterval_ms = 1\nmax_s = 604800\n";
    const SimRun frames = Run(week);
    EXPECT_EQ(frames.exitCode, 2);
    EXPECT_TRUE(frames.Said("scenario.toml:3: run.max_s: the run would take up to 604800000 "
                            "frames, more than the limit of 50000000;"))
        << frames.errors;
    EXPECT_TRUE(frames.Said("--max-frames")) << frames.errors;
    EXPECT_FALSE(fs::exists(frames.folder));

    const SimRun trace = Run(week, VELQA3_PROBE_PATH, {"--no-plot", "--max-frames", "1000000000"});
    EXPECT_EQ(trace.exitCode, 2);
    EXPECT_TRUE(trace.Said("run.max_s: the trace would take about 74982 MB, more than the limit "
                           "of 1024 MB;"))
        << trace.errors;
    EXPECT_TRUE(trace.Said("period_ms")) << trace.errors;
    EXPECT_TRUE(trace.Said("--max-trace-mb")) << trace.errors;
    EXPECT_FALSE(fs::exists(trace.folder));

    // The smallest interval that jitter allows counts; a raised limit lets the run go.
    const std::string jittered = "[run]\ninterval_ms = 50\njitter_ms = 40\nmax_s = 2\n";
    EXPECT_EQ(Run(jittered, VELQA3_PROBE_PATH, {"--no-plot", "--max-frames", "199"}).exitCode, 2);
    EXPECT_EQ(Run(jittered, VELQA3_PROBE_PATH, {"--no-plot", "--max-frames", "200"}).exitCode, 0);
}

// What a scenario places is drawn, and drawing takes time: the route and the traced entries are
// bounded, and the picture gets a bounded time of its own.
TEST_F(Host, BoundsWhatIsTracedAndPlacedAndTheTimeThePictureTakes) {
    std::string beacons;
    for (int i = 0; i <= 5000; ++i)
        beacons += "[[beacon]]\nposition = " + std::to_string(i) + "\ntype = 0\n";
    std::string changes = "[[signal]]\nposition = 10\nchange = [";
    for (int i = 0; i <= 64; ++i)
        changes += "{at_s = " + std::to_string(i) + ", aspect = 1}, ";
    changes += "]\n";
    const std::pair<std::string, std::string> cases[] = {
        {"[trace]\npanel = [5, 6, 5]\n", "scenario.toml:2: trace.panel[3]: 5 is listed twice"},
        {"[trace]\nsound = [1, 1]\n", "trace.sound[2]: 1 is listed twice"},
        {beacons, "scenario.toml:15001: beacon[5001]: a scenario may have at most 5000 [[beacon]] "
                  "tables"},
        {changes, "signal[1].change: a signal may change at most 64 times"},
    };
    for (const auto& [scenario, said] : cases) {
        const SimRun run = Run(scenario);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.Said(said)) << run.errors.substr(0, 300);
    }

    // A gnuplot that never ends is stopped, and the run says so.
    const fs::path bin = root_ / "bin";
    fs::create_directories(bin);
    std::ofstream(bin / "gnuplot") << "#!/bin/sh\nexec sleep 60\n";
    fs::permissions(bin / "gnuplot", fs::perms::owner_all);
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
    const auto started = std::chrono::steady_clock::now();
    const SimRun run = Run(Short(""), VELQA3_PROBE_PATH, {"--plot-seconds", "1"});
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(run.Said("no picture: gnuplot did not finish within 1 s and was stopped (allow "
                         "it longer with --plot-seconds)"))
        << run.errors;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_FALSE(fs::exists(run.folder / "run.png"));
}

} // namespace
} // namespace velqa3::sim::test
