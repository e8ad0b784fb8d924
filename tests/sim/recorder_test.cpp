// The numbers of the trace and the event log as a reader sees them: correctly rounded, the
// same as the general conversion gives, blanks before a right-aligned reading, and a clock
// that counts on past midnight.
#include "sim/recorder.h"
#include "tests/support/read_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <random>
#include <sstream>

namespace velqa3::sim {
namespace {

std::string Written(void (*write)(TextOut&)) {
    // A file of its own for each test: the tests run side by side.
    const auto file =
        std::filesystem::path(testing::TempDir()) /
        (std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + ".txt");
    {
        TextOut out;
        EXPECT_TRUE(out.Open(file.string()));
        write(out);
        EXPECT_TRUE(out.Close());
    }
    return test::ReadWholeFile(file);
}

std::string General(double value, int decimals) {
    char text[400];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    return std::string(text, end);
}

// A reading that rounds to zero is written without its sign.
std::string Reading(double value, int decimals) {
    std::string general = General(value, decimals);
    if (general[0] == '-' && general.find_first_not_of("-0.") == std::string::npos)
        general.erase(0, 1);
    return general;
}

TEST(TraceText, FixedReadingsRoundAsTheGeneralConversionDoes) {
    static std::vector<double> values;
    values = {2.5,           3.5,           0.125,        1.0005,        1.0015,
              -2.675,        12.345,        1e12,         -4294967.2955, 0.04999,
              4294967295.75, -4294967294.6, 429496729.56, 1e300,         -1e-300};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> spread(-5000.0, 5000.0);
    for (int i = 0; i < 20000; ++i)
        values.push_back(spread(random));
    for (int i = 0; i < 2000; ++i) // exact ties at every place
        values.push_back((i - 1000) * 0.0625);
    const std::string text = Written([](TextOut& out) {
        for (double v : values)
            for (int decimals : {0, 1, 2, 3})
                out.Fixed(v, decimals) << '\n';
    });
    std::istringstream lines(text);
    std::string line;
    int mismatches = 0;
    for (double v : values)
        for (int decimals : {0, 1, 2, 3}) {
            std::getline(lines, line);
            const std::string general = Reading(v, decimals);
            if (line != general && ++mismatches <= 3)
                ADD_FAILURE() << v << " to " << decimals << " places: " << line << ", not "
                              << general;
        }
    EXPECT_EQ(mismatches, 0);
}

TEST(TraceText, EventHeadsAlignTheClockCountsOnPastMidnightAndCountsKeepTheirSign) {
    const std::string text = Written([](TextOut& out) {
        out.Fixed(3.25, 2, 7) << '|';
        out.Fixed(-1234567.0, 1, 5) << '|';
        out << ClockText(86'400'000 + 3'723'004) << '|';
        out << ClockText(360'000'000) << '|';
        out << ClockText(-5) << '|';
        out.Int(-4294967295) << '|';
        out.Int(INT64_MIN) << '|';
        out.Int(0);
    });
    EXPECT_EQ(text, "   3.25|-1234567.0|25:02:03.004|100:00:00.000|00:00:00.000|-4294967295|"
                    "-9223372036854775808|0");
}

// Rows repeat most readings of the row before; a reading that comes back, changes by a bit or
// is too long to keep must still read as itself.
TEST(TraceText, RowsShowEachFramesOwnReadings) {
    const Scenario scenario;
    const auto dir = std::filesystem::path(testing::TempDir());
    const double locations[] = {12.3456, 12.3456, 12.3457, 1e30, 1e30, 12.3456, -0.0, 0.0004999};
    {
        Recorder recorder(scenario);
        ASSERT_TRUE(recorder.Open((dir / "rows.csv").string(), (dir / "rows.log").string()));
        for (double location : locations) {
            FrameRecord frame;
            frame.state.Location = location;
            frame.state.Speed = static_cast<float>(location);
            recorder.Trace(frame);
        }
        ASSERT_TRUE(recorder.Close());
    }
    std::istringstream rows(test::ReadWholeFile(dir / "rows.csv"));
    std::string row;
    std::getline(rows, row); // the heading
    for (double location : locations) {
        ASSERT_TRUE(std::getline(rows, row));
        const std::string expected =
            Reading(location, 3) + "," + Reading(static_cast<float>(location), 3);
        EXPECT_EQ(row.substr(row.find(',', row.find(',') + 1) + 1, expected.size()), expected);
    }
}

// Rows of huge readings run far past the size the run was reckoned at: the trace still stops
// at its limit, with whole rows only, and the event log says where.
TEST(TraceText, TheTraceStopsAtItsLimitOnARowsEndWhateverTheRowsHold) {
    const Scenario scenario;
    const auto dir = std::filesystem::path(testing::TempDir());
    constexpr std::int64_t kLimit = 1 << 20;
    Recorder recorder(scenario, kLimit);
    ASSERT_TRUE(recorder.Open((dir / "cut.csv").string(), (dir / "cut.log").string()));
    for (int i = 0; i < 2000; ++i) {
        FrameRecord frame;
        frame.elapsedMs = 20 * i;
        frame.state.Location = -1e300 - i * 1e290;
        frame.state.BcPressure = 1e300;
        frame.permil = -1e300;
        recorder.Trace(frame);
    }
    ASSERT_TRUE(recorder.Close());
    const std::string trace = test::ReadWholeFile(dir / "cut.csv");
    EXPECT_LE(static_cast<std::int64_t>(trace.size()), kLimit);
    EXPECT_GT(trace.size(), kLimit * 3 / 4) << "rows up to the limit are kept";
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back(), '\n');
    const auto rows = std::count(trace.begin(), trace.end(), '\n') - 1;
    EXPECT_EQ(recorder.traceCutMs(), 20 * rows);
    EXPECT_NE(test::ReadWholeFile(dir / "cut.log")
                  .find("the trace stops here: it has reached its limit of 1 MB"),
              std::string::npos);
}

} // namespace
} // namespace velqa3::sim
