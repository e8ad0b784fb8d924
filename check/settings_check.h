// velqa3-check: what the plug-in makes of a settings file, line by line, told in the words a
// compiler would use, and what each key does.
#pragma once

#include <string>

namespace velqa3::check {

// Exit statuses of the checker.
inline constexpr int kClean = 0;
inline constexpr int kWarnings = 1;
inline constexpr int kUnreadable = 2;  // or the plug-in takes nothing from it
inline constexpr int kWriteFailed = 3; // the report could not be written whole

// Reads the file at path as the plug-in does and appends the report to out; shownName is the
// name the report's lines begin with. Returns kClean, kWarnings or kUnreadable. Every byte of
// the file and of the name is escaped in out, so the report is safe to show on a terminal.
int CheckSettingsFile(const std::string& path, const std::string& shownName, std::string& out);

// The same over text in memory, as a file holding these bytes would be read.
int CheckSettingsText(const std::string& text, const std::string& shownName, std::string& out);

// Appends what a key does, for every section that has it. name is "Key", "[SECTION]Key" or
// "[SECTION]". Returns false, with suggestions in out, when no section knows the name.
bool ExplainKey(const std::string& name, std::string& out);

} // namespace velqa3::check
