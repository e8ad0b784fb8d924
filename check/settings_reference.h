// velqa3-check --settings-reference and --beacons-reference: the guide's reference pages,
// printed as Markdown from the tables the plug-in itself reads, so that the pages cannot say
// something the plug-in does not do.
#pragma once

#include "check/reference.h"
#include "config/settings_sections.h"

#include <string>

namespace velqa3::check {

// Every section and key of the settings file, then every name of [KEY].
std::string SettingsReference(Language language);

// The type of a key with its unit after it, "int, kPa".
std::string TypeText(const SettingsKeyDoc& doc, bool japanese);

// Every beacon type the plug-in acts on, with what its Optional holds.
std::string BeaconsReference(Language language);

} // namespace velqa3::check
