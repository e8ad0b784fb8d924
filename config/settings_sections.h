// The sections of the settings file and what each line inside them does. The reader applies
// them; the settings checker reads the same table to explain a key. The file syntax (lines,
// headers, section ends, the line limit) lives in the reader.
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

// The same words in Japanese, for the guide's readers: the people who fit the plug-in to
// their trains read Japanese first.
struct SettingsKeyDocJa {
    const char* type;
    const char* defaultValue;
    const char* bounds;
    const char* what;
};

// The documentation of one key, beside its rule so that the two cannot drift apart.
struct SettingsKeyDoc {
    const char* type;
    const char* defaultValue;
    const char* bounds; // what the rule does to values it does not keep
    const char* what;
    SettingsRepeat repeat;
    SettingsKeyDocJa ja;
};

struct SettingsKeyInfo {
    const char* section; // its header, "[TRAIN]"
    const char* key;     // for the sections of whole lines ([KEY], [PANELOUTPUT], ...): null
    const SettingsKeyDoc* doc;
};

// Every key of every section in reading order, then one entry for each section of whole lines.
std::size_t SettingsKeyCount();
SettingsKeyInfo SettingsKeyAt(std::size_t index);

} // namespace velqa3
