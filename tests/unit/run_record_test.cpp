// The CSV run record: the three line formats to the byte, one line per boundary, appended to
// a file that is never truncated, and a file that cannot be opened reported without stopping
// the simulator.
#include "telemetry/run_record.h"
#include "tests/support/cab.h"
#include "tests/support/read_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

namespace velqa3 {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;

fs::path FreshFolder() {
    const fs::path folder =
        fs::temp_directory_path() /
        ("velqa3_record_" +
         std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// Time going from 12 295 to 12 345 ms at 36.5 km/h, drawing 250 A from a 1650 V line.
struct Line {
    FrameValues frame;
    VehicleState state{};
    RecordValues values{.powerNotch = 2,
                        .brakeNotch = 0,
                        .outputPower = 2,
                        .outputBrake = 0,
                        .bcDisplay = 123.4f,
                        .lineVoltage = 1650,
                        .plusBrakeState = 0x05,
                        .brakeDemand = 0x1a,
                        .plusBrakeNotch = 7};
    RunRecord record;

    explicit Line(std::int32_t clock = 12'345, std::int32_t interval = 50) {
        frame.clock = clock;
        frame.interval = interval;
        frame.acceleration = 1.5;
        frame.previousAcceleration = 1.0;
        state.Time = clock;
        state.Speed = 36.5f;
        state.Current = 250.0f;
        frame.state = state;
    }
    std::string Formatted(std::uint8_t mode) {
        const int length = FormatRecordLine(record, mode, frame, state, values);
        return std::string(record.line, static_cast<std::size_t>(length));
    }
};

TEST(RunRecordLines, EachModeHasItsFormatToTheByte) {
    EXPECT_EQ(Line(60'010, 20).Formatted(1), "60, 36.500000, 2, 0, 1.500000, 0.500000,\r\n");
    EXPECT_EQ(Line().Formatted(2), "12.345000, 36.500000, 2, 2, 0, 0, 1.500000, 10.000000, "
                                   "123.400002, 250.000000, 1650, 412.500000, \r\n");
    EXPECT_EQ(Line().Formatted(3), "12.345, 36.50, 2, 2, 0, 0, 1.50, 10.00, 123.4, 250.00, "
                                   "1650, 412.5, 5, 1a, 7, \r\n");
    Line extreme;
    extreme.state.Speed = -1.0e30f;
    extreme.state.Current = 3.0e38f;
    extreme.values.lineVoltage = INT32_MAX;
    const std::string line = extreme.Formatted(2);
    EXPECT_EQ(line.substr(line.size() - 4), ", \r\n");
    extreme.state.Speed = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(extreme.Formatted(3).find("nan"), std::string::npos)
        << "a suspended frame's unfiltered value is recorded as the last captured one";
}

TEST(RunRecordLines, OneLinePerBoundaryAppendedToWhatIsThere) {
    const fs::path path = FreshFolder() / "velqa3.csv";
    std::ofstream(path, std::ios::binary) << "earlier run\r\n";
    Line first(60'010, 20);
    RecordFrame(first.record, 1, first.frame, first.state, first.values, path.string().c_str());
    EXPECT_TRUE(first.record.lineWritten);
    // 60 010 to 60 030 crosses no second: no line, and the flag drops.
    Line second(60'030, 20);
    second.record = first.record;
    RecordFrame(second.record, 1, second.frame, second.state, second.values, path.string().c_str());
    EXPECT_FALSE(second.record.lineWritten);
    EXPECT_EQ(ReadWholeFile(path), "earlier run\r\n60, 36.500000, 2, 0, 1.500000, 0.500000,\r\n");

    // Mode 0 touches nothing, not even the flag.
    const fs::path untouched = path.parent_path() / "none.csv";
    first.record.lineWritten = true;
    RecordFrame(first.record, 0, first.frame, first.state, first.values,
                untouched.string().c_str());
    EXPECT_FALSE(fs::exists(untouched));
    EXPECT_TRUE(first.record.lineWritten);
}

// Ten due lines a second into a file that cannot be opened: one message, not ten modal boxes a
// second; again only once a line went through and the file failed anew.
TEST(RunRecordLines, AFileThatCannotBeOpenedIsReportedOnceUntilALineGoesThrough) {
    const fs::path folder = FreshFolder(); // a folder cannot be appended to
    const std::string blocked = folder.string();
    const std::string open = (folder / "velqa3.csv").string();
    RunRecord record;
    auto due = [&](const std::string& path, std::int32_t clock) {
        Line line(clock, 100);
        line.record = record;
        RecordFrame(line.record, 2, line.frame, line.state, line.values, path.c_str());
        record = line.record;
        return record.lineWritten;
    };
    testing::internal::CaptureStderr();
    for (std::int32_t t = 12'300; t < 13'300; t += 100)
        EXPECT_TRUE(due(blocked, t)) << "the line was due, though lost";
    const std::string failedOnce = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    due(open, 13'300);
    due(blocked, 13'400);
    due("", 13'500);
    const std::string afterALine = testing::internal::GetCapturedStderr();
    const std::string one = "記録ファイルが開けませんでした: "
                            "ファイル名を確認するか、記録しないように設定を変更して下さい\n";
    EXPECT_EQ(failedOnce, one);
    EXPECT_EQ(afterALine, one);
    const std::string written = ReadWholeFile(open);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1);
}

// Through the plug-in: the record switch on pattern lines, and suspended frames.
class RecordingCab : public test::Cab {
  protected:
    fs::path path;
    void SetUp() override {
        Cab::SetUp();
        path = FreshFolder() / "velqa3.csv";
        std::snprintf(plugin->recordPath, sizeof plugin->recordPath, "%s", path.string().c_str());
        plugin->settings.kiroku = 2;
        time = 36'000'000;
    }
    std::size_t Lines() {
        const std::string text = ReadWholeFile(path);
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    }
};

TEST_F(RecordingCab, PatternLinesRecordOnlyWithTheSwitchOn) {
    ASSERT_EQ(plugin->protection.mode.lineCode, 4);
    for (int i = 0; i < 20; ++i) // 320 ms
        Frame();
    EXPECT_FALSE(fs::exists(path));
    plugin->cab.keys.recordSwitch = true;
    for (int i = 0; i < 20; ++i) // 36 000 320 to 36 000 640: 400, 500 and 600 crossed
        Frame(10.0f);
    EXPECT_EQ(Lines(), 3u);

    // A boundary frame followed by suspended frames: each of them writes again.
    time = 36'000'690;
    Frame(); // crosses 700
    panel[kSuspendPanelIndex] = 1;
    Frame();
    Frame();
    EXPECT_EQ(Lines(), 6u);
    EXPECT_TRUE(plugin->record.lineWritten);
    const std::string text = ReadWholeFile(path);
    EXPECT_NE(text.find("36000.706000, 0.000000"), std::string::npos)
        << "suspended frames record the state of their own call";

    plugin->protection.mode.lineCode = 1; // off pattern lines the switch does not matter
    plugin->cab.keys.recordSwitch = false;
    panel[kSuspendPanelIndex] = 0;
    time = 36'000'790;
    Frame();
    EXPECT_EQ(Lines(), 7u);
}

} // namespace
} // namespace velqa3
