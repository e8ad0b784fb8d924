// What each key of each section does to the values the rest of the plug-in reads.
#include "tests/support/settings_reading.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

namespace velqa3 {
namespace {

using test::SettingsReading;

struct KeyCase {
    const char* text;
    std::function<double(const Settings&)> value;
    double expected;
};

void ExpectEach(const char* section, std::initializer_list<KeyCase> cases) {
    for (const KeyCase& c : cases) {
        const auto reading = SettingsReading::Of(std::string(section) + "\n" + c.text + "\n");
        EXPECT_EQ(c.value(reading->settings), c.expected) << section << ' ' << c.text;
    }
}

#define VALUE(field) [](const Settings& s) { return static_cast<double>(s.field); }

TEST(SettingsTrain, KeysAndTheirRanges) {
    ExpectEach("[TRAIN]",
               {
                   {"Default=0x14", VALUE(defaultLineCode), 20},
                   {"Default=010", VALUE(defaultLineCode), 8},
                   {"Default= -3junk", VALUE(defaultLineCode), -3},
                   {"Default=99999999999", VALUE(defaultLineCode), INT32_MAX},
                   {"Default=-0x80000001", VALUE(defaultLineCode), INT32_MIN},
                   {"Default=junk", VALUE(defaultLineCode), 0},
                   {"PlusBrake=1\nPlusBrake=0", VALUE(plusBrakeConfigured), 1},
                   {"PlusEB=-1\nPlusEB=0", VALUE(plusBrakeEmergencyBoost), 1},
                   {"HoldBrake=7", VALUE(holdBrake), 1},
                   {"HoldBrake=7\nHoldBrake=0", VALUE(holdBrake), 0},
                   {"SnowBrake=999", VALUE(snowBrake), 999},
                   {"SnowBrake=1000", VALUE(snowBrake), 0},
                   {"SnowBrake=-1", VALUE(snowBrake), 0},
                   {"Length=123.5", VALUE(length), 123.5},
                   {"Length=1e99", VALUE(length), 0},
                   {"EmgBrake=2", VALUE(emgBrake), 1},
                   {"EmgBrake=3", VALUE(emgBrake), 3},
                   {"EmgBrake=0", VALUE(emgBrake), 0},
                   {"EmgBrake=-1", VALUE(emgBrake), 1},
                   {"EmgBrake=259", VALUE(emgBrake), 3},
                   {"EmgBrake=4", VALUE(emgBrake), 1},
                   {"EmgBrake=99999999999", VALUE(emgBrake), 1}, // saturated: low byte 0xFF
                   {"Horn=-20", VALUE(horn), -20},
                   {"Offset=-2.5", VALUE(offset), -2.5},
               });
}

TEST(SettingsTrain, MaxSpeedIsHandedOverAtItsLineAndNeverBelow10) {
    const auto reading = SettingsReading::Of("[TRAIN]\nMaxSpeed=5\nMaxSpeed=120\nMaxSpeed=x\n");
    EXPECT_EQ(reading->calls,
              (std::vector<std::string>{"MaxSpeed 10", "MaxSpeed 120", "MaxSpeed 10"}));
    // A file without the key hands nothing over; the protection keeps its own maximum.
    EXPECT_TRUE(SettingsReading::Of("[TRAIN]\nMaxSpeed 5\n")->calls.empty());
}

TEST(SettingsTrain, MasterKeyTypes) {
    const struct {
        const char* value;
        int flags;
        int position;
        bool startsProtection;
    } cases[] = {
        {"1", 0x90, 0, false}, {"2", 0xD0, 0, false}, {"0", 0x41, 2, true},
        {"3", 0x41, 2, true},  {"x", 0x41, 2, true},
    };
    for (const auto& c : cases) {
        const auto reading = SettingsReading::Of(std::string("[TRAIN]\nMKey=") + c.value + "\n");
        EXPECT_EQ(reading->settings.masterKeyFlags, c.flags) << c.value;
        EXPECT_EQ(reading->settings.masterKeyPosition, c.position) << c.value;
        EXPECT_EQ(reading->calls.size(), c.startsProtection ? 1u : 0u) << c.value;
    }
    // A later line replaces the whole key type, flags included.
    const auto reading = SettingsReading::Of("[TRAIN]\nMKey=2\nMKey=0\n");
    EXPECT_EQ(reading->settings.masterKeyFlags, 0x41);
}

TEST(SettingsTrain, MasterKeyStartUpSeesOnlyTheDefaultAboveIt) {
    const auto before = SettingsReading::Of("[TRAIN]\nDefault=0x14\nMKey=0\n");
    EXPECT_EQ(before->calls, std::vector<std::string>{"start-up with Default 20"});
    const auto after = SettingsReading::Of("[TRAIN]\nMKey=0\nDefault=0x14\n");
    EXPECT_EQ(after->calls, std::vector<std::string>{"start-up with Default 4"});
    EXPECT_EQ(after->settings.defaultLineCode, 20);
    const auto interleaved = SettingsReading::Of("[TRAIN]\nMaxSpeed=90\nMKey=0\nMaxSpeed=80\n");
    EXPECT_EQ(interleaved->calls,
              (std::vector<std::string>{"MaxSpeed 90", "start-up with Default 4", "MaxSpeed 80"}));
}

TEST(SettingsExtra, KeysAndTheirRanges) {
    ExpectEach("[EXTRA]",
               {
                   {"Oneman=1", VALUE(oneManDoors), 0x84},
                   {"Oneman=1\nOneman=0", VALUE(oneManDoors), 0x84},
                   {"Oneman=0", VALUE(oneManDoors), 0},
                   {"EGBEnd=1500", VALUE(egbStart), 1500},
                   {"EGBEnd=1500", VALUE(abStart), 1500},
                   {"EGBEnd=-1500", VALUE(egbEnd), 0},
                   {"CurrentK=-2", VALUE(currentK), 0},
                   {"CurrentK=1.5", VALUE(currentK), 1.5},
                   {"Kiroku=5", VALUE(kiroku), 1},
                   {"Kiroku=-3", VALUE(kiroku), 0},
                   {"Kiroku=3", VALUE(kiroku), 3},
                   {"Tameo=0.5", VALUE(companions), 2},
                   {"Hybrid=0.1\nTameo=1\nTameo=0", VALUE(companions), 3},
                   {"Hybrid=0.0", VALUE(companions), 0},
                   {"PowerDownMode=1\nPowerDownMode=2\nPowerDownMode=0", VALUE(powerDownMode1), 1},
                   {"PowerDownMode=1\nPowerDownMode=2\nPowerDownMode=3", VALUE(powerDownMode2), 1},
                   {"PowerDownMode=3", VALUE(powerDownMode1), 0},
                   {"PowerDownV=1800", VALUE(powerDownV), 1800},
                   {"BrakeDownMode=2", VALUE(brakeDownMode), 0},
                   {"BrakeDownMode=1\nBrakeDownMode=0", VALUE(brakeDownMode), 1},
                   {"BrakeDownV=1850", VALUE(brakeDownV), 1850},
               });
    // The [EXTRA] voltage seeds all three; [JRC313] below sets them one by one.
    const auto reading = SettingsReading::Of("[EXTRA]\nEGBEnd=1500\n\n[JRC313]\nABStart=1600\n");
    EXPECT_EQ(reading->settings.egbStart, 1500);
    EXPECT_EQ(reading->settings.abStart, 1600);
    EXPECT_EQ(reading->settings.egbEnd, 1500);
}

TEST(SettingsTasc, KeysAndTheirRanges) {
    ExpectEach("[TASC]", {
                             {"Use=1", VALUE(tascInstalled), 1},
                             {"Use=1", VALUE(tascSwitchedOn), 1},
                             {"Use=1\nUse=2", VALUE(tascInstalled), 0},
                             {"Accelaration=3.6", VALUE(tascDeceleration), 1.0},
                             {"Accelaration=40", VALUE(tascDeceleration), 0.75},
                             {"Accelaration=-1", VALUE(tascDeceleration), 0.75},
                             {"Accelaration=36", VALUE(tascDeceleration), 10.0},
                             {"Notch=250", VALUE(tascNotch), 50},
                             {"Notch=-7", VALUE(tascNotch), -7},
                             {"Notch=-99999999999", VALUE(tascNotch), -48}, // INT32_MIN % 100
                             {"Mode=1\nMode=2", VALUE(tascMode), 3},
                             {"Mode=2\nMode=4\nMode=0", VALUE(tascMode), 2},
                             {"PlatformDoor=2", VALUE(platformDoorLampVariant), 1},
                             {"PlatformDoor=2\nPlatformDoor=1", VALUE(platformDoorLampVariant), 0},
                             {"PlatformDoor=1", VALUE(platformDoorsFitted), 1},
                             {"PlatformDoor=2\nPlatformDoor=3", VALUE(platformDoorsLinked), 1},
                             {"PlatformDoor=3", VALUE(platformDoorsFitted), 0},
                             {"PDClose=1500.9", VALUE(pdClose), 1500},
                             {"PDClose=-0.5", VALUE(pdClose), 0},
                             {"PDClose=-3000", VALUE(pdClose), 0},
                             {"PDClose=1e20", VALUE(pdClose), INT32_MAX},
                         });
}

TEST(SettingsMeitetsuAndDc25, KeysAndTheirRanges) {
    ExpectEach("[MEITETSU]", {
                                 {"OSR=2", VALUE(osrMode), 2},
                                 {"OSR=3", VALUE(osrMode), 1},
                                 {"OSR=-1", VALUE(osrMode), 1},
                                 {"OSR=0", VALUE(osrMode), 0},
                                 {"PRR=9", VALUE(prr), 1},
                             });
    ExpectEach("[DC25]", {
                             {"Mode=2", VALUE(dc25Mode), 2},
                             {"Mode=5", VALUE(dc25Mode), 0},
                             {"Mode=5", VALUE(dc25Configured), 1},
                             {"Mode=1\nMode=0", VALUE(dc25Configured), 1},
                             {"Mode=0", VALUE(dc25Configured), 0},
                         });
}

TEST(SettingsJrc313, KeysAndTheirRanges) {
    ExpectEach("[JRC313]", {
                               {"PTMode=0.5", VALUE(leverBits), 1},
                               {"OneLever=1\nPTMode=0", VALUE(leverBits), 2},
                               {"PTMode=2\nOneLever=-1", VALUE(leverBits), 3},
                               {"EGBStart=-1", VALUE(egbStart), 0},
                               {"ABStart=1750", VALUE(abStart), 1750},
                               {"EGBEnd=1950", VALUE(egbEnd), 1950},
                               {"EGBEnd=1950", VALUE(egbStart), 1730},
                               {"Constant=258", VALUE(constant), 2},
                               {"Constant=-255", VALUE(constant), 1},
                               {"PBStart=5", VALUE(pbStart), 10},
                               {"PBEnd=0", VALUE(pbEnd), 0.1f},
                               {"PBEnd=-3", VALUE(pbEnd), 0.1f},
                               {"PBEnd=35", VALUE(pbEnd), 35},
                               {"T-PriorityCur=1200", VALUE(tPriorityCur), 1200},
                               {"T-PriorityMid=4.5", VALUE(tPriorityMid), 4.5},
                               {"T-PriorityB1=5", VALUE(tPriorityB[0]), 10},
                               {"T-PriorityB7=380", VALUE(tPriorityB[6]), 380},
                               {"T-PriorityB4=120", VALUE(tPriorityB[3]), 120},
                               {"ApplySpeed=150", VALUE(applySpeed), 150},
                               {"ReleaseSpeed=250", VALUE(releaseSpeed), 250},
                               {"EBDown=3", VALUE(ebDown), 1},
                           });
}

TEST(SettingsJrc313, TheHeaderAloneChoosesTheTPriorityModel) {
    EXPECT_EQ(SettingsReading::Of("[JRC313]\n")->settings.tPriorityModel, 2);
    EXPECT_EQ(SettingsReading::Of("[JRC313]")->settings.tPriorityModel, 2);
    const auto started = SettingsReading::Of("[JRC313]\nT-PriorityStart=30\n");
    EXPECT_EQ(started->settings.tPriorityModel, 1);
    EXPECT_EQ(started->settings.tPriorityStart, 30.0f);
    // A second header chooses the model again.
    EXPECT_EQ(
        SettingsReading::Of("[JRC313]\nT-PriorityStart=30\n\n[JRC313]\n")->settings.tPriorityModel,
        2);
    EXPECT_EQ(SettingsReading::Of("[TRAIN]\n[JRC313]\n")->settings.tPriorityModel, 0);
}

TEST(SettingsPanel, KeysAndTheirRanges) {
    ExpectEach("[PANEL]", {
                              {"Station=259", VALUE(station), 3},
                              {"CarNumber=2", VALUE(carNumber), 1},
                              {"Unit2-EGBEnd=-1", VALUE(unit2EgbEnd), 0},
                              {"Unit2-EGBEnd=1720.5", VALUE(unit2EgbEnd), 1720.5},
                              {"Unit2-KasenV=-1", VALUE(unit2KasenV), 0},
                              {"Unit3-EGBEnd=1800", VALUE(unit3EgbEnd), 1800},
                              {"Unit3-KasenV=1500", VALUE(unit3KasenV), 1500},
                          });
}

TEST(SettingsSendData, PortsStayInTheDynamicRangeAndApart) {
    ExpectEach("[SENDDATA]",
               {
                   {"Mode=1", VALUE(sendMode), 1},
                   {"CastMode=-1", VALUE(castMode), 1},
                   {"Port=1024", VALUE(port), 49200},
                   {"Port=65537", VALUE(port), 49200},
                   {"Port=50000", VALUE(port), 50000},
                   {"Port=0x1C350", VALUE(port), 50000},     // low 16 bits
                   {"Port=-15536", VALUE(port), 50000},      // the same bits, negative
                   {"Port=99999999999", VALUE(port), 65535}, // saturated first
                   {"CastPort=1024", VALUE(castPort), 49201},
                   {"Port=50000\nCastPort=50000", VALUE(castPort), 50001},
                   {"CastPort=50000\nPort=50000", VALUE(castPort), 50000},
                   {"CastPort=49200", VALUE(castPort), 49201}, // the default Port counts
                   {"Port=65535\nCastPort=65535", VALUE(castPort), 65534},
               });
}

TEST(SettingsSendData, HostTextsAreKeptWholeOrCutAtTheirField) {
    const auto reading =
        SettingsReading::Of("[SENDDATA]\r\nHost=192.168.0.10\r\nCastHost=10.0.0.1 \n");
    EXPECT_STREQ(reading->settings.host, "192.168.0.10");
    EXPECT_STREQ(reading->settings.castHost, "10.0.0.1 ");

    const std::string fiftyOne(51, '1');
    const auto longer = SettingsReading::Of("[SENDDATA]\nHost=" + fiftyOne +
                                            "234\nCastHost=" + fiftyOne + "\nCastHost=\n");
    EXPECT_EQ(std::string(longer->settings.host), fiftyOne);
    EXPECT_STREQ(longer->settings.castHost, "");

    // The last line of a file needs no line break; a 300-character value is cut at the field
    // and its tail is a line of its own.
    const auto last = SettingsReading::Of("[SENDDATA]\nHost=" + std::string(300, '9'));
    EXPECT_EQ(std::string(last->settings.host), std::string(51, '9'));
}

// The example a user copies must mean what its comments say: the defaults, a [JRC313] section
// that chooses its T-priority model, and nothing else.
TEST(SettingsExample, TheExampleFileGivesTheDefaultsItsCommentsPromise) {
    const auto example =
        std::filesystem::path(__FILE__).parent_path() / "../../examples/velqa3.dat";
    const auto reading = SettingsReading::OfFile(example.string());
    EXPECT_EQ(reading->messages, "");
    EXPECT_TRUE(reading->calls.empty());

    Settings expected;
    expected.tPriorityModel = 2;
    EXPECT_EQ(reading->settings.tPriorityModel, 2);
    EXPECT_EQ(reading->settings.tascDeceleration, expected.tascDeceleration);
    EXPECT_TRUE(reading->settings == expected);

    KeyTables defaultKeys;
    ResetKeyTables(defaultKeys);
    EXPECT_EQ(std::memcmp(reading->keys.assign, defaultKeys.assign, sizeof defaultKeys.assign), 0);
    const RemapTables identity;
    EXPECT_EQ(std::memcmp(&reading->remap, &identity, sizeof identity), 0);
}

} // namespace
} // namespace velqa3
