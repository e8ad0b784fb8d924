// The live table of velqa3-watch: what a driver reads off it for the values a sender can put in
// a datagram, the plug-in's placeholders among them.
#include "watch/view.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

namespace velqa3::watch {
namespace {

std::string Status(const std::string& sigDis, const std::string& sigPtnSpd,
                   const std::string& limSpd, const std::string& extra = "") {
    return "{\"Ats\":{\"ApproachNo\":0, \"Spd\":42.5}, \"Sig\":{\"Dis\":" + sigDis +
           ", \"PtnDis\":10000.0, \"PtnSpd\":" + sigPtnSpd +
           "}, \"NSD\":{\"Mode\":0, \"Dis\":0.0}, \"Lim\":{\"Dis\":350.0, \"PtnDis\":120.5, "
           "\"PtnSpd\":95.0, \"Spd\":" +
           limSpd + "}, \"LimDo\":{\"Dis\":0.0, \"Spd\":999.9, \"Max\":120.0}, " +
           "\"Beacon\":{\"Type\":9, \"Signal\":0, \"Optional\":2}" + extra + "}";
}

std::string Table(View& view, const std::string& datagram) {
    TakeDatagram(view, datagram.data(), datagram.size() + 1, 1.0); // with the zero byte
    char out[8192];
    DrawTable(view, 1.5, out, sizeof out);
    return out;
}

// The table's text between a row's label and the next label, blanks squeezed.
std::string Row(const std::string& table, const std::string& label) {
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("  " + label, 0) == 0)
            return std::regex_replace(line.substr(label.size() + 2), std::regex(" +"), " ");
    return "(no row " + label + ")";
}

TEST(WatchTable, NoLimitIsTheSendersValueOnly) {
    View view;
    std::string t = Table(view, Status("100000.0", "999.9", "999.9"));
    EXPECT_EQ(Row(t, "Signal target"), " none pattern no limit at none");
    EXPECT_EQ(Row(t, "Speed limit"), " 350.0 m limit no limit pattern 95.0 km/h at 120.5 m");
    EXPECT_EQ(Row(t, "Limit announced"), " 0.0 m limit no limit line max 120.0 km/h");
    // After a beacon that ends the pattern territory the next limit's speed is 10000.
    t = Table(view, Status("10000.0", "999.85", "10000.0"));
    EXPECT_EQ(Row(t, "Signal target"), " none pattern 999.9 km/h at none");
    EXPECT_EQ(Row(t, "Speed limit"), " 350.0 m limit no limit pattern 95.0 km/h at 120.5 m");
    t = Table(view, Status("812.5", "1000.0", "1200.0"));
    EXPECT_EQ(Row(t, "Signal target"), " 812.5 m pattern 1000.0 km/h at none");
    EXPECT_EQ(Row(t, "Speed limit"), " 350.0 m limit 1200.0 km/h pattern 95.0 km/h at 120.5 m");
    // The train's own speed is never "no limit".
    View stopView;
    t = Table(stopView, "{\"Time\":1, \"Speed\":999.9}");
    EXPECT_EQ(Row(t, "Speed"), " 999.9 km/h");
}

TEST(WatchTable, ValuesNoMessageCanCarryShowAsOutOfRange) {
    View view;
    std::string t = Table(view, Status("1e308", "-1e308", "1e999"));
    EXPECT_EQ(Row(t, "Signal target"), " out of range pattern out of range at none");
    EXPECT_EQ(Row(t, "Speed limit"), " 350.0 m limit out of range pattern 95.0 km/h at 120.5 m");
    View stopView;
    t = Table(stopView,
              "{\"Time\":1e999, \"Location\":1e308, \"PanelLocation\":2.5, \"Speed\":1e20, "
              "\"Stop\":0, \"StaId\":4294967296}");
    EXPECT_EQ(Row(t, "Time"), " out of range");
    EXPECT_EQ(Row(t, "Location"), " out of range panel location out of range");
    EXPECT_EQ(Row(t, "Speed"), " out of range");
    EXPECT_EQ(Row(t, "Station"), " out of range stops there: no");
    // Every line keeps within a terminal's width.
    std::istringstream lines(t);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 100u) << line;
    // What the plug-in does send reads as it is; a run past midnight shows the clock.
    t = Table(stopView, "{\"Time\":90061, \"Location\":-12, \"PanelLocation\":15, \"Speed\":0.0, "
                        "\"Stop\":1, \"StaId\":3}");
    EXPECT_EQ(Row(t, "Time"), " 01:01:01");
    EXPECT_EQ(Row(t, "Location"), " -12 m panel location 15 m");
    EXPECT_EQ(Row(t, "Station"), " 3 stops there: yes");
    // A member the message lacks is not shown as zero.
    t = Table(stopView, "{\"Time\":5}");
    EXPECT_EQ(Row(t, "Location"), " - panel location -");
}

TEST(WatchTable, IgnoredDatagramsAreCountedAndShownSafely) {
    View view;
    std::string t = Table(view, "\x1b]0;title\x07\xc2\x9b"
                                "2J\x89\x77 and a long tail of text");
    t = Table(view, "[1, 2]");
    EXPECT_NE(t.find("ignored 2"), std::string::npos) << t;
    EXPECT_NE(t.find("Last ignored: [1, 2]"), std::string::npos) << t;
    EXPECT_EQ(view.badCount, 2); // neither is an object the reader takes
    t = Table(view, "{\"Mode\":1}");
    EXPECT_EQ(view.otherCount, 1);
    view = View{};
    t = Table(view, "\x1b]0;title\x07\xc2\x9b"
                    "2J\x89\x77 and a long tail of text that goes on");
    EXPECT_NE(
        t.find("Last ignored: \\x1b]0;title\\x07\\u009b2J\\x89w and a long tail of text that g..."),
        std::string::npos)
        << t;
    for (const char c : t)
        EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
}

TEST(WatchTable, TheWarningOrBrakeCodeIsExplainedAndGoesWhenLetGo) {
    View view;
    const auto with = [](const std::string& code) {
        std::string status = Status("812.5", "45.0", "999.9");
        status.replace(status.find("\"ApproachNo\":0"), 14, "\"ApproachNo\":" + code);
        return status;
    };
    std::string t = Table(view, with("21"));
    EXPECT_EQ(Row(t, "Speed"), " 42.5 km/h warning/brake 21 brake: the stop pattern of the signal");
    t = Table(view, with("13"));
    EXPECT_EQ(Row(t, "Speed"),
              " 42.5 km/h warning/brake 13 warning: the pattern of the next speed limit");
    t = Table(view, with("0"));
    EXPECT_EQ(Row(t, "Speed"), " 42.5 km/h warning/brake none");
    t = Table(view, with("7"));
    EXPECT_EQ(Row(t, "Speed"), " 42.5 km/h warning/brake 7 (no code of the plug-in)");
    t = Table(view, with("1e300"));
    EXPECT_EQ(Row(t, "Speed"), " 42.5 km/h warning/brake out of range");
}

} // namespace
} // namespace velqa3::watch
