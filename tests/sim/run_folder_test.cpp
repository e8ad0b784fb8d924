// The run folder against the files a user gives: the settings of the last run edited in place,
// a plug-in or a scenario kept in the run folder. None of them may be lost, whether the run goes
// or is refused, and a folder the run did not make is never removed.
#include "tests/sim/sim_harness.h"

namespace velqa3::sim::test {
namespace {

const std::string kShort = "name = \"inputs\"\n[run]\nmax_s = 1\ninterval_ms = 100\n";

void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

TEST_F(Host, InputsInsideTheRunFolderOutliveTheRunThatEmptiesIt) {
    const fs::path out = root_ / "out";
    ASSERT_EQ(Run(kShort, VELQA3_PROBE_PATH, {"--no-plot"}, out).exitCode, 0);
    ASSERT_TRUE(fs::exists(out / "trace.csv"));

    // A file of the user's own in the folder of a run is not the run's to remove.
    Write(out / "notes.txt", "braked late at 640 m\n");
    // The settings copied there last time, edited by the user and given back.
    const fs::path settings = out / "probe.dat";
    Write(settings, "[TRAIN]\nDefault = 2 ; edited\n");
    SimRun run =
        Run(kShort, VELQA3_PROBE_PATH, {"--no-plot", "--settings", settings.string()}, out);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(ReadWholeFile(settings), "[TRAIN]\nDefault = 2 ; edited\n");
    EXPECT_EQ(ReadWholeFile(out / "notes.txt"), "braked late at 640 m\n");

    // The plug-in, a settings file of another name and the scenario, all inside the folder.
    const fs::path plugin = out / "probe.so";
    const fs::path mine = out / "mine.dat", scenario = out / "kept.toml";
    Write(mine, "[TRAIN]\nDefault = 3\n");
    Write(scenario, kShort);
    run = RunFile(scenario, plugin.string(), {"--no-plot", "--settings", mine.string()}, out);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(ReadWholeFile(mine), "[TRAIN]\nDefault = 3\n");
    EXPECT_EQ(ReadWholeFile(scenario), kShort);
    EXPECT_EQ(ReadWholeFile(out / "probe.dat"), "[TRAIN]\nDefault = 3\n");
    EXPECT_EQ(fs::file_size(plugin), fs::file_size(VELQA3_PROBE_PATH));
    EXPECT_FALSE(run.Calls("Load").empty()) << "the plug-in kept in the folder ran";
}

TEST_F(Host, ARefusedRunKeepsTheUsersFilesAndAFolderItDidNotMake) {
    const fs::path out = root_ / "out";
    ASSERT_EQ(Run(kShort, VELQA3_PROBE_PATH, {"--no-plot"}, out).exitCode, 0);
    const fs::path settings = out / "probe.dat";
    Write(settings, "[TRAIN]\nDefault = 2\n");

    // A library the loader refuses: the run stops after the copies were made.
    const fs::path broken = root_ / "broken.so";
    Write(broken, std::string("\x7f"
                              "ELF\x02\x01\x01",
                              7) +
                      std::string(64, '\0'));
    SimRun run = Run(kShort, broken.string(), {"--no-plot", "--settings", settings.string()}, out);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(fs::is_directory(out));
    EXPECT_EQ(ReadWholeFile(settings), "[TRAIN]\nDefault = 2\n");
    EXPECT_FALSE(fs::exists(out / "broken.so")) << "the copy this run made goes again";

    // An input where the run writes an output of its own is refused before anything is touched.
    const fs::path trace = out / "trace.csv";
    Write(trace, "[TRAIN]\nDefault = 4\n");
    run = Run(kShort, VELQA3_PROBE_PATH, {"--no-plot", "--settings", trace.string()}, out);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.Said("cannot use " + trace.string() + ": the run writes its trace.csv"))
        << run.errors;
    EXPECT_EQ(ReadWholeFile(trace), "[TRAIN]\nDefault = 4\n");
    EXPECT_EQ(ReadWholeFile(settings), "[TRAIN]\nDefault = 2\n");

    // A folder this run made itself goes again when the run cannot start.
    const fs::path fresh = root_ / "fresh";
    run = Run(kShort, broken.string(), {"--no-plot"}, fresh);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(fs::exists(fresh));
}

} // namespace
} // namespace velqa3::sim::test
