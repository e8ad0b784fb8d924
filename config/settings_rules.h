// How the value of a key is read and stored. Most keys follow one of a few plain rules, which a
// row names together with the field it fills; the keys that do something of their own (a range
// with a fallback, several fields, a hook) have a rule each. A rule carries the words for its
// type and for what it does to the values it does not keep, in both languages, in the same file
// as its code.
#pragma once

#include "config/settings_sections.h"

#include <cstdint>

namespace velqa3 {

// The field of the settings a plain rule fills. Member pointers rather than offsets, so that a
// row can only name a field of the kind its rule stores.
struct SettingsField {
    std::int32_t Settings::*whole = nullptr;
    float Settings::*real = nullptr;
    float (Settings::*reals)[7] = nullptr; // with index: one entry of a table of values
    std::uint8_t Settings::*bits = nullptr;
    char (Settings::*text)[kHostTextSize] = nullptr;
    std::uint8_t bit = 0; // the bit of bits a flag key sets
    std::uint8_t index = 0;

    float& Real(Settings& settings) const {
        return real != nullptr ? settings.*real : (settings.*reals)[index];
    }
};

struct SettingsKeyRow;

inline constexpr SettingsRepeat kLater = SettingsRepeat::LaterWins;
inline constexpr SettingsRepeat kSets = SettingsRepeat::OnlySets;

struct SettingsRule {
    void (*apply)(const SettingsKeyRow& row, const char* value, const SettingsContext& context);
    SettingsRepeat repeat;
    SettingsText type; // without the unit, which the row adds
    SettingsText bounds;
};

// A rule with the field it fills; the functions below pair them only as they fit.
struct SettingsReading {
    const SettingsRule* rule;
    SettingsField field;
};

enum class SectionId : std::uint8_t {
    Train,
    Extra,
    Tasc,
    Meitetsu,
    Jrc313,
    Dc25,
    Panel,
    SendData,
    PanelOutput,
    SoundOutput,
    Key,
};

// One key: where it stands, how it is read, and what it means to the person writing it.
struct SettingsKeyRow {
    const char* key;
    SectionId section;
    SettingsReading reading;
    const char* unit; // "kPa", or null; the same in both languages
    SettingsText defaultValue;
    SettingsText what;
};

// The plain rules.
extern const SettingsRule kWholeRule; // any integer
extern const SettingsRule kRealRule;  // any float
extern const SettingsRule kWholeNotBelowZeroRule;
extern const SettingsRule kRealNotBelowZeroRule;
extern const SettingsRule kRealAtLeastTenRule;
extern const SettingsRule kFlagRule;         // non-zero stores 1
extern const SettingsRule kSetBitRule;       // non-zero sets a bit that stays set
extern const SettingsRule kSetBitOfRealRule; // the same, of a value read as a float
extern const SettingsRule kLowByteRule;      // the low 8 bits
extern const SettingsRule kTextRule;         // the rest of the line, cut at the field

constexpr SettingsReading Whole(std::int32_t Settings::*field) {
    return {&kWholeRule, {.whole = field}};
}
constexpr SettingsReading Real(float Settings::*field) {
    return {&kRealRule, {.real = field}};
}
constexpr SettingsReading WholeNotBelowZero(std::int32_t Settings::*field) {
    return {&kWholeNotBelowZeroRule, {.whole = field}};
}
constexpr SettingsReading RealNotBelowZero(float Settings::*field) {
    return {&kRealNotBelowZeroRule, {.real = field}};
}
constexpr SettingsReading RealAtLeastTen(float Settings::*field) {
    return {&kRealAtLeastTenRule, {.real = field}};
}
constexpr SettingsReading Flag(std::uint8_t Settings::*field) {
    return {&kFlagRule, {.bits = field}};
}
constexpr SettingsReading SetBit(std::uint8_t Settings::*field, std::uint8_t bit) {
    return {&kSetBitRule, {.bits = field, .bit = bit}};
}
constexpr SettingsReading SetBitOfReal(std::uint8_t Settings::*field, std::uint8_t bit) {
    return {&kSetBitOfRealRule, {.bits = field, .bit = bit}};
}
constexpr SettingsReading LowByte(std::uint8_t Settings::*field) {
    return {&kLowByteRule, {.bits = field}};
}
constexpr SettingsReading Text(char (Settings::*field)[kHostTextSize]) {
    return {&kTextRule, {.text = field}};
}

// The keys with rules of their own; each names the fields it fills in its code.
extern const SettingsRule kSnowBrakeRule;
extern const SettingsRule kEmgBrakeRule;
extern const SettingsRule kTrainOsrRule;
extern const SettingsRule kMaxSpeedRule;
extern const SettingsRule kMasterKeyRule;
extern const SettingsRule kOnemanRule;
extern const SettingsRule kExtraEgbEndRule;
extern const SettingsRule kKirokuRule;
extern const SettingsRule kPowerDownModeRule;
extern const SettingsRule kBrakeDownModeRule;
extern const SettingsRule kTascUseRule;
extern const SettingsRule kAccelarationRule;
extern const SettingsRule kTascNotchRule;
extern const SettingsRule kTascModeRule;
extern const SettingsRule kPlatformDoorRule;
extern const SettingsRule kPdCloseRule;
extern const SettingsRule kMeitetsuOsrRule;
extern const SettingsRule kPbEndRule;
extern const SettingsRule kTPriorityStartRule;
extern const SettingsRule kTPriorityBRule;
extern const SettingsRule kDc25ModeRule;
extern const SettingsRule kPortRule;
extern const SettingsRule kCastPortRule;

constexpr SettingsReading Own(const SettingsRule& rule) {
    return {&rule, {}};
}
// T-PriorityB1..B7: the target pressure of brake notch 2..8.
constexpr SettingsReading TPriorityB(std::uint8_t index) {
    return {&kTPriorityBRule, {.reals = &Settings::tPriorityB, .index = index}};
}

// The sections of whole lines and the section whose header does something of its own.
bool ReadKeyTableLine(const char* line, const SettingsContext& context);
bool ReadPanelTableLine(const char* line, const SettingsContext& context);
bool ReadSoundTableLine(const char* line, const SettingsContext& context);
void EnterJrc313(const SettingsContext& context);

} // namespace velqa3
