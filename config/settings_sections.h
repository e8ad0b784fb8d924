// The sections of the settings file and the keys inside them, one row a key. The reader applies
// the rows; velqa3-check explains a key and prints the guide's reference from the same rows, so
// the three cannot disagree. The file syntax (lines, headers, section ends, the line limit)
// lives in the reader.
#pragma once

#include "config/settings_diagnostics.h"
#include "config/settings_reader.h"

#include <cstddef>

namespace velqa3 {

struct SettingsSection;

// What one reading writes to, and who listens.
struct SettingsContext {
    Settings& settings;
    KeyTables& keys;
    RemapTables& remap;
    const SettingsHooks& hooks;
    SettingsDiagnostics* diagnostics;
};

// The section whose header the line begins with, headers tried in the file's documented order;
// null for any other line.
const SettingsSection* FindSettingsSection(const char* line);

const char* SettingsSectionHeader(const SettingsSection& section);

// What the header line alone does ([JRC313] switches the T-priority model on).
void EnterSettingsSection(const SettingsSection& section, const SettingsContext& context);

// One line of an open section: a key of that section immediately followed by "=", or a line
// for the key or remap table. Returns whether anything took the line; the rest is ignored.
bool ApplySettingsLine(const SettingsSection& section, const char* line,
                       const SettingsContext& context);

// What a second line for the same key does to the first.
enum class SettingsRepeat : unsigned char {
    LaterWins, // the later line replaces the earlier one
    OnlySets,  // bits or flags are only ever set: both lines count
};

// One text in English and in Japanese: the people who fit the plug-in to their trains read
// Japanese first. A Japanese text left null is the English one (a number, a unit).
struct SettingsText {
    const char* en;
    const char* ja = nullptr;

    const char* In(bool japanese) const { return japanese && ja != nullptr ? ja : en; }
};

// The documentation of one key, taken from its row and its rule, so that the words cannot
// drift from what the reader does.
struct SettingsKeyDoc {
    SettingsText type;
    const char* unit; // written after the type, or null
    SettingsText defaultValue;
    SettingsText bounds; // what the rule does to values it does not keep
    SettingsText what;
    SettingsRepeat repeat;
};

struct SettingsKeyInfo {
    const char* section; // its header, "[TRAIN]"
    const char* key;     // for the sections of whole lines ([KEY], [PANELOUTPUT], ...): null
    SettingsKeyDoc doc;
};

// Every key of every section in reading order; a section of whole lines is one entry.
std::size_t SettingsKeyCount();
SettingsKeyInfo SettingsKeyAt(std::size_t index);

} // namespace velqa3
