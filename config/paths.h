// File names that sit beside the plug-in module: settings (.dat) and run record (.csv).
#pragma once

#include <cstddef>

namespace velqa3 {

inline constexpr std::size_t kPathSize = 260;

// Writes modulePath with its first ".dll" replaced by extension (".dat", ".csv"). A module
// named otherwise (the native "velqa3.so", an upper-case ".DLL") has its last extension
// replaced instead, or the extension appended when the name has none. Returns false and leaves
// out empty when the result does not fit in kPathSize.
bool SiblingPath(const char* modulePath, const char* extension, char (&out)[kPathSize]);

} // namespace velqa3
