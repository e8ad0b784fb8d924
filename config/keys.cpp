#include "config/keys.h"

#include "config/numbers.h"

#include <cstring>
#include <iterator>

namespace velqa3 {

namespace {

// Tried in this order; the first name the line begins with, "=" included, wins, so "Klaxon1"
// never matches "Klaxon10=...". Names without a function fill slots nothing reads.
constexpr KeyNameInfo kKeyNames[] = {
    {"Klaxon1", 24, "first horn: air is drawn while held"},
    {"Klaxon2", 25, "second horn: air is drawn while held"},
    {"CscBVE", 26, nullptr},
    {"CscPT", 27, nullptr},
    {"MusicHorn", 28, nullptr},
    {"AtsKakunin", 29, nullptr},
    {"BellStop", 30, nullptr},
    {"EbReset", 31, nullptr},
    {"AtsInit", 32, nullptr},
    {"SentakuSW", 33, nullptr},
    {"M_Atc", 36, nullptr},
    {"M_ST", 37, nullptr},
    {"Buzzer", 38, nullptr},
    {"KoubaiKidou", 39, nullptr},
    {"JoshaSokushin", 41, nullptr},
    {"UtenSW", 43, "toggles the TASC wet-rail switch"},
    {"KirokuIC", 44, "toggles the run-record switch"},
    {"TascSW", 45, "toggles TASC on and off"},
    {"CurtainUp", 46, "curtain up while held"},
    {"CurtainDown", 47, "curtain down while held"},
    {"MasterControllerKey", 48, "master-controller key in and out"},
    {"RightDoor", 49, "one-man right door button"},
    {"LeftDoor", 50, "one-man left door button"},
    {"AllCar", 51, "toggles one-man all-cars"},
    {"AtsNFB", kSlotAtsNFB, "toggles the ATS breaker switch"},
    {"AtsKirikaeRendou", 53, "toggles the ATS change-over link switch"},
    {"AtsKirikaeSW", 54, "steps the ATS change-over switch"},
    {"PKaihou", 55, "the pattern release switch"},
    {"PBrakeKaihou", 56, "the pattern brake release switch"},
    {"EBNFB", kSlotEBNFB, "the EBNFB switch"},
    {"PDRelation", 58, nullptr},
};

// The function keys F1..F12 belong to the host for the functions of the first 50 slots.
constexpr std::int32_t kF1 = 0x70;
constexpr std::int32_t kF12 = 0x7B;
constexpr int kSlotsWithoutFunctionKeys = 50;

} // namespace

int ReadKeyLine(const char* line, KeyTables& keys) {
    for (const KeyNameInfo& key : kKeyNames) {
        const std::size_t length = std::strlen(key.name);
        if (std::strncmp(line, key.name, length) != 0 || line[length] != '=') continue;
        keys.assign[key.slot] = ParseLong(line + length + 1);
        return key.slot;
    }
    return -1;
}

int KeyNameCount() {
    return static_cast<int>(std::size(kKeyNames));
}

const KeyNameInfo& KeyNameAt(int index) {
    return kKeyNames[index];
}

const char* KeyNameOfSlot(int slot) {
    for (const KeyNameInfo& key : kKeyNames)
        if (key.slot == slot) return key.name;
    return nullptr;
}

void CheckKeyTable(KeyTables& keys) {
    for (int slot = 0; slot < kKeySlots; ++slot) {
        std::int32_t& code = keys.assign[slot];
        if (code < 0 || code > 255) code = 0;
        if (slot < kSlotsWithoutFunctionKeys && code >= kF1 && code <= kF12) code = 0;
    }
}

} // namespace velqa3
