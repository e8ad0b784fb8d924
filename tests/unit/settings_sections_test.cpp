// What each key of each section does to the values the rest of the plug-in reads.
#include "config/numbers.h"
#include "config/settings_sections.h"
#include "tests/support/settings_reading.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>

namespace velqa3 {
namespace {

using test::SettingsReading;

// Each value is read alone, after "key=" in a fresh file; a value may carry further lines.
template <class Get>
void ExpectKey(const char* section, const char* key, Get value,
               std::initializer_list<std::pair<const char*, double>> cases) {
    for (const auto& [text, expected] : cases) {
        const auto reading =
            SettingsReading::Of(std::string(section) + "\n" + key + "=" + text + "\n");
        EXPECT_EQ(value(reading->settings), expected) << section << ' ' << key << '=' << text;
    }
}

#define VALUE(field) [](const Settings& s) { return static_cast<double>(s.field); }

TEST(SettingsSections, Train) {
    // Read as any other integer (the number reader has its own test).
    ExpectKey("[TRAIN]", "Default", VALUE(defaultLineCode), {{"0x14", 20}, {"junk", 0}});
    // These only ever set their bit.
    ExpectKey("[TRAIN]", "PlusBrake", VALUE(plusBrakeConfigured), {{"1\nPlusBrake=0", 1}});
    ExpectKey("[TRAIN]", "PlusEB", VALUE(plusBrakeEmergencyBoost), {{"-1\nPlusEB=0", 1}});
    ExpectKey("[TRAIN]", "HoldBrake", VALUE(holdBrake), {{"7", 1}, {"7\nHoldBrake=0", 0}});
    ExpectKey("[TRAIN]", "SnowBrake", VALUE(snowBrake), {{"999", 999}, {"1000", 0}, {"-1", 0}});
    ExpectKey("[TRAIN]", "Length", VALUE(length), {{"123.5", 123.5}, {"1e99", 0}});
    // Only 0, 1 and 3 stay, of the low byte; a saturated value has the low byte 0xFF.
    ExpectKey("[TRAIN]", "EmgBrake", VALUE(emgBrake),
              {{"2", 1}, {"3", 3}, {"0", 0}, {"-1", 1}, {"259", 3}, {"4", 1}, {"99999999999", 1}});
    ExpectKey("[TRAIN]", "Horn", VALUE(horn), {{"-20", -20}});
    ExpectKey("[TRAIN]", "Offset", VALUE(offset), {{"-2.5", -2.5}});
}

TEST(SettingsSections, TrainMaxSpeedAndMasterKeyActAtTheirLine) {
    // A later MKey line replaces the whole key type, flags included.
    ExpectKey(
        "[TRAIN]", "MKey", VALUE(masterKeyFlags),
        {{"1", 0x90}, {"2", 0xD0}, {"0", 0x41}, {"3", 0x41}, {"x", 0x41}, {"2\nMKey=0", 0x41}});
    ExpectKey("[TRAIN]", "MKey", VALUE(masterKeyPosition),
              {{"1", 0}, {"2", 0}, {"0", 2}, {"3", 2}, {"x", 2}, {"2\nMKey=0", 2}});
    // Only key types other than 1 and 2 start the protection, and the start-up sees only the
    // Default above it; MaxSpeed is handed over at its line, never below 10, and not at all
    // without the key.
    const struct {
        const char* text;
        std::vector<std::string> calls;
    } orders[] = {
        {"MaxSpeed=5\nMaxSpeed=120\nMaxSpeed=x", {"MaxSpeed 10", "MaxSpeed 120", "MaxSpeed 10"}},
        {"MaxSpeed 5", {}},
        {"MKey=1\nMKey=2", {}},
        {"MKey=3\nMKey=x", {"start-up with Default 4", "start-up with Default 4"}},
        {"Default=0x14\nMKey=0", {"start-up with Default 20"}},
        {"MKey=0\nDefault=0x14", {"start-up with Default 4"}},
        {"MaxSpeed=90\nMKey=0\nMaxSpeed=80",
         {"MaxSpeed 90", "start-up with Default 4", "MaxSpeed 80"}}};
    for (const auto& c : orders)
        EXPECT_EQ(SettingsReading::Of(std::string("[TRAIN]\n") + c.text + "\n")->calls, c.calls)
            << c.text;
}

TEST(SettingsSections, Extra) {
    ExpectKey("[EXTRA]", "Oneman", VALUE(oneManDoors),
              {{"1", 0x84}, {"1\nOneman=0", 0x84}, {"0", 0}});
    // The [EXTRA] voltage seeds all three; [JRC313] below sets them one by one.
    const char* seeded = "1500\n\n[JRC313]\nABStart=1600";
    ExpectKey("[EXTRA]", "EGBEnd", VALUE(egbStart), {{seeded, 1500}});
    ExpectKey("[EXTRA]", "EGBEnd", VALUE(abStart), {{seeded, 1600}});
    ExpectKey("[EXTRA]", "EGBEnd", VALUE(egbEnd), {{seeded, 1500}, {"-1500", 0}});
    ExpectKey("[EXTRA]", "CurrentK", VALUE(currentK), {{"-2", 0}, {"1.5", 1.5}});
    ExpectKey("[EXTRA]", "Kiroku", VALUE(kiroku), {{"5", 1}, {"-3", 0}, {"3", 3}});
    ExpectKey("[EXTRA]", "Tameo", VALUE(companions), {{"0.5", 2}});
    ExpectKey("[EXTRA]", "Hybrid", VALUE(companions), {{"0.1\nTameo=1\nTameo=0", 3}, {"0.0", 0}});
    ExpectKey("[EXTRA]", "PowerDownMode", VALUE(powerDownMode1),
              {{"1\nPowerDownMode=2\nPowerDownMode=0", 1}, {"3", 0}});
    ExpectKey("[EXTRA]", "PowerDownMode", VALUE(powerDownMode2),
              {{"1\nPowerDownMode=2\nPowerDownMode=3", 1}});
    ExpectKey("[EXTRA]", "PowerDownV", VALUE(powerDownV), {{"1800", 1800}});
    ExpectKey("[EXTRA]", "BrakeDownMode", VALUE(brakeDownMode),
              {{"2", 0}, {"1\nBrakeDownMode=0", 1}});
    ExpectKey("[EXTRA]", "BrakeDownV", VALUE(brakeDownV), {{"1850", 1850}});
}

TEST(SettingsSections, Tasc) {
    ExpectKey("[TASC]", "Use", VALUE(tascInstalled), {{"1", 1}, {"1\nUse=2", 0}});
    ExpectKey("[TASC]", "Use", VALUE(tascSwitchedOn), {{"1", 1}});
    ExpectKey("[TASC]", "Accelaration", VALUE(tascDeceleration),
              {{"3.6", 1.0}, {"40", 0.75}, {"-1", 0.75}, {"36", 10.0}});
    ExpectKey("[TASC]", "Notch", VALUE(tascNotch),
              {{"250", 50}, {"-7", -7}, {"-99999999999", -48}}); // INT32_MIN % 100
    ExpectKey("[TASC]", "Mode", VALUE(tascMode), {{"1\nMode=2", 3}, {"2\nMode=4\nMode=0", 2}});
    ExpectKey("[TASC]", "PlatformDoor", VALUE(platformDoorLampVariant),
              {{"2", 1}, {"2\nPlatformDoor=1", 0}});
    ExpectKey("[TASC]", "PlatformDoor", VALUE(platformDoorsFitted), {{"1", 1}, {"3", 0}});
    ExpectKey("[TASC]", "PlatformDoor", VALUE(platformDoorsLinked), {{"2\nPlatformDoor=3", 1}});
    ExpectKey("[TASC]", "PDClose", VALUE(pdClose),
              {{"1500.9", 1500}, {"-0.5", 0}, {"-3000", 0}, {"1e20", INT32_MAX}});
}

TEST(SettingsSections, MeitetsuDc25AndPanel) {
    ExpectKey("[MEITETSU]", "OSR", VALUE(osrMode), {{"2", 2}, {"3", 1}, {"-1", 1}, {"0", 0}});
    ExpectKey("[MEITETSU]", "PRR", VALUE(prr), {{"9", 1}});
    ExpectKey("[DC25]", "Mode", VALUE(dc25Mode), {{"2", 2}, {"5", 0}});
    ExpectKey("[DC25]", "Mode", VALUE(dc25Configured), {{"5", 1}, {"1\nMode=0", 1}, {"0", 0}});
    ExpectKey("[PANEL]", "Station", VALUE(station), {{"259", 3}});
    ExpectKey("[PANEL]", "CarNumber", VALUE(carNumber), {{"2", 1}});
    ExpectKey("[PANEL]", "Unit2-EGBEnd", VALUE(unit2EgbEnd), {{"-1", 0}, {"1720.5", 1720.5}});
    ExpectKey("[PANEL]", "Unit2-KasenV", VALUE(unit2KasenV), {{"-1", 0}});
    ExpectKey("[PANEL]", "Unit3-EGBEnd", VALUE(unit3EgbEnd), {{"1800", 1800}});
    ExpectKey("[PANEL]", "Unit3-KasenV", VALUE(unit3KasenV), {{"1500", 1500}});
}

TEST(SettingsSections, Jrc313) {
    ExpectKey("[JRC313]", "PTMode", VALUE(leverBits), {{"0.5", 1}, {"2\nOneLever=-1", 3}});
    ExpectKey("[JRC313]", "OneLever", VALUE(leverBits), {{"1\nPTMode=0", 2}});
    ExpectKey("[JRC313]", "EGBStart", VALUE(egbStart), {{"-1", 0}});
    ExpectKey("[JRC313]", "ABStart", VALUE(abStart), {{"1750", 1750}});
    ExpectKey("[JRC313]", "EGBEnd", VALUE(egbEnd), {{"1950", 1950}});
    ExpectKey("[JRC313]", "EGBEnd", VALUE(egbStart), {{"1950", 1730}});
    ExpectKey("[JRC313]", "Constant", VALUE(constant), {{"258", 2}, {"-255", 1}});
    ExpectKey("[JRC313]", "PBStart", VALUE(pbStart), {{"5", 10}});
    ExpectKey("[JRC313]", "PBEnd", VALUE(pbEnd), {{"0", 0.1f}, {"-3", 0.1f}, {"35", 35}});
    ExpectKey("[JRC313]", "T-PriorityCur", VALUE(tPriorityCur), {{"1200", 1200}});
    ExpectKey("[JRC313]", "T-PriorityMid", VALUE(tPriorityMid), {{"4.5", 4.5}});
    ExpectKey("[JRC313]", "T-PriorityB1", VALUE(tPriorityB[0]), {{"5", 10}});
    ExpectKey("[JRC313]", "T-PriorityB4", VALUE(tPriorityB[3]), {{"120", 120}});
    ExpectKey("[JRC313]", "T-PriorityB7", VALUE(tPriorityB[6]), {{"380", 380}});
    ExpectKey("[JRC313]", "ApplySpeed", VALUE(applySpeed), {{"150", 150}});
    ExpectKey("[JRC313]", "ReleaseSpeed", VALUE(releaseSpeed), {{"250", 250}});
    ExpectKey("[JRC313]", "EBDown", VALUE(ebDown), {{"3", 1}});
    ExpectKey("[JRC313]", "T-PriorityStart", VALUE(tPriorityStart), {{"30", 30}});

    // The header alone chooses the T-priority model, each time it comes; T-PriorityStart
    // chooses the other one.
    const std::pair<const char*, int> models[] = {{"[JRC313]\n", 2},
                                                  {"[JRC313]", 2},
                                                  {"[JRC313]\nT-PriorityStart=30\n", 1},
                                                  {"[JRC313]\nT-PriorityStart=30\n\n[JRC313]\n", 2},
                                                  {"[TRAIN]\n[JRC313]\n", 0}};
    for (const auto& [text, model] : models)
        EXPECT_EQ(SettingsReading::Of(text)->settings.tPriorityModel, model) << text;
}

TEST(SettingsSections, SendDataPortsStayInTheDynamicRangeAndApart) {
    ExpectKey("[SENDDATA]", "Mode", VALUE(sendMode), {{"1", 1}});
    ExpectKey("[SENDDATA]", "CastMode", VALUE(castMode), {{"-1", 1}});
    // The low 16 bits, of a saturated value too.
    ExpectKey("[SENDDATA]", "Port", VALUE(port),
              {{"1024", 49200},
               {"65537", 49200},
               {"50000", 50000},
               {"0x1C350", 50000},
               {"-15536", 50000},
               {"99999999999", 65535}});
    // Moved off Port as it stands at that line, the default included, and never past 65535.
    ExpectKey("[SENDDATA]", "CastPort", VALUE(castPort),
              {{"1024", 49201}, {"50000\nPort=50000", 50000}, {"49200", 49201}});
    ExpectKey("[SENDDATA]", "Port", VALUE(castPort),
              {{"50000\nCastPort=50000", 50001}, {"65535\nCastPort=65535", 65534}});
}

TEST(SettingsSections, SendDataHostsAreKeptWholeOrCutAtTheirField) {
    const std::string fiftyOne(51, '1');
    const auto reading = SettingsReading::Of(
        "[SENDDATA]\r\nHost=192.168.0.10\r\nCastHost=" + fiftyOne + "\nCastHost=10.0.0.1 \n");
    EXPECT_STREQ(reading->settings.host, "192.168.0.10");
    EXPECT_STREQ(reading->settings.castHost, "10.0.0.1 ");
    const auto longer =
        SettingsReading::Of("[SENDDATA]\nHost=" + fiftyOne + "234\nCastHost=" + fiftyOne);
    EXPECT_EQ(std::string(longer->settings.host), fiftyOne);
    EXPECT_EQ(std::string(longer->settings.castHost), fiftyOne);
    EXPECT_STREQ(SettingsReading::Of("[SENDDATA]\nCastHost=\n")->settings.castHost, "");
    // A 300-character last line without a line break is cut at the field, its tail a line.
    const auto last = SettingsReading::Of("[SENDDATA]\nHost=" + std::string(300, '9'));
    EXPECT_EQ(std::string(last->settings.host), std::string(51, '9'));
}

// The guide and velqa3-check give each key's default from its row, and the plug-in from the
// initial values of the settings: a key written with its documented default must read as a
// file without it. Defaults in words ("off", "0 (unset)") have no line to write.
TEST(SettingsSections, DocumentedDefaultsAreTheValuesWithoutTheLine) {
    int compared = 0;
    for (std::size_t i = 0; i < SettingsKeyCount(); ++i) {
        const SettingsKeyInfo info = SettingsKeyAt(i);
        const std::string key = info.key != nullptr ? info.key : "";
        NumberScan scan;
        ParseFloat(info.doc.defaultValue.en, scan);
        if (key.empty() || !scan.number || *scan.end != '\0') continue;
        // The stop port moves off the status port, which starts on the same number; the
        // T-priority speed also selects a model.
        if (key == "CastPort" || key == "T-PriorityStart") continue;
        const std::string section = std::string(info.section) + "\n";
        const auto without = SettingsReading::Of(section);
        const auto with = SettingsReading::Of(section + key + "=" + info.doc.defaultValue.en);
        EXPECT_TRUE(with->settings == without->settings) << info.section << ' ' << key;
        ++compared;
    }
    EXPECT_GT(compared, 30);
}

// The examples a user copies, in English and in Japanese (Shift_JIS), must mean what their
// comments say: the defaults, read exactly as an empty file is read. (A [JRC313] header alone
// would switch a brake-cylinder model on, so the examples keep it commented out.)
TEST(SettingsExample, TheExampleFilesReadAsAnEmptyFileDoes) {
    const auto empty = SettingsReading::Of("");
    for (const char* name : {"examples/velqa3.dat", "examples/velqa3.ja.dat"}) {
        const auto reading =
            SettingsReading::OfFile((std::filesystem::path(VELQA3_SOURCE_DIR) / name).string());
        EXPECT_EQ(reading->messages, "") << name;
        EXPECT_TRUE(reading->calls.empty()) << name;
        EXPECT_TRUE(reading->settings == empty->settings) << name;
        EXPECT_EQ(std::memcmp(reading->keys.assign, empty->keys.assign, sizeof empty->keys.assign),
                  0)
            << name;
        EXPECT_EQ(std::memcmp(&reading->remap, &empty->remap, sizeof empty->remap), 0) << name;
    }
}

} // namespace
} // namespace velqa3
