// The plain rules, which fill the field a row names, and the sections of whole lines.
#include "config/settings_rules.h"

#include "config/numbers.h"
#include "config/settings_values.h"

#include <cstring>

namespace velqa3 {

namespace {

using Context = SettingsContext;
using Row = SettingsKeyRow;

// A stored value with the row's unit after it, "1800 V".
const char* Gap(const Row& row) {
    return row.unit != nullptr ? " " : "";
}
const char* UnitOf(const Row& row) {
    return row.unit != nullptr ? row.unit : "";
}

std::int32_t AnyWhole(std::int32_t value, const Context&) {
    return value;
}
float AnyReal(float value, const Context&) {
    return value;
}
// A number read whole, bounded, and stored in the row's field with the row's unit.
template <std::int32_t (*Bound)(std::int32_t, const Context&)>
void ApplyWhole(const Row& row, const char* v, const Context& t) {
    std::int32_t& field = t.settings.*row.reading.field.whole;
    field = Bound(ReadWhole(v, t), t);
    Note(t, kStored, "%d%s%s", field, Gap(row), UnitOf(row));
}
template <float (*Bound)(float, const Context&)>
void ApplyReal(const Row& row, const char* v, const Context& t) {
    float& field = row.reading.field.Real(t.settings);
    field = Bound(ReadReal(v, t), t);
    Note(t, kStored, "%g%s%s", field, Gap(row), UnitOf(row));
}

void ApplyFlag(const Row& row, const char* v, const Context& t) {
    std::uint8_t& field = t.settings.*row.reading.field.bits;
    field = ZeroOrOne(ReadWhole(v, t), t);
    Note(t, kStored, "%d", field);
}

void ApplySetBit(const Row& row, const char* v, const Context& t) {
    const SettingsField& field = row.reading.field;
    SetOnly(t.settings.*field.bits, field.bit, ReadWhole(v, t) != 0, t);
}

void ApplySetBitOfReal(const Row& row, const char* v, const Context& t) {
    const SettingsField& field = row.reading.field;
    SetOnly(t.settings.*field.bits, field.bit, ReadReal(v, t) != 0.0f, t);
}

void ApplyLowByte(const Row& row, const char* v, const Context& t) {
    std::uint8_t& field = t.settings.*row.reading.field.bits;
    const std::int32_t value = ReadWhole(v, t);
    field = Low8(value);
    if (field != value) Note(t, kAdjusted, "only the low 8 bits of %d count: %d", value, field);
    Note(t, kStored, "%d", field);
}

void ApplyText(const Row& row, const char* v, const Context& t) {
    CopyHostText(v, t.settings.*row.reading.field.text, t);
}

// ---- The sections of whole lines ------------------------------------------------------------

void NoteRemap(RemapResult result, const char* line, const char* table, int slot,
               const Context& t) {
    const int target = ParseLong(line + 4);
    switch (result) {
    case RemapResult::Moved:
        Note(t, kStored, "%s slot %d written to index %d", table, slot, target);
        break;
    case RemapResult::SlotRefused:
        Note(t, kUnchanged, "panel slot %d is the plug-in's input and cannot be moved", slot);
        break;
    case RemapResult::TargetRefused:
        Note(t, kUnchanged, "index %d is refused (0..254%s); %s slot %d stays where it was", target,
             table[0] == 'p' ? ", not 199" : "", table, slot);
        break;
    case RemapResult::NoSlot:
        break;
    }
}

// The slot text of a remap line ("121"), kept for the listener while the line is reported.
struct RemapKey {
    char text[4] = {};
    int slot = 0; // decimal, whatever base the target is written in
    explicit RemapKey(const char* line) {
        for (int i = 0; i < 3 && line[i] != '\0'; ++i) {
            text[i] = line[i];
            slot = slot * 10 + (line[i] - '0');
        }
    }
};

bool ReadRemapLine(const char* line, const Context& t, const char* table,
                   RemapResult (*read)(const char* line, RemapTables& remap)) {
    const RemapResult result = read(line, t.remap);
    if (t.diagnostics == nullptr || result == RemapResult::NoSlot)
        return result != RemapResult::NoSlot;
    const RemapKey key(line);
    t.diagnostics->key = key.text;
    ReadWhole(line + 4, t);
    NoteRemap(result, line, table, key.slot, t);
    t.diagnostics->key = nullptr;
    return true;
}

} // namespace

// Each rule with what a second line for its key does, the type it reads and what it does to
// the values it does not keep, in the words of the guide.
// clang-format off
constexpr SettingsRule kWholeRule = {ApplyWhole<AnyWhole>, kLater, kInt, kAny};
constexpr SettingsRule kRealRule = {ApplyReal<AnyReal>, kLater, kFloat, kAny};
constexpr SettingsRule kWholeNotBelowZeroRule = {ApplyWhole<NotBelowZero>, kLater, kInt, kBelowZero};
constexpr SettingsRule kRealNotBelowZeroRule = {ApplyReal<NotBelowZero>, kLater, kFloat, kBelowZero};
constexpr SettingsRule kRealAtLeastTenRule = {ApplyReal<AtLeastTen>, kLater, kFloat, kAtLeastTen};
constexpr SettingsRule kFlagRule = {ApplyFlag, kLater, kFlagWords, {"non-zero gives 1", "0 以外は 1"}};
constexpr SettingsRule kSetBitRule = {ApplySetBit, kSets, {"bit", "ビット"}, kSetsOnly};
constexpr SettingsRule kSetBitOfRealRule = {ApplySetBitOfReal, kSets,
    {"bit (read as a float)", "ビット (実数として読む)"}, kSetsOnly};
constexpr SettingsRule kLowByteRule = {ApplyLowByte, kLater, kUint8, {"the low 8 bits", "下位 8 ビット"}};
constexpr SettingsRule kTextRule = {ApplyText, kLater,
    {"text, up to 51 characters", "文字列 (51文字まで)"},
    {"the rest of the line; longer text is cut", "行の残り全部。長い文字列は切り詰め"}};
// clang-format on

bool ReadKeyTableLine(const char* line, const Context& t) {
    const int slot = ReadKeyLine(line, t.keys);
    if (slot < 0 || t.diagnostics == nullptr) return slot >= 0;
    t.diagnostics->key = KeyNameOfSlot(slot);
    const char* value = std::strchr(line, '=') + 1;
    ReadWhole(value, t);
    const std::int32_t code = t.keys.assign[slot];
    if (code == 0)
        Note(t, kStored, "0 (unbound), slot %d", slot);
    else
        Note(t, kStored, "0x%X (%d), slot %d", static_cast<unsigned>(code), code, slot);
    t.diagnostics->key = nullptr;
    return true;
}

bool ReadPanelTableLine(const char* line, const Context& t) {
    return ReadRemapLine(line, t, "panel", ReadPanelRemapLine);
}

bool ReadSoundTableLine(const char* line, const Context& t) {
    return ReadRemapLine(line, t, "sound", ReadSoundRemapLine);
}

} // namespace velqa3
