// The bytes that stand before the first line: a UTF-8 byte-order mark is not part of the text,
// and nothing else is taken away with it.
#include "tests/support/settings_reading.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace velqa3 {
namespace {

using test::SettingsReading;

// Both entries, the file the plug-in opens and text in memory, see the same lines.
std::int32_t NotchReadFromFileAndMemory(const std::string& text) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("velqa3-encoding-" + std::to_string(getpid()) + ".dat");
    std::ofstream(path, std::ios::binary) << text;
    const auto fromFile = SettingsReading::OfFile(path.string());
    std::filesystem::remove(path);
    const auto fromMemory = SettingsReading::Of(text);
    EXPECT_EQ(fromFile->settings.tascNotch, fromMemory->settings.tascNotch) << text;
    EXPECT_EQ(fromFile->messages, "");
    return fromMemory->settings.tascNotch;
}

TEST(SettingsEncoding, AByteOrderMarkDoesNotHideTheFirstSection) {
    const struct {
        const char* why;
        std::string text;
        std::int32_t notch;
    } cases[] = {
        {"a mark before the first header", "\xEF\xBB\xBF[TASC]\nNotch=12\n", 12},
        {"a mark in a file of CR LF lines", "\xEF\xBB\xBF[TASC]\r\nNotch=12\r\n", 12},
        {"a file that is the mark alone", "\xEF\xBB\xBF", 2},
        {"only a whole mark is skipped", "\xEF\xBB[TASC]\nNotch=12\n", 2},
        {"only one mark is skipped", "\xEF\xBB\xBF\xEF\xBB\xBF[TASC]\nNotch=12\n", 2},
        {"a mark later in the file is a byte of its line",
         "[TASC]\nNotch=12\n\n\xEF\xBB\xBF[TASC]\nNotch=13\n", 12},
        {"the bytes after a partial mark are read", "\xEF[TASC]\nNotch=12\n\n[TASC]\nNotch=14\n",
         14},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NotchReadFromFileAndMemory(c.text), c.notch) << c.why;
}

} // namespace
} // namespace velqa3
