// The settings file's syntax and messages: which lines count, where sections end, how far the
// reader goes, and what the user is told.
#include "tests/support/settings_reading.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace velqa3 {
namespace {

using test::SettingsReading;

constexpr const char* kLineCountMessage = "ATS-PTプラグイン設定読み込み: 行数オーバー\n";

class SettingsFile : public testing::Test {
  protected:
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("velqa3-settings-" + std::to_string(getpid()) + ".dat");
    void TearDown() override { std::filesystem::remove(path); }

    std::unique_ptr<SettingsReading> ReadFile(const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
        return SettingsReading::OfFile(path.string());
    }
};

TEST_F(SettingsFile, MissingFileKeepsDefaultsAndSaysSoOnceWithItsPath) {
    const auto reading = SettingsReading::OfFile("/nonexistent/velqa3.dat");
    EXPECT_EQ(reading->messages,
              "/nonexistent/velqa3.dat: 【ATS-PTプラグイン】設定ファイルが見つかりませんでした。"
              "デフォルト値を使用します。\n");
    EXPECT_TRUE(reading->settings == Settings{});
    EXPECT_EQ(reading->keys.assign[57], 0x8C);
    EXPECT_EQ(reading->remap.panel[121], 121);
    EXPECT_TRUE(reading->calls.empty());
}

// Every case is read from a file and from memory; both must see the same lines.
TEST_F(SettingsFile, SyntaxDecidesWhichLinesAreSettings) {
    const char binary[] = "[TASC]\n\0Notch=9\nNotch=8\n\x1aNotch=7\n";
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    const struct {
        const char* why;
        std::string text;
        std::int32_t notch;
    } cases[] = {
        {"an empty file", "", 2},
        {"a header inside a section is a line of it", "[TRAIN]\n[TASC]\nNotch=12\n", 2},
        {"an empty line ends the section", "[TASC]\n\nNotch=12\n", 2},
        {"a line of blanks does not", "[TASC]\n  \nNotch=12\n", 12},
        {"nor does a lone carriage return", "[TASC]\n\r\nNotch=12\n", 2},
        {"a carriage return not before a line feed stays", "[TASC]\n\r\rNotch=12\n", 2},
        {"keys match exactly at the line start", "[TASC]\n Notch=3\nnotch=3\nNotch =3\n", 2},
        {"a key of another section is ignored", "[TRAIN]\nNotch=12\n", 2},
        {"words after a header are ignored", "x [TASC]\n[TASC] words\nNotch=12\n", 12},
        {"headers are case-sensitive", "[tasc]\nNotch=12\n", 2},
        {"CRLF and no last line break", "[TRAIN]\r\nLength=80\r\n\r\n[TASC]\r\nNotch=11", 11},
        {"a later line wins", "[TASC]\nNotch=12\nNotch=13\n", 13},
        {"a section may come again", "[TASC]\nNotch=12\n\n[TRAIN]\n\n[TASC]\nNotch=14\n", 14},
        {"the piece after 255 characters is a line",
         "[TASC]\n" + std::string(255, ';') + "Notch=13\n", 13},
        {"254 characters and the key are one line",
         "[TASC]\n" + std::string(254, ';') + "Notch=14\n", 2},
        {"the line break after 255 characters is an empty line of its own",
         "[TASC]" + std::string(249, ';') + "\nNotch=15\n", 2},
        {"a 300-character line ending in a line break is two lines",
         "[TASC]\n" + std::string(300, ';') + "\nNotch=16\n", 16},
        {"NUL bytes hide a line, Ctrl-Z ends the file", std::string(binary, sizeof binary - 1), 8},
        {"binary garbage reads nothing and says nothing", garbage, 2},
        {"Shift-JIS comment bytes are just bytes",
         "[TASC]\n; \x83\x65\x83\x58\x83\x67\x81\x5b\nNotch=12\n", 12},
    };
    for (const auto& c : cases) {
        const auto fromFile = ReadFile(c.text);
        const auto fromMemory = SettingsReading::Of(c.text);
        EXPECT_EQ(fromFile->messages + fromMemory->messages, "") << c.why;
        EXPECT_EQ(fromFile->settings.tascNotch, c.notch) << c.why;
        EXPECT_EQ(fromMemory->settings.tascNotch, c.notch) << c.why;
    }
}

// The counter counts every line of the outer level, every line applied in a section and the
// read that meets the end; past 10000 the rest is dropped and the user is told once.
TEST(SettingsLineLimit, FilesBeyond10000LinesAreCutAndReported) {
    const struct {
        int fillerLines;
        std::int32_t notch;
        bool reported;
    } cases[] = {
        {9997, 12, false}, // 9999 lines: the read that meets the end is the 10000th
        {9998, 12, true},  // 10000 lines: that read is the 10001st, so the message shows
        {9999, 12, true},  // the header is line 10000, its setting is applied as 10001
        {10000, 12, true}, // the header is read as 10001 before the check
        {10001, 2, true},
    };
    for (const auto& c : cases) {
        const auto reading =
            SettingsReading::Of(std::string(c.fillerLines, '\n') + "[TASC]\nNotch=12\n");
        EXPECT_EQ(reading->settings.tascNotch, c.notch) << c.fillerLines;
        EXPECT_EQ(reading->messages, c.reported ? kLineCountMessage : "") << c.fillerLines;
    }

    const auto cut = SettingsReading::Of(std::string(15000, '\n') + "[TASC]\nNotch=12\n\n" +
                                         std::string(5000, '\n'));
    EXPECT_EQ(cut->messages, kLineCountMessage);
    EXPECT_EQ(cut->settings.tascNotch, 2);
}

TEST(SettingsLineLimit, ALongSectionIsCutInsideIt) {
    // The header is line 1 and the section's lines follow from 2: the 10000th of them is the
    // last one applied.
    std::string text = "[KEY]\n";
    for (int i = 0; i < 12000; ++i)
        text += i < 9999 ? "Klaxon1=65\n" : i == 9999 ? "Klaxon1=66\n" : "Klaxon1=67\n";
    const auto reading = SettingsReading::Of(text);
    EXPECT_EQ(reading->messages, kLineCountMessage);
    EXPECT_EQ(reading->keys.assign[24], 66);
}

TEST(SettingsMessages, TrainOsrPointsToMeitetsuAndStillApplies) {
    const auto reading = SettingsReading::Of("[TRAIN]\nOSR=5\n\n[TRAIN]\nOSR=0\n");
    EXPECT_EQ(reading->messages,
              "ATS-PTプラグイン設定読み込み: [TRAIN]OSR は [MEITETTSU]OSRに記述してください\n"
              "ATS-PTプラグイン設定読み込み: [TRAIN]OSR は [MEITETTSU]OSRに記述してください\n");
    EXPECT_EQ(reading->settings.osrMode, 0);
    EXPECT_EQ(SettingsReading::Of("[TRAIN]\nOSR=5\n")->settings.osrMode, 1);
}

} // namespace
} // namespace velqa3
