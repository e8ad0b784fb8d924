// Scenario texts, paths and plug-ins written to break the stand-in host: none of them may run
// a command, leave a file behind or get a message that hides what is wrong.
#include "tests/sim/sim_harness.h"

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
         "scenario.toml:6: driver[1].no\\x1B[2Jte: unknown key"},
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
    const std::string note(5000, 'w');
    const SimRun run = Run(Short("", "[[driver]]\nnote = \"" + note + "\""));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.Said("scenario.toml:6: driver[1].note: is 5000 bytes long; texts may hold at "
                         "most 256"))
        << run.errors;
    EXPECT_EQ(run.errors.find("wwwwwwwwwwwwwwwwwwww"), std::string::npos);
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
        const std::string script = Read(out / "plot.gp");
        EXPECT_NE(script.find("\nset output 'run.png'\n"), std::string::npos) << script;
        EXPECT_NE(script.find("\nplot 'trace.csv' "), std::string::npos) << script;
        EXPECT_EQ(script.find("\n!"), std::string::npos) << script;
        EXPECT_NE(script.find("\nset title 'a''b`touch"), std::string::npos) << script;
        EXPECT_FALSE(fs::exists(root_ / "X")) << out;
        EXPECT_FALSE(fs::exists(out / "X")) << out;
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

} // namespace
} // namespace velqa3::sim::test
