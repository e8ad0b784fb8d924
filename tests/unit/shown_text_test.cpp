// What reaches a terminal from outside text: never a byte the terminal would obey.
#include "text/shown.h"

#include <gtest/gtest.h>

#include <string>

namespace velqa3::text {
namespace {

TEST(ShownText, CommandsOfEveryKindAreWrittenOut) {
    struct Case {
        std::string in;
        std::string shown;
    };
    const Case cases[] = {
        {"Default=4", "Default=4"},
        {"\x1b]2;PWNED\x07\x1b[2J", "\\x1b]2;PWNED\\x07\\x1b[2J"},
        {"tab\there\r\n", "tab\\there\\r\\n"},
        {"del\x7f", "del\\x7f"},
        {"raw C1 \x9b"
         "31m",
         "raw C1 \\x9b31m"},
        {"UTF-8 C1 \xc2\x9b"
         "31m",
         "UTF-8 C1 \\u009b31m"},
        {"right-to-left \xe2\x80\xae"
         "txt.exe",
         "right-to-left \\u202etxt.exe"},
        {"\xef\xbb\xbf[TRAIN]", "\\ufeff[TRAIN]"},
        {"back\\x1b", "back\\\\x1b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Shown(c.in), c.shown) << c.in;
}

TEST(ShownText, JapaneseInUtf8StaysAndOtherEncodingsAreEscaped) {
    EXPECT_EQ(Shown("設定ファイル"), "設定ファイル");
    // Shift_JIS of 記録, and a truncated, an overlong and a surrogate sequence.
    EXPECT_EQ(Shown("\x8b\x4c\x98\x5e"), "\\x8bL\\x98^");
    EXPECT_EQ(Shown("\xe8\xa8"), "\\xe8\\xa8");
    EXPECT_EQ(Shown("\xc0\xaf"), "\\xc0\\xaf");
    EXPECT_EQ(Shown("\xed\xa0\x80"), "\\xed\\xa0\\x80");
    EXPECT_EQ(Shown(std::string("a\0b", 3)), "a\\x00b");
}

TEST(ShownText, LongInputIsCutAndSaysSo) {
    const std::string shown = Shown(std::string(10000, 'a'), 100);
    EXPECT_EQ(shown, std::string(100, 'a') + "...");
}

} // namespace
} // namespace velqa3::text
