// velqa3-check as an author meets it: the example file passes, each kind of mistake is named at
// its line, and no file, however broken, stops it.
#include "check/settings_check.h"
#include "tests/support/read_file.h"

#include "tests/support/terminal_safe.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace velqa3::check {
namespace {

struct Report {
    int status;
    std::string text;
};

Report Check(const std::string& file, const std::string& name = "t.dat") {
    Report report{0, {}};
    report.status = CheckSettingsText(file, name, report.text);
    return report;
}

// Each mistake, the line it is reported at and the words that name it.
TEST(SettingsCheck, NamesEachMistakeAtItsLine) {
    const struct {
        const char* file;
        const char* expected;
    } cases[] = {
        {"[TRAIN]\nSnowBrake=1000\n",
         "t.dat:2: warning: [TRAIN] SnowBrake: 1000 is outside 0..999; 0 is stored\n"},
        {"[TRAIN]\nEmgBrake=259\n",
         "t.dat:2: warning: [TRAIN] EmgBrake: only the low 8 bits of 259 count: 3\n"},
        {"[TASC]\nNotch=250\n", "t.dat:2: warning: [TASC] Notch: 250 is taken modulo 100: 50\n"},
        {"[TASC]\nMode=5\n", "t.dat:2: warning: [TASC] Mode: 5 is not 1, 2 or 3; the line "
                             "changes nothing\n"},
        {"[TRAIN]\nPlusBrake=1\nPlusBrake=0\n",
         "t.dat:3: warning: [TRAIN] PlusBrake: 0 cannot clear what an earlier line set\n"},
        {"[EXTRA]\nKiroku=abc\n",
         "t.dat:2: warning: [EXTRA] Kiroku: 'abc' is not a number; it reads as 0\n"},
        {"[TASC]\nNotch=1.5\n",
         "t.dat:2: warning: [TASC] Notch: '.5' after the number is ignored\n"},
        {"[TRAIN]\nDefault=99999999999\n", "beyond the 32-bit range; it reads as 2147483647\n"},
        {"[TRAIN]\nholdbrake=1\n", "t.dat:2: warning: [TRAIN]: unknown key 'holdbrake' is "
                                   "ignored; keys are case-sensitive: HoldBrake\n"},
        {"[TRAIN]\nHoldBrake =1\n", "t.dat:2: warning: [TRAIN]: 'HoldBrake =1' is ignored: "
                                    "write HoldBrake= at the very start of the line"},
        {"[TRAIN]\nHoldBrak=1\n",
         "t.dat:2: warning: [TRAIN]: unknown key 'HoldBrak' is ignored; did you mean HoldBrake?\n"},
        {"[TRAIN]\nOneman=1\n",
         "t.dat:2: warning: [TRAIN]: 'Oneman' is a key of [EXTRA], not of [TRAIN]"},
        {"[TRAIN]\nHoldBrake=1\n[EXTRA]\nOneman=1\n",
         "t.dat:3: warning: [EXTRA] is read as a line of [TRAIN], which no empty line has ended"},
        {"[TRAIN]\n  \nHoldBrake=1\n", "t.dat:2: warning: [TRAIN]: a line of blanks does not "
                                       "end the section; only an empty line does\n"},
        {"[TRAIN]\n\nHoldBrake=1\n", "t.dat:3: warning: 'HoldBrake=1' lies outside any section "
                                     "and is ignored (HoldBrake is a key of [TRAIN]"},
        {"[Train]\nHoldBrake=1\n", "t.dat:1: warning: '[Train]' is not read as [TRAIN]"},
        {"[TRAINS]\nHoldBrake=1\n",
         "t.dat:1: warning: unknown section [TRAINS]; it and its lines are ignored\nt.dat: 0"},
        {"[FOO]\nHoldBrake=1\n", "t.dat:1: warning: unknown section [FOO]"},
        {"[TASC]\nNotch=3\nNotch=4\n",
         "t.dat:3: warning: [TASC] Notch: also given on line 2; this later line wins\n"},
        {"[TRAIN]\nOSR=1\n", "t.dat:2: warning: [TRAIN] OSR: OSR belongs in [MEITETSU]"},
        {"[SENDDATA]\nHost=1234567890123456789012345678901234567890123456789012345\n",
         "warning: [SENDDATA] Host: the text is longer than 51 characters; only "
         "'123456789012345678901234567890123456789012345678901' is kept\n"},
        {"[SENDDATA]\nPort=50000\nCastPort=50000\n",
         "t.dat:3: warning: [SENDDATA] CastPort: the status sender has port 50000 already; "
         "50001 is used\n"},
        {"[KEY]\nKlaxon1=300\n", "t.dat:2: warning: [KEY] Klaxon1: code 300 is outside 0..255"},
        {"[KEY]\nRightDoor=0x70\n", "t.dat:2: warning: [KEY] RightDoor: F1..F12 (code 0x70)"},
        {"[KEY]\nHoldBreak=4\n", "t.dat:2: warning: [KEY]: unknown key 'HoldBreak' is ignored; "
                                 "did you mean [TRAIN] HoldBrake?\n"},
        {"[KEY]\nKlaxon=1\n",
         "t.dat:2: warning: [KEY]: unknown key 'Klaxon' is ignored; did you mean Klaxon1 or "
         "Klaxon2?\n"},
        {"[PANELOUTPUT]\n121=255\n", "t.dat:2: warning: [PANELOUTPUT] 121: index 255 is refused"},
        {"[PANELOUTPUT]\n199=5\n", "panel slot 199 is the plug-in's input and cannot be moved\n"},
        {"[SOUNDOUTPUT]\n7=3\n", "t.dat:2: warning: [SOUNDOUTPUT]: slot '7' is ignored: write "
                                 "the slot with exactly three digits"},
    };
    for (const auto& c : cases) {
        const Report report = Check(c.file);
        EXPECT_EQ(report.status, kWarnings) << c.file;
        EXPECT_NE(report.text.find(c.expected), std::string::npos) << "file:\n"
                                                                   << c.file << "\nreport:\n"
                                                                   << report.text;
    }
}

// What the plug-in stores is shown, so a value the rule kept is no warning.
TEST(SettingsCheck, ShowsTheStoredValueOfCleanLines) {
    const Report report =
        Check("; remarks need no mark\n[TASC]\nAccelaration=3.6\nNotch=-7\n\n[TRAIN]\nDefault="
              "0x14 ; remark\n\n[PANELOUTPUT]\n010=010\n;121=50\n\n[KEY]\nKirokuIC=0x52\n");
    EXPECT_EQ(report.status, kClean) << report.text;
    EXPECT_NE(report.text.find("t.dat:3: [TASC] Accelaration = 3.6 km/h/s (1 m/s^2)\n"),
              std::string::npos);
    EXPECT_NE(report.text.find("t.dat:4: [TASC] Notch = -7\n"), std::string::npos);
    EXPECT_NE(report.text.find("t.dat:7: [TRAIN] Default = 20\n"), std::string::npos);
    EXPECT_NE(report.text.find("t.dat:10: [PANELOUTPUT] 010 = panel slot 10 written to index 8 "
                               "(Vigilance (EB) lamp)\n"),
              std::string::npos)
        << report.text;
    EXPECT_NE(
        report.text.find("t.dat:14: [KEY] KirokuIC = 0x52 (82): toggles the run-record switch\n"),
        std::string::npos);
    EXPECT_NE(report.text.find("t.dat: 5 settings read, 0 warnings\n"), std::string::npos)
        << report.text;
}

TEST(SettingsCheck, LongLinesAndTheLineLimit) {
    const Report split = Check("[TRAIN]\n" + std::string(255, ';') + "HoldBrake=1\n");
    EXPECT_NE(split.text.find("t.dat:2: warning: the line is longer than 255 characters: the "
                              "rest, 'HoldBrake=1', is read as a line of its own\n"),
              std::string::npos)
        << split.text;
    EXPECT_NE(split.text.find("t.dat:2: [TRAIN] HoldBrake = 1\n"), std::string::npos);

    const Report breaks = Check("[TRAIN]\n" + std::string(255, ';') + "\nHoldBrake=1\n");
    EXPECT_NE(breaks.text.find("its line break is read as an empty line of its own, which ends "
                               "the section"),
              std::string::npos)
        << breaks.text;

    std::string many;
    for (int i = 0; i < 20000; ++i)
        many += "x\n";
    many += "[TRAIN]\nHoldBrake=1\n";
    const Report limit = Check(many);
    EXPECT_EQ(limit.status, kWarnings);
    EXPECT_NE(limit.text.find("t.dat:10001: warning: the plug-in reads no further than this line"),
              std::string::npos)
        << limit.text.substr(0, 400);
    EXPECT_EQ(limit.text.find("HoldBrake"), std::string::npos);
}

TEST(SettingsCheck, ExplainsKeysFromTheReadersTable) {
    std::string out;
    ASSERT_TRUE(ExplainKey("SnowBrake", out));
    EXPECT_EQ(out, "SnowBrake in [TRAIN]\n"
                   "  does:     snow-brake pressure\n"
                   "  type:     int, kPa\n"
                   "  default:  0\n"
                   "  rule:     0..999; below 0 or above 999 gives 0\n"
                   "  repeated: the later line wins\n");

    out.clear();
    ASSERT_TRUE(ExplainKey("Mode", out));
    EXPECT_NE(out.find("Mode in [TASC]"), std::string::npos);
    EXPECT_NE(out.find("Mode in [DC25]"), std::string::npos);
    EXPECT_NE(out.find("Mode in [SENDDATA]"), std::string::npos);

    out.clear();
    ASSERT_TRUE(ExplainKey("[SENDDATA]Mode", out));
    EXPECT_EQ(out.find("[TASC]"), std::string::npos) << out;

    out.clear();
    ASSERT_TRUE(ExplainKey("AtsNFB", out));
    EXPECT_NE(out.find("  default:  0x88 (no key produces it: unbound)\n"), std::string::npos)
        << out;

    out.clear();
    ASSERT_TRUE(ExplainKey("[KEY]", out));
    EXPECT_NE(out.find("[KEY] section\n"), std::string::npos) << out;

    out.clear();
    EXPECT_FALSE(ExplainKey("holdbrake", out));
    EXPECT_EQ(out, "'holdbrake' is not a key of the settings file; did you mean "
                   "[TRAIN]HoldBrake?\n");
}

// Files the plug-in reads less of than they say, or nothing of, are never called clean: the
// status says which, and the report names what hid the text.
TEST(SettingsCheck, NamesTheFileFormsThePluginMisreads) {
    const struct {
        const char* why;
        std::string file;
        int status;
        const char* expected;
    } cases[] = {
        {"a UTF-8 mark is skipped, and said so", "\xEF\xBB\xBF[TRAIN]\nHoldBrake=1\n", kClean,
         "t.dat:1: note: the file begins with a UTF-8 byte-order mark (EF BB BF), which the "
         "plug-in skips"},
        {"so the first section is read", "\xEF\xBB\xBF[TRAIN]\nHoldBrake=1\n", kClean,
         "t.dat:2: [TRAIN] HoldBrake = 1\n"},
        {"lines ended by CR alone are one line", "[TRAIN]\rHoldBrake=1\r\r[TASC]\rUse=1\r",
         kUnreadable,
         "t.dat:1: warning: a carriage return without a line feed is no line end for the "
         "plug-in"},
        {"and the summary says nothing is taken", "[TRAIN]\rHoldBrake=1\r", kUnreadable,
         "t.dat: 0 settings read, 1 warning; the plug-in takes nothing from this file\n"},
        {"one CR alone among CR LF lines", "[TRAIN]\r\nHoldBrake=1\rPlusEB=1\r\n", kWarnings,
         "t.dat:2: warning: a carriage return without"},
        {"and the value it glues on is shown escaped", "[TRAIN]\r\nHoldBrake=1\rPlusEB=1\r\n",
         kWarnings, "'\\rPlusEB=1' after the number is ignored"},
        {"text after a Ctrl-Z is never read", "[TRAIN]\nHoldBrake=1\n\x1a\n\n[TASC]\nUse=1\n",
         kWarnings,
         "t.dat:3: warning: a Ctrl-Z (0x1A) ends the file for the plug-in: the text after it, "
         "from line 5 on, is never read\n"},
        {"a Ctrl-Z before everything", "\x1a[TRAIN]\nHoldBrake=1\n", kUnreadable,
         "t.dat:1: warning: a Ctrl-Z"},
        {"a Ctrl-Z that ends the file loses nothing", "[TRAIN]\nHoldBrake=1\n\x1a\r\n\x1a", kClean,
         "t.dat: 1 setting read, 0 warnings\n"},
        {"UTF-16 with its mark", std::string("\xFF\xFE[\0T\0R\0A\0I\0N\0]\0\n\0", 18), kUnreadable,
         "t.dat: warning: the file is UTF-16 little-endian, with its byte-order mark"},
        {"UTF-16 without a mark", std::string("[\0T\0R\0A\0I\0N\0]\0\n\0", 16), kUnreadable,
         "the file is UTF-16 little-endian; the plug-in reads 8-bit text"},
        {"UTF-16 big-endian", std::string("\0[\0T\0R\0A\0I\0N\0]\0\n", 16), kUnreadable,
         "the file is UTF-16 big-endian;"},
    };
    for (const auto& c : cases) {
        const Report report = Check(c.file);
        EXPECT_EQ(report.status, c.status) << c.why << "\n" << report.text;
        EXPECT_NE(report.text.find(c.expected), std::string::npos) << c.why << "\n" << report.text;
    }
}

// No byte of the file or its name reaches the terminal as itself if a terminal could take it
// for a command: values, ignored lines, cut pieces and the name at the start of every line.
TEST(SettingsCheck, ShowsTheFilesControlBytesEscaped) {
    const std::string hostile = "\x1b]2;PWNED\x07\x1b[2J\x9b"
                                "1m\xc2\x9b"
                                "2J\x7f";
    const std::string name = "t\x1b[31m.dat";
    const std::string files[] = {
        "[TRAIN]\nDefault=" + hostile + "\n",
        "[SENDDATA]\nHost=" + hostile + "\n",
        "[SENDDATA]\nHost=" + hostile + hostile + hostile + "\n",
        "[TRAIN]\nFoo=" + hostile + "\n",
        hostile + "=1\n[" + hostile + "]\n",
        "[TRAIN]\n" + std::string(255, ';') + hostile + "\n",
        "[TASC]\nNotch=" + hostile + "\n[TRAIN]" + hostile + "\n",
    };
    for (const std::string& file : files) {
        const Report report = Check(file, name);
        EXPECT_TRUE(test::SafeOnATerminal(report.text)) << report.text;
        EXPECT_NE(report.text.find("t\\x1b[31m.dat: "), std::string::npos) << report.text;
    }
    const Report value = Check(files[0]);
    EXPECT_NE(value.text.find("'\\x1b]2;PWNED\\x07\\x1b[2J\\x9b1m\\u009b2J\\x7f' is not a number"),
              std::string::npos)
        << value.text;

    std::string out;
    EXPECT_FALSE(ExplainKey(hostile, out));
    EXPECT_TRUE(test::SafeOnATerminal(out)) << out;
    out.clear();
    EXPECT_EQ(CheckSettingsFile("/nonexistent/" + name, name, out), kUnreadable);
    EXPECT_EQ(out, "t\\x1b[31m.dat: error: no such file, or not a file\n");
}

// Every saved fuzz input, each also cut in half and doubled, is checked to its end.
TEST(SettingsCheck, SurvivesTheFuzzCorpus) {
    int files = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(VELQA3_SOURCE_DIR "/fuzz/corpus/settings")) {
        const std::string bytes = velqa3::test::ReadWholeFile(entry.path());
        for (const std::string& text : {bytes, bytes.substr(0, bytes.size() / 2), bytes + bytes}) {
            const Report report = Check(text);
            EXPECT_TRUE(report.status >= kClean && report.status <= kUnreadable);
            EXPECT_NE(report.text.find(" read, "), std::string::npos);
            EXPECT_TRUE(test::SafeOnATerminal(report.text)) << report.text;
        }
        ++files;
    }
    EXPECT_GT(files, 0);
}

} // namespace
} // namespace velqa3::check
