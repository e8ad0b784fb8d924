// One value of a settings key: read from the text after its "=", narrowed or bounded as the
// key's rule says, and what became of it told to a listener. The plain rules and the keys' own
// rules share these, so that one value is read and reported the same way under every key.
#pragma once

#include "config/settings_sections.h"

#include <cstdint>

namespace velqa3 {

constexpr SettingsFinding kStored = SettingsFinding::Setting;
constexpr SettingsFinding kAdjusted = SettingsFinding::Adjusted;
constexpr SettingsFinding kUnchanged = SettingsFinding::Unchanged;

// What a checker sees of a rule; without a listener it returns at once.
void Note(const SettingsContext& t, SettingsFinding finding, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The value as a base-0 integer or as a float, each flaw in it told to the listener.
std::int32_t ReadWhole(const char* v, const SettingsContext& t);
float ReadReal(const char* v, const SettingsContext& t);

// Narrowings of a parsed 32-bit value to the width a key stores, through its unsigned form so
// that every build cuts the same bits.
std::uint8_t Low8(std::int32_t value);
std::int8_t Low8Signed(std::int32_t value);
std::uint16_t Low16(std::int32_t value);

// Bounds; each tells the listener when it changed the value.
std::uint8_t ZeroOrOne(std::int32_t value, const SettingsContext& t);
std::int32_t NotBelowZero(std::int32_t value, const SettingsContext& t);
float NotBelowZero(float value, const SettingsContext& t);
float AtLeastTen(float value, const SettingsContext& t);

// A key that only ever sets its bit: a zero after an earlier non-zero line cannot clear it.
void SetOnly(std::uint8_t& bits, std::uint8_t bit, bool set, const SettingsContext& t);

// A float truncated toward zero; beyond the int32 range it saturates, as the integer keys do.
std::int32_t TruncateToInt(float value);

// Host texts: the rest of the line without its line break, cut at the field.
void CopyHostText(const char* value, char (&field)[kHostTextSize], const SettingsContext& t);

// The words of the common types and bounds, in both languages.
inline constexpr SettingsText kAny = {"any", "制限なし"};
inline constexpr SettingsText kBelowZero = {"below 0 gives 0", "0 未満は 0"};
inline constexpr SettingsText kAtLeastTen = {"below 10 gives 10", "10 未満は 10"};
inline constexpr SettingsText kSetsOnly = {"non-zero sets it, zero leaves it",
                                           "0 以外でオン、0 では変わらない"};
inline constexpr SettingsText kInt = {"int", "整数"};
inline constexpr SettingsText kFloat = {"float", "実数"};
inline constexpr SettingsText kFlagWords = {"flag", "フラグ"};
inline constexpr SettingsText kBits = {"2 bits", "2ビット"};
inline constexpr SettingsText kUint8 = {"uint8", "8ビット整数 (符号なし)"};
inline constexpr SettingsText kUint16 = {"uint16", "16ビット整数 (符号なし)"};

} // namespace velqa3
