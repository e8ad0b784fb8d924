// The [KEY] section with the check of the codes, and the panel and sound remaps.
#include "tests/support/settings_reading.h"

#include <gtest/gtest.h>

#include <string>

namespace velqa3 {
namespace {

using test::SettingsReading;

KeyTables CheckedKeys(const std::string& keySection) {
    const auto reading = SettingsReading::Of("[KEY]\n" + keySection);
    KeyTables keys = reading->keys;
    CheckKeyTable(keys);
    return keys;
}

TEST(KeyTable, WithoutAKeySectionOnlyTheAtsSwitchesSitOnDeadCodes) {
    const KeyTables keys = CheckedKeys("");
    std::int32_t expected[kKeySlots] = {};
    expected[52] = 0x88;
    expected[53] = 0x89;
    expected[54] = 0x8A;
    expected[55] = 0x8B;
    expected[57] = 0x8C;
    for (int slot = 0; slot < kKeySlots; ++slot)
        EXPECT_EQ(keys.assign[slot], expected[slot]) << slot;
}

TEST(KeyTable, NamesBindTheirSlotsAndTheCheckRefusesWhatNoKeyOrTheHostOwns) {
    const KeyTables keys = CheckedKeys("KirokuIC=0x52\n"
                                       "TascSW=82\n"
                                       "Klaxon1=0x41\n"
                                       "Klaxon1=0x42\n"
                                       "Klaxon2=300\n"
                                       "EBNFB=-5\n"
                                       "RightDoor=0x70\n"
                                       "LeftDoor=0x70\n"
                                       "PBrakeKaihou=0x7B\n"
                                       "MasterControllerKey=0x7B\n"
                                       "AtsNFB=0x6F\n"
                                       "PDRelation=255\n"
                                       "JoshaSokushin=010\n"
                                       "UtenSW=junk\n"
                                       "CurtainUp = 65\n"
                                       "curtainDown=65\n"
                                       "AllCar=99999999999\n");
    EXPECT_EQ(keys.assign[44], 0x52);
    EXPECT_EQ(keys.assign[45], 0x52); // one key may work two functions
    EXPECT_EQ(keys.assign[24], 0x42); // the later line wins
    EXPECT_EQ(keys.assign[25], 0);
    EXPECT_EQ(keys.assign[57], 0);
    EXPECT_EQ(keys.assign[49], 0);    // F1 is the host's for slots below 50
    EXPECT_EQ(keys.assign[50], 0x70); // but not from LeftDoor on
    EXPECT_EQ(keys.assign[56], 0x7B);
    EXPECT_EQ(keys.assign[48], 0);
    EXPECT_EQ(keys.assign[52], 0x6F);
    EXPECT_EQ(keys.assign[58], 255);
    EXPECT_EQ(keys.assign[41], 8);
    EXPECT_EQ(keys.assign[43], 0);
    EXPECT_EQ(keys.assign[46], 0);
    EXPECT_EQ(keys.assign[47], 0);
    EXPECT_EQ(keys.assign[51], 0); // saturated at INT32_MAX, then refused
    for (int slot = 0; slot < kKeySlots; ++slot) {
        EXPECT_GE(keys.assign[slot], 0) << slot;
        EXPECT_LE(keys.assign[slot], 255) << slot;
    }
}

TEST(KeyTable, EveryNameHasItsSlot) {
    const char* names[] = {"Klaxon1",
                           "Klaxon2",
                           "CscBVE",
                           "CscPT",
                           "MusicHorn",
                           "AtsKakunin",
                           "BellStop",
                           "EbReset",
                           "AtsInit",
                           "SentakuSW",
                           "M_Atc",
                           "M_ST",
                           "Buzzer",
                           "KoubaiKidou",
                           "JoshaSokushin",
                           "UtenSW",
                           "KirokuIC",
                           "TascSW",
                           "CurtainUp",
                           "CurtainDown",
                           "MasterControllerKey",
                           "RightDoor",
                           "LeftDoor",
                           "AllCar",
                           "AtsNFB",
                           "AtsKirikaeRendou",
                           "AtsKirikaeSW",
                           "PKaihou",
                           "PBrakeKaihou",
                           "EBNFB",
                           "PDRelation"};
    const int slots[] = {24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 36, 37, 38, 39, 41, 43,
                         44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58};
    static_assert(std::size(names) == std::size(slots));
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const KeyTables keys = CheckedKeys(std::string(names[i]) + "=0xA0\n");
        EXPECT_EQ(keys.assign[slots[i]], 0xA0) << names[i];
    }
}

TEST(Remap, PanelSlotsMoveExceptToOrFromTheSuspendEntry) {
    const auto reading = SettingsReading::Of("[PANELOUTPUT]\n"
                                             "121=50\n"
                                             "010=0x10\n"
                                             "011=010\n"
                                             "199=5\n"
                                             "012=199\n"
                                             "013=255\n"
                                             "014=254\n"
                                             "015=-1\n"
                                             "7=3\n"
                                             "0016=3\n"
                                             "256=3\n"
                                             "017 =3\n"
                                             "018=junk\n"
                                             "020=30\n"
                                             "020=31\n"
                                             "021=99999999999\n"
                                             "022=-4294967290\n");
    const std::uint8_t* panel = reading->remap.panel;
    EXPECT_EQ(panel[121], 50);
    EXPECT_EQ(panel[10], 16);
    EXPECT_EQ(panel[11], 8);
    EXPECT_EQ(panel[199], 199);
    EXPECT_EQ(panel[12], 12);
    EXPECT_EQ(panel[13], 13);
    EXPECT_EQ(panel[14], 254);
    EXPECT_EQ(panel[15], 15);
    EXPECT_EQ(panel[7], 7);
    EXPECT_EQ(panel[0], 0);
    EXPECT_EQ(panel[1], 1);
    EXPECT_EQ(panel[17], 17);
    EXPECT_EQ(panel[18], 0); // no number reads as 0, a valid target
    EXPECT_EQ(panel[20], 31);
    EXPECT_EQ(panel[21], 21);
    EXPECT_EQ(panel[22], 22); // saturated, not wrapped to 6
    for (int slot = 0; slot < 256; ++slot)
        EXPECT_EQ(reading->remap.sound[slot], slot);
}

TEST(Remap, SoundSlotsMayUseIndex199ButNot255) {
    const auto reading =
        SettingsReading::Of("[SOUNDOUTPUT]\n199=5\n006=199\n255=254\n007=255\n008=-1\n");
    const std::uint8_t* sound = reading->remap.sound;
    EXPECT_EQ(sound[199], 5);
    EXPECT_EQ(sound[6], 199);
    EXPECT_EQ(sound[255], 254);
    EXPECT_EQ(sound[7], 7);
    EXPECT_EQ(sound[8], 8);
    EXPECT_EQ(reading->remap.panel[199], 199);
}

} // namespace
} // namespace velqa3
