// The sections of the settings file and what each line inside them does. Used by the reader
// only; the file syntax (lines, headers, section ends, the line limit) lives there.
#pragma once

#include "config/settings_reader.h"

namespace velqa3 {

struct SettingsSection;

// The section whose header the line begins with, headers tried in the file's documented order;
// null for any other line.
const SettingsSection* FindSettingsSection(const char* line);

// What the header line alone does ([JRC313] switches the T-priority model on).
void EnterSettingsSection(const SettingsSection& section, const SettingsTargets& targets);

// One line of an open section: a key of that section immediately followed by "=", or a line
// for the key or remap table. Anything else is ignored without a word.
void ApplySettingsLine(const SettingsSection& section, const char* line,
                       const SettingsTargets& targets);

} // namespace velqa3
