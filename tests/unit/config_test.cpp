// Numbers, file names and the file syntax of the settings, as a vehicle author writes them.
#include "config/numbers.h"
#include "config/paths.h"
#include "config/settings_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace velqa3 {
namespace {

TEST(ParseLong, ReadsBaseZeroLikeThe32BitRuntimeAndSaturates) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"42", 42},
        {"  \t-17abc", -17},
        {"+8", 8},
        {"0x14", 20},
        {"0X1f", 31},
        {"010", 8},
        {"09", 0},
        {"0x", 0},
        {"0xg", 0},
        {"-0x10", -16},
        {"", 0},
        {"abc", 0},
        {"- 5", 0},
        {"12\n", 12},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"0xFFFFFFFF", INT32_MAX},
        {"99999999999999999999999999", INT32_MAX},
        {"-0x80000000", INT32_MIN},
        {"077777777777", INT32_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseLong(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParseFloat, ReadsDecimalsAndRefusesWhatIsNotFinite) {
    EXPECT_FLOAT_EQ(ParseFloat(" 2.5e1x"), 25.0f);
    EXPECT_FLOAT_EQ(ParseFloat("-3.6"), -3.6f);
    EXPECT_EQ(ParseFloat("abc"), 0.0f);
    EXPECT_EQ(ParseFloat("1e99"), 0.0f);
    EXPECT_EQ(ParseFloat("inf"), 0.0f);
    EXPECT_EQ(ParseFloat("nan"), 0.0f);
}

TEST(SiblingPath, ReplacesTheFirstDllOrElseTheLastExtension) {
    char out[kPathSize];
    ASSERT_TRUE(SiblingPath("C:\\BVE\\train\\velqa3.dll", ".dat", out));
    EXPECT_STREQ(out, "C:\\BVE\\train\\velqa3.dat");
    ASSERT_TRUE(SiblingPath("C:\\a.dll\\velqa3.dll", ".csv", out));
    EXPECT_STREQ(out, "C:\\a.csv\\velqa3.dll"); // the first occurrence, as the host names it
    ASSERT_TRUE(SiblingPath("/opt/train/velqa3.so", ".dat", out));
    EXPECT_STREQ(out, "/opt/train/velqa3.dat");
    ASSERT_TRUE(SiblingPath("C:\\TRAIN\\VELQA3.DLL", ".dat", out));
    EXPECT_STREQ(out, "C:\\TRAIN\\VELQA3.dat");
    ASSERT_TRUE(SiblingPath("/opt/my.train/velqa3", ".dat", out));
    EXPECT_STREQ(out, "/opt/my.train/velqa3.dat");
    EXPECT_FALSE(SiblingPath(std::string(kPathSize - 2, 'a').c_str(), ".dat", out));
    EXPECT_STREQ(out, "");
}

class SettingsFile : public testing::Test {
  protected:
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("velqa3-settings-" + std::to_string(getpid()) + ".dat");
    void TearDown() override { std::filesystem::remove(path); }

    // Reads text as a settings file; returns what the reader told the user.
    std::string Read(const std::string& text, Settings& settings) {
        std::ofstream(path, std::ios::binary) << text;
        testing::internal::CaptureStderr();
        ReadSettings(path.string().c_str(), settings);
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(SettingsFile, MissingFileKeepsDefaultsAndSaysSoOnce) {
    Settings settings;
    testing::internal::CaptureStderr();
    ReadSettings("/nonexistent/velqa3.dat", settings);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "/nonexistent/velqa3.dat: 【ATS-PTプラグイン】設定ファイルが見つかりませんでした。"
              "デフォルト値を使用します。\n");
    EXPECT_EQ(settings.holdBrake, 0);
    EXPECT_EQ(settings.tascNotch, 2);
    EXPECT_EQ(settings.length, 0.0f);
}

TEST_F(SettingsFile, KeysAreReadWithTheirRules) {
    Settings settings;
    EXPECT_EQ(Read("[TRAIN]\nHoldBrake=5\nLength=123.5\n\n[TASC]\nNotch=250\n", settings), "");
    EXPECT_EQ(settings.holdBrake, 1);
    EXPECT_FLOAT_EQ(settings.length, 123.5f);
    EXPECT_EQ(settings.tascNotch, 50);
    Read("[TASC]\nNotch=-7\n", settings);
    EXPECT_EQ(settings.tascNotch, -7);
}

TEST_F(SettingsFile, SyntaxDecidesWhichLinesAreSettings) {
    const char binary[] = "[TASC]\n\0Notch=9\nNotch=8\n\x1aNotch=7\n";
    const struct {
        const char* why;
        std::string text;
        std::int32_t notch;
    } cases[] = {
        {"a header inside a section is a line of it", "[TRAIN]\n[TASC]\nNotch=12\n", 2},
        {"an empty line ends the section", "[TASC]\n\nNotch=12\n", 2},
        {"a line of blanks does not", "[TASC]\n  \nNotch=12\n", 12},
        {"keys match exactly at the line start", "[TASC]\n Notch=3\nnotch=3\nNotch =3\n", 2},
        {"words after a header are ignored", "x [TASC]\n[TASC] words\nNotch=12\n", 12},
        {"CRLF and no last line break", "[TRAIN]\r\nLength=80\r\n\r\n[TASC]\r\nNotch=11", 11},
        {"the piece after 255 characters is a line",
         "[TASC]\n" + std::string(255, ';') + "Notch=13\n", 13},
        {"254 characters and the key are one line",
         "[TASC]\n" + std::string(254, ';') + "Notch=14\n", 2},
        {"NUL bytes hide a line, Ctrl-Z ends the file", std::string(binary, sizeof binary - 1), 8},
    };
    for (const auto& c : cases) {
        Settings settings;
        EXPECT_EQ(Read(c.text, settings), "") << c.why;
        EXPECT_EQ(settings.tascNotch, c.notch) << c.why;
    }
}

TEST_F(SettingsFile, MoreThan10000LinesAreCutAndReported) {
    Settings settings;
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += i == 15000 ? "[TASC]\nNotch=12\n\n" : ";\n";
    EXPECT_EQ(Read(text, settings), "ATS-PTプラグイン設定読み込み: 行数オーバー\n");
    EXPECT_EQ(settings.tascNotch, 2);

    std::string inTime;
    for (int i = 0; i < 9000; ++i)
        inTime += ";\n";
    EXPECT_EQ(Read(inTime + "[TASC]\nNotch=12\n", settings), "");
    EXPECT_EQ(settings.tascNotch, 12);
}

} // namespace
} // namespace velqa3
