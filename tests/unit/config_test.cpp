// Numbers and file names of the settings, as a vehicle author writes them.
#include "config/numbers.h"
#include "config/paths.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(SiblingPath, ReplacesTheExtensionOfTheFileNameAlone) {
    struct Case {
        const char* module;
        const char* settings;
    };
    const Case cases[] = {
        {"C:\\BVE\\train\\velqa3.dll", "C:\\BVE\\train\\velqa3.dat"},
        {"C:\\a.dll\\velqa3.dll", "C:\\a.dll\\velqa3.dat"},
        {"C:\\my.dlls\\velqa3.dll", "C:\\my.dlls\\velqa3.dat"},
        {"C:\\old.dll_backup\\velqa3.dll", "C:\\old.dll_backup\\velqa3.dat"},
        {"C:\\TRAIN\\VELQA3.DLL", "C:\\TRAIN\\VELQA3.dat"},
        {"C:\\train\\velqa3.Dll", "C:\\train\\velqa3.dat"},
        {"/opt/train/velqa3.so", "/opt/train/velqa3.dat"},
        {"/opt/my.train/velqa3", "/opt/my.train/velqa3.dat"},
    };
    char out[kPathSize];
    for (const Case& c : cases) {
        ASSERT_TRUE(SiblingPath(c.module, ".dat", out)) << c.module;
        EXPECT_STREQ(out, c.settings);
    }
    EXPECT_FALSE(SiblingPath(std::string(kPathSize - 2, 'a').c_str(), ".dat", out));
    EXPECT_STREQ(out, "");
}

} // namespace
} // namespace velqa3
