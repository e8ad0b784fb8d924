#include "config/settings_values.h"

#include "host/chars.h"

#include "config/numbers.h"

#include <cstdarg>
#include <cstring>

namespace velqa3 {

namespace {

using Context = SettingsContext;

int TextLength(const char* text) {
    int length = 0;
    while (text[length] != '\0' && text[length] != '\n')
        ++length;
    return length;
}

// A value the conversion could not take whole: nothing numeric, a number too large, or text
// glued to the number ("1.5" where an integer belongs, "12abc"). Text after a blank is taken
// for a remark and passes.
void CheckNumber(const char* v, const NumberScan& scan, std::int32_t value, const Context& t) {
    if (t.diagnostics == nullptr) return;
    if (!scan.number) {
        Note(t, SettingsFinding::NotANumber,
             TextLength(v) == 0 ? "no value after '='; it reads as 0"
                                : "'%.*s' is not a number; it reads as 0",
             TextLength(v), v);
        return;
    }
    if (scan.replaced)
        Note(t, kAdjusted, "'%.*s' is beyond the 32-bit range; it reads as %d", TextLength(v), v,
             value);
    const char* rest = scan.end;
    if (*rest != '\0' && *rest != '\n' && !IsBlank(*rest))
        Note(t, SettingsFinding::NotANumber, "'%.*s' after the number is ignored", TextLength(rest),
             rest);
}

} // namespace

void Note(const Context& t, SettingsFinding finding, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    NoteSettingv(t.diagnostics, finding, format, arguments);
    va_end(arguments);
}

std::int32_t ReadWhole(const char* v, const Context& t) {
    NumberScan scan;
    const std::int32_t value = ParseLong(v, scan);
    CheckNumber(v, scan, value, t);
    return value;
}

float ReadReal(const char* v, const Context& t) {
    NumberScan scan;
    const float value = ParseFloat(v, scan);
    if (t.diagnostics != nullptr && scan.number && scan.replaced) {
        Note(t, kAdjusted, "'%.*s' is no finite number; it reads as 0", TextLength(v), v);
        scan.replaced = false;
    }
    CheckNumber(v, scan, 0, t);
    return value;
}

std::uint8_t Low8(std::int32_t value) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFFu);
}
std::int8_t Low8Signed(std::int32_t value) {
    const int bits = Low8(value);
    return static_cast<std::int8_t>(bits >= 128 ? bits - 256 : bits);
}
std::uint16_t Low16(std::int32_t value) {
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
}
std::uint8_t ZeroOrOne(std::int32_t value, const Context& t) {
    if (value != 0 && value != 1) Note(t, kAdjusted, "%d is not 0 or 1; it counts as 1", value);
    return value != 0 ? 1 : 0;
}
std::int32_t NotBelowZero(std::int32_t value, const Context& t) {
    if (value < 0) Note(t, kAdjusted, "%d is below 0; 0 is stored", value);
    return value < 0 ? 0 : value;
}
float NotBelowZero(float value, const Context& t) {
    if (value < 0.0f) Note(t, kAdjusted, "%g is below 0; 0 is stored", value);
    return value < 0.0f ? 0.0f : value;
}

void SetOnly(std::uint8_t& bits, std::uint8_t bit, bool set, const Context& t) {
    if (set) bits |= bit;
    if (!set && (bits & bit) != 0) Note(t, kUnchanged, "0 cannot clear what an earlier line set");
    Note(t, kStored, "%s", (bits & bit) != 0 ? "on" : "off");
}

std::int32_t TruncateToInt(float value) {
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

// Host texts: the rest of the line without its line break. A longer text than the field keeps
// its first 51 characters, so a mistyped line can never run past the field.
void CopyHostText(const char* value, char (&field)[kHostTextSize], const Context& t) {
    std::size_t length = 0;
    while (length < kHostTextSize - 1 && value[length] != '\0' && value[length] != '\n')
        ++length;
    std::memset(field, 0, sizeof field);
    std::memcpy(field, value, length);
    if (t.diagnostics == nullptr) return;
    if (value[length] != '\0' && value[length] != '\n')
        Note(t, SettingsFinding::TextCut,
             "the text is longer than %d characters; only '%s' is kept", kHostTextSize - 1, field);
    if (length > 0 && IsBlank(field[length - 1]))
        Note(t, kAdjusted, "the blanks at the end are part of the address");
    Note(t, kStored, "'%s'", field);
}

float AtLeastTen(float value, const Context& t) {
    if (value < 10.0f) Note(t, kAdjusted, "%g is below 10; 10 is stored", value);
    return value < 10.0f ? 10.0f : value;
}

} // namespace velqa3
