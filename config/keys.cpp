#include "config/keys.h"

#include "config/numbers.h"

#include <cstring>
#include <iterator>

namespace velqa3 {

namespace {

// Tried in this order; the first name the line begins with, "=" included, wins, so "Klaxon1"
// never matches "Klaxon10=...". Names without a function fill slots nothing reads.
constexpr KeyNameInfo kKeyNames[] = {
    {"Klaxon1", 24, "first horn: air is drawn while held",
     "警笛 1: 押している間、元空気溜めの空気を使う"},
    {"Klaxon2", 25, "second horn: air is drawn while held",
     "警笛 2: 押している間、元空気溜めの空気を使う"},
    {"CscBVE", 26, nullptr, nullptr},
    {"CscPT", 27, nullptr, nullptr},
    {"MusicHorn", 28, nullptr, nullptr},
    {"AtsKakunin", 29, nullptr, nullptr},
    {"BellStop", 30, nullptr, nullptr},
    {"EbReset", 31, nullptr, nullptr},
    {"AtsInit", 32, nullptr, nullptr},
    {"SentakuSW", 33, nullptr, nullptr},
    {"M_Atc", 36, nullptr, nullptr},
    {"M_ST", 37, nullptr, nullptr},
    {"Buzzer", 38, nullptr, nullptr},
    {"KoubaiKidou", 39, nullptr, nullptr},
    {"JoshaSokushin", 41, nullptr, nullptr},
    {"UtenSW", 43, "toggles the TASC wet-rail switch", "TASC の雨天スイッチを切り替える"},
    {"KirokuIC", 44, "toggles the run-record switch", "運転記録のスイッチを切り替える"},
    {"TascSW", 45, "toggles TASC on and off", "TASC の入/切を切り替える"},
    {"CurtainUp", 46, "curtain up while held", "押している間、カーテンを上げる"},
    {"CurtainDown", 47, "curtain down while held", "押している間、カーテンを下げる"},
    {"MasterControllerKey", 48, "master-controller key in and out", "マスコンキーを入れる/抜く"},
    {"RightDoor", 49, "one-man right door button", "ワンマン用の右ドアボタン"},
    {"LeftDoor", 50, "one-man left door button", "ワンマン用の左ドアボタン"},
    {"AllCar", 51, "toggles one-man all-cars", "ワンマンの全車扱いを切り替える"},
    {"AtsNFB", kSlotAtsNFB, "toggles the ATS breaker switch", "ATS 電源 (NFB) を入/切する"},
    {"AtsKirikaeRendou", 53, "toggles the ATS change-over link switch",
     "ATS 切換連動スイッチを切り替える"},
    {"AtsKirikaeSW", 54, "steps the ATS change-over switch", "ATS 切換スイッチを 1 段進める"},
    {"PKaihou", 55, "the pattern release switch", "パターン開放スイッチ"},
    {"PBrakeKaihou", 56, "the pattern brake release switch", "パターンブレーキ開放スイッチ"},
    {"EBNFB", kSlotEBNFB, "the EBNFB switch", "EBNFB スイッチ"},
    {"PDRelation", 58, nullptr, nullptr},
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
