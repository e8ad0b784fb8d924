// The driver's script names cab functions; the host finds their keys in [KEY] as the plug-in
// does, and refuses a script whose key would do nothing.
#include "sim/cab_key_names.h"
#include "sim/scenario.h"

#include <gtest/gtest.h>

namespace velqa3::sim {
namespace {

std::optional<int> Code(const std::string& settings, const char* function) {
    std::string why;
    return BoundKeyCode(settings, function, why);
}

TEST(CabKeyNames, FindsTheKeyAsThePluginReadsTheSection) {
    const std::string settings = "[TRAIN]\nMKey=2\n\n[KEY]\nTascSW=0x54\nRightDoor=39\n"
                                 "TascSW=0124\nKlaxon1=x\n\n[KEY]\nAllCar=65\n";
    EXPECT_EQ(Code(settings, "TascSW"), 0124); // the later line wins, octal as base 0 reads it
    EXPECT_EQ(Code(settings, "RightDoor"), 39);
    EXPECT_EQ(Code(settings, "AllCar"), 65);            // a second [KEY] section counts as well
    EXPECT_EQ(Code(settings, "Klaxon1"), std::nullopt); // no number binds nothing
    EXPECT_EQ(Code(settings, "LeftDoor"), std::nullopt);
    // A header straight after another section's lines is no header to the plug-in.
    EXPECT_EQ(Code("[TRAIN]\nMKey=2\n[KEY]\nTascSW=84\n", "TascSW"), std::nullopt);
    EXPECT_EQ(Code("[KEY]\r\nTascSW=84\r\n", "TascSW"), 84);

    std::string why;
    EXPECT_EQ(BoundKeyCode("[KEY]\nKlaxon1=300\n", "Klaxon1", why), std::nullopt);
    EXPECT_NE(why.find("300"), std::string::npos) << why;
}

TEST(CabKeyNames, ScriptsWithKeysThatCannotWorkAreRefused) {
    Scenario scenario;
    ScenarioError error;
    EXPECT_FALSE(ParseScenario("[[driver]]\ncab_key = \"TascSw\"\n", "bad.toml", scenario, error));
    EXPECT_EQ(error.key, "driver[1].cab_key");
    EXPECT_NE(error.message.find("TascSW"), std::string::npos) << error.Text();

    EXPECT_FALSE(ParseScenario("[[driver]]\ncab_key_down = \"RightDoor\"\nhold_ms = 10\n",
                               "bad.toml", scenario, error));
    EXPECT_EQ(error.key, "driver[1].hold_ms");

    EXPECT_FALSE(
        ParseScenario("\n[[driver]]\ncab_key = \"RightDoor\"\n", "bad.toml", scenario, error));
    EXPECT_EQ(error.line, 2);
    EXPECT_NE(error.message.find("settings file"), std::string::npos) << error.Text();
}

} // namespace
} // namespace velqa3::sim
