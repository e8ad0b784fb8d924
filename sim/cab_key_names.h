// The cab functions a driver's script can work by name, found on the keyboard through the
// [KEY] section of the scenario's settings file, as the plug-in itself finds them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velqa3::sim {

bool IsCabFunction(std::string_view name);
// "Klaxon1, Klaxon2, ...", for messages.
std::string CabFunctionList();

// The virtual-key code [KEY] binds to the function: the last "Name=" line of the section, read
// as a number the way the plug-in reads it. Without a binding (or with one no key produces)
// returns nothing and says why.
std::optional<int> BoundKeyCode(const std::string& settingsText, std::string_view function,
                                std::string& why);

} // namespace velqa3::sim
