// The lines of velqa3-watch --json: one JSON document each, whatever arrives, and nothing in
// them a terminal would take as a command.
#include "watch/json_line.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

namespace velqa3::watch {
namespace {

using namespace std::string_literals;

std::string LineOf(const std::string& datagram, bool* passed = nullptr) {
    std::string line;
    const bool asSent = AppendJsonLine(line, DatagramText(datagram.data(), datagram.size()));
    if (passed != nullptr) *passed = asSent;
    return line;
}

// One line, valid JSON, and no byte a terminal acts on.
nlohmann::ordered_json ParseLine(const std::string& line) {
    EXPECT_FALSE(line.empty());
    EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        EXPECT_FALSE(c < 0x20 || c == 0x7F) << "control byte " << int(c) << " at " << i;
        if (c == 0xC2 && i + 1 < line.size()) {
            EXPECT_FALSE(static_cast<unsigned char>(line[i + 1]) <= 0x9F) << "C1 at " << i;
        }
    }
    return nlohmann::ordered_json::parse(line);
}

TEST(WatchJsonLine, MessagesOfThePlugInComeOutAsSent) {
    const std::string status =
        "{\"Ats\":{\"ApproachNo\":0, \"Spd\":42.5}, \"Sig\":{\"Dis\":100000.0, \"PtnDis\":10000.0, "
        "\"PtnSpd\":999.9}, \"NSD\":{\"Mode\":0, \"Dis\":0.0}, \"Lim\":{\"Dis\":0.0, "
        "\"PtnDis\":10000.0, \"PtnSpd\":999.9, \"Spd\":999.9}, \"LimDo\":{\"Dis\":0.0, "
        "\"Spd\":999.9, \"Max\":120.0}, \"Beacon\":{\"Type\":9, \"Signal\":0, \"Optional\":2}}";
    const std::string stop = "{\"Time\":45, \"Location\":-12, \"PanelLocation\":15, "
                             "\"Speed\":0.0, \"Stop\":1, \"StaId\":3, \"Crawl\":{\"Speed\":0, "
                             "\"Start\":0, \"PanelStart\":0, \"Length\":0}}";
    for (const std::string& text : {status, stop}) {
        bool passed = false;
        EXPECT_EQ(LineOf(text + '\0', &passed), text + '\n');
        EXPECT_TRUE(passed);
    }
    // Line breaks between tokens become blanks; escapes stay as the sender wrote them.
    EXPECT_EQ(LineOf("{\"a\":\r\n\t[1,\n2], \"b\":\"\\u00E9\\n\\ud83d\\ude00\"}"),
              "{\"a\":   [1, 2], \"b\":\"\\u00E9\\n\\ud83d\\ude00\"}\n");
    EXPECT_EQ(LineOf("\"\xe9\xa7\x85\""), "\"\xe9\xa7\x85\"\n"); // 駅 stays readable
    EXPECT_EQ(LineOf("[1e-999, -1e308, 0.5E+3]"), "[1e-999, -1e308, 0.5E+3]\n");
}

TEST(WatchJsonLine, DelAndC1InsideValidStringsAreEscaped) {
    bool passed = false;
    const std::string line = LineOf("{\"a\":\"x\x7fy\xc2\x9b"
                                    "2J\xe2\x80\xae\"}",
                                    &passed);
    EXPECT_TRUE(passed);
    EXPECT_EQ(line, "{\"a\":\"x\\u007fy\\u009b2J\\u202e\"}\n");
    EXPECT_EQ(ParseLine(line)["a"], "x\x7fy\xc2\x9b"
                                    "2J\xe2\x80\xae");
}

TEST(WatchJsonLine, WhatIsNotJsonInUtf8ComesOutRepaired) {
    struct Case {
        std::string datagram;
        const char* reason;
        std::string text; // as the line carries it
    };
    const Case cases[] = {
        {"not json\0"s, "not JSON", "not json"},
        {"{\"Ats\":{\"Spd\":nan}}", "not JSON", "{\"Ats\":{\"Spd\":nan}}"},
        {"{\"a\":1} {}", "not JSON", "{\"a\":1} {}"},
        {"{\"a\":1,}", "not JSON", "{\"a\":1,}"},
        {"[01]", "not JSON", "[01]"},
        {"{\"a\":\"\\ud800\"}", "not JSON", "{\"a\":\"\\\\ud800\"}"},
        {"{\"a\":\"\x1b]52;c;eA==\x07\"}", "not JSON", "{\"a\":\"\\x1b]52;c;eA==\\x07\"}"},
        {"{\"\x89\x77\":1}", "not UTF-8", "{\"\\x89w\":1}"}, // CP932 for 駅 is no UTF-8
        {"{\"a\":\"\xc0\xaf\"}", "not UTF-8", "{\"a\":\"\\xc0\\xaf\"}"},
        {"\x9b"
         "31m",
         "not UTF-8", "\\x9b31m"},
        {"", "not JSON", ""},
        {"{\"Spd\":-1e999}", "number out of range", "{\"Spd\":-1e999}"},
        {"[1" + std::string(400, '0') + "]", "number out of range",
         "[1" + std::string(400, '0') + "]"},
        {"[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[", "not JSON", "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["},
    };
    for (const Case& c : cases) {
        bool passed = true;
        const std::string line = LineOf(c.datagram, &passed);
        EXPECT_FALSE(passed) << line;
        const nlohmann::ordered_json json = ParseLine(line);
        EXPECT_EQ(json.begin().key(), "Repaired");
        EXPECT_EQ(json["Repaired"], true);
        EXPECT_EQ(json["Reason"], c.reason) << line;
        EXPECT_EQ(json["Length"], DatagramText(c.datagram.data(), c.datagram.size()).size());
        EXPECT_EQ(json["Text"], c.text) << line;
    }
}

TEST(WatchJsonLine, EveryDatagramSizeGivesOneWholeLine) {
    // Past the 4 KiB a line used to be cut at, up to the largest UDP payload.
    for (const std::size_t size : {4095u, 4096u, 4097u, 65507u}) {
        const std::string text = "{\"x\":\"" + std::string(size - 8, 'v') + "\"}";
        ASSERT_EQ(text.size(), size);
        bool passed = false;
        const std::string line = LineOf(text + '\0', &passed);
        EXPECT_TRUE(passed);
        EXPECT_EQ(line.size(), size + 1);
        EXPECT_EQ(ParseLine(line)["x"].get<std::string>().size(), size - 8);
    }
    // Deep nesting is followed without recursion, however deep a datagram can hold.
    const std::string deep = std::string(32000, '[') + std::string(32000, ']');
    bool passed = false;
    EXPECT_EQ(LineOf(deep, &passed), deep + '\n');
    EXPECT_TRUE(passed);
    // The largest datagram of bytes that are no UTF-8 grows the most, and stays one line.
    const std::string line = LineOf(std::string(65507, '\x9b'));
    EXPECT_EQ(ParseLine(line)["Length"], 65507);
}

} // namespace
} // namespace velqa3::watch
