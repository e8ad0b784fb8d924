// The [KEY] section with the check of the codes, and the panel and sound remaps.
#include "tests/support/settings_reading.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace velqa3 {
namespace {

using test::SettingsReading;

KeyTables CheckedKeys(const std::string& keySection) {
    const auto reading = SettingsReading::Of("[KEY]\n" + keySection);
    KeyTables keys = reading->keys;
    CheckKeyTable(keys);
    return keys;
}

TEST(KeyTable, EveryNameBindsItsOwnSlotAndTheRestKeepTheirDefaults) {
    const KeyTables none = CheckedKeys("");
    const std::int32_t deadCodes[] = {0x88, 0x89, 0x8A, 0x8B, 0, 0x8C}; // slots 52..57
    for (int slot = 0; slot < kKeySlots; ++slot)
        EXPECT_EQ(none.assign[slot], slot >= 52 && slot <= 57 ? deadCodes[slot - 52] : 0) << slot;

    // Each name is given its own slot number as the code, so a name bound to another slot shows.
    const KeyTables all = CheckedKeys(
        "Klaxon1=24\nKlaxon2=25\nCscBVE=26\nCscPT=27\nMusicHorn=28\nAtsKakunin=29\nBellStop=30\n"
        "EbReset=31\nAtsInit=32\nSentakuSW=33\nM_Atc=36\nM_ST=37\nBuzzer=38\nKoubaiKidou=39\n"
        "JoshaSokushin=41\nUtenSW=43\nKirokuIC=44\nTascSW=45\nCurtainUp=46\nCurtainDown=47\n"
        "MasterControllerKey=48\nRightDoor=49\nLeftDoor=50\nAllCar=51\nAtsNFB=52\n"
        "AtsKirikaeRendou=53\nAtsKirikaeSW=54\nPKaihou=55\nPBrakeKaihou=56\nEBNFB=57\n"
        "PDRelation=58\n");
    for (int slot = 0; slot < kKeySlots; ++slot) {
        const bool named =
            slot >= 24 && slot <= 58 && slot != 34 && slot != 35 && slot != 40 && slot != 42;
        EXPECT_EQ(all.assign[slot], named ? slot : 0) << slot;
    }
}

TEST(KeyTable, CodesAreReadInAnyBaseAndTheCheckRefusesWhatNoKeyOrTheHostOwns) {
    const KeyTables keys = CheckedKeys("KirokuIC=0x52\nTascSW=82\nKlaxon1=0x41\nKlaxon1=0x42\n"
                                       "Klaxon2=300\nEBNFB=-5\nRightDoor=0x70\nLeftDoor=0x70\n"
                                       "PBrakeKaihou=0x7B\nMasterControllerKey=0x7B\nAtsNFB=0x6F\n"
                                       "PDRelation=255\nJoshaSokushin=010\nUtenSW=junk\n"
                                       "CurtainUp = 65\ncurtainDown=65\nAllCar=99999999999\n");
    // One key may work two functions (44, 45); the later line wins (24); codes outside 0..255,
    // a saturated one included, bind nothing (25, 57, 51); F1..F12 belong to the host below
    // slot 50 only (49, 48 against 50, 56); names match exactly (46, 47).
    const std::pair<int, std::int32_t> slots[] = {
        {44, 0x52}, {45, 0x52}, {24, 0x42}, {25, 0},   {57, 0}, {51, 0}, {49, 0}, {48, 0},
        {50, 0x70}, {56, 0x7B}, {52, 0x6F}, {58, 255}, {41, 8}, {43, 0}, {46, 0}, {47, 0}};
    for (const auto& [slot, code] : slots)
        EXPECT_EQ(keys.assign[slot], code) << slot;
}

TEST(Remap, SlotsMoveExceptThroughThePanelSuspendEntryAndNeverTo255) {
    const auto reading = SettingsReading::Of(
        "[PANELOUTPUT]\n121=50\n010=0x10\n011=010\n199=5\n012=199\n013=255\n014=254\n015=-1\n"
        "7=3\n0016=3\n256=3\n017 =3\n018=junk\n020=30\n020=31\n021=99999999999\n"
        "022=-4294967290\n\n[SOUNDOUTPUT]\n199=5\n006=199\n255=254\n007=255\n008=-1\n");
    // Slots are decimal, targets any base; no number reads as target 0; a later line wins; a
    // saturated target is refused, not wrapped. Everything else stays where it was.
    const std::pair<int, int> panelMoves[] = {{121, 50}, {10, 16}, {11, 8},
                                              {14, 254}, {18, 0},  {20, 31}};
    const std::pair<int, int> soundMoves[] = {{199, 5}, {6, 199}, {255, 254}};
    std::uint8_t panel[256], sound[256];
    for (int slot = 0; slot < 256; ++slot)
        panel[slot] = sound[slot] = static_cast<std::uint8_t>(slot);
    for (const auto& [slot, target] : panelMoves)
        panel[slot] = static_cast<std::uint8_t>(target);
    for (const auto& [slot, target] : soundMoves)
        sound[slot] = static_cast<std::uint8_t>(target);
    for (int slot = 0; slot < 256; ++slot) {
        EXPECT_EQ(reading->remap.panel[slot], panel[slot]) << slot;
        EXPECT_EQ(reading->remap.sound[slot], sound[slot]) << slot;
    }
}

} // namespace
} // namespace velqa3
