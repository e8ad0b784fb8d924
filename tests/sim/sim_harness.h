// Runs velqa3-sim in-process on a scenario text, in a fresh folder per test, and gathers what a
// user would see: the exit code, the printed output and error lines, the probe plug-in's log.
#pragma once

#include "sim/app.h"
#include "tests/support/read_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace velqa3::sim::test {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

using velqa3::test::ReadWholeFile;

struct SimRun {
    int exitCode = -1;
    fs::path folder;
    Lines calls;        // probe.log, one call per line
    std::string output; // what velqa3-sim printed
    std::string errors; // what it wrote on standard error

    Lines Calls(const std::string& prefix) const {
        Lines found;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                     [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
        return found;
    }
    bool Printed(const std::string& text) const { return output.find(text) != std::string::npos; }
    bool Said(const std::string& text) const { return errors.find(text) != std::string::npos; }
};

class Host : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() / ("velqa3-sim-test-" + std::string(info->name()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    // The scenario text goes into root/scenario.toml.
    SimRun Run(const std::string& scenario, const std::string& plugin = VELQA3_PROBE_PATH,
               std::vector<std::string> extra = {"--no-plot"}, fs::path folder = {}) {
        const fs::path file = root_ / "scenario.toml";
        std::ofstream(file) << scenario;
        return RunFile(file, plugin, std::move(extra), std::move(folder));
    }

    SimRun RunFile(const fs::path& file, const std::string& plugin = VELQA3_PROBE_PATH,
                   std::vector<std::string> extra = {"--no-plot"}, fs::path folder = {}) {
        SimRun run;
        // A folder of its own per run: a library the process loaded once may stay resident
        // (with its state) when the same path is loaded again.
        run.folder = folder.empty() ? root_ / ("run" + std::to_string(++runs_)) : folder;
        std::vector<std::string> args = {"velqa3-sim", file.string(), "--plugin",
                                         plugin,       "--out",       run.folder.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        run.exitCode = SimMain(static_cast<int>(argv.size()), argv.data());
        run.errors = ::testing::internal::GetCapturedStderr();
        run.output = ::testing::internal::GetCapturedStdout();
        std::istringstream log(ReadWholeFile(run.folder / "probe.log"));
        for (std::string line; std::getline(log, line);)
            run.calls.push_back(line);
        return run;
    }

    fs::path root_;
    int runs_ = 0;
};

} // namespace velqa3::sim::test
