#include "config/keys.h"

#include "config/numbers.h"

#include <cstring>

namespace velqa3 {

namespace {

struct KeyName {
    const char* name; // with its "=", so "Klaxon1" never matches "Klaxon10=..."
    int slot;
};

// Tried in this order; the first name the line begins with wins.
constexpr KeyName kKeyNames[] = {
    {"Klaxon1=", 24},
    {"Klaxon2=", 25},
    {"CscBVE=", 26},
    {"CscPT=", 27},
    {"MusicHorn=", 28},
    {"AtsKakunin=", 29},
    {"BellStop=", 30},
    {"EbReset=", 31},
    {"AtsInit=", 32},
    {"SentakuSW=", 33},
    {"M_Atc=", 36},
    {"M_ST=", 37},
    {"Buzzer=", 38},
    {"KoubaiKidou=", 39},
    {"JoshaSokushin=", 41},
    {"UtenSW=", 43},
    {"KirokuIC=", 44},
    {"TascSW=", 45},
    {"CurtainUp=", 46},
    {"CurtainDown=", 47},
    {"MasterControllerKey=", 48},
    {"RightDoor=", 49},
    {"LeftDoor=", 50},
    {"AllCar=", 51},
    {"AtsNFB=", kSlotAtsNFB},
    {"AtsKirikaeRendou=", 53},
    {"AtsKirikaeSW=", 54},
    {"PKaihou=", 55},
    {"PBrakeKaihou=", 56},
    {"EBNFB=", kSlotEBNFB},
    {"PDRelation=", 58},
};

// The function keys F1..F12 belong to the host for the functions of the first 50 slots.
constexpr std::int32_t kF1 = 0x70;
constexpr std::int32_t kF12 = 0x7B;
constexpr int kSlotsWithoutFunctionKeys = 50;

} // namespace

void ReadKeyLine(const char* line, KeyTables& keys) {
    for (const KeyName& key : kKeyNames) {
        const std::size_t length = std::strlen(key.name);
        if (std::strncmp(line, key.name, length) != 0) continue;
        keys.assign[key.slot] = ParseLong(line + length);
        return;
    }
}

void CheckKeyTable(KeyTables& keys) {
    for (int slot = 0; slot < kKeySlots; ++slot) {
        std::int32_t& code = keys.assign[slot];
        if (code < 0 || code > 255) code = 0;
        if (slot < kSlotsWithoutFunctionKeys && code >= kF1 && code <= kF12) code = 0;
    }
}

} // namespace velqa3
