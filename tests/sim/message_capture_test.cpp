// The plug-in's messages read back from standard error: each line comes out at the first look
// after it was written, however many the run shows, and the file keeps exactly what was written.
#include "sim/message_capture.h"
#include "tests/support/read_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace velqa3::sim {
namespace {

TEST(MessageCapture, EachLineComesOutAtTheFirstLookAfterItWasWritten) {
    const auto file = std::filesystem::path(testing::TempDir()) / "capture-lines.txt";
    MessageCapture capture;
    ASSERT_TRUE(capture.Begin(file.string()));
    std::vector<Message> seen;
    capture.Poll(seen);
    EXPECT_TRUE(seen.empty());

    std::fputs("ATS-PT: 設定ファイル\n", stderr);
    std::fputs("half a ", stderr);
    capture.Poll(seen);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "ATS-PT");
    EXPECT_EQ(seen[0].text, "設定ファイル");

    std::fputs("line\r\n", stderr);
    capture.Poll(seen);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].text, "half a line");

    // Far more than the room mapped at first: nothing is lost or cut where it grows.
    std::string written = "ATS-PT: 設定ファイル\nhalf a line\r\n";
    const std::string line(300, 'x');
    for (int i = 0; i < 20000; ++i) {
        std::fprintf(stderr, "%d: %s\n", i, line.c_str());
        written += std::to_string(i) + ": " + line + "\n";
        if (i % 997 == 0) capture.Poll(seen);
    }
    capture.Poll(seen);
    ASSERT_EQ(seen.size(), 20002u);
    EXPECT_EQ(seen.back().caption, "19999");
    EXPECT_EQ(seen.back().text, line);
    capture.End();
    EXPECT_EQ(test::ReadWholeFile(file), written);
}

} // namespace
} // namespace velqa3::sim
