// File names that sit beside the plug-in module: settings (.dat), run record (.csv) and the
// companion libraries.
#pragma once

#include <cstddef>

namespace velqa3 {

inline constexpr std::size_t kPathSize = 260;

// Writes modulePath with the extension of its file name (".dll" in any case, the native ".so")
// replaced by extension (".dat", ".csv"), or the extension appended when the name has none;
// the folders are left as they are. Returns false and leaves out empty when the result does
// not fit in kPathSize.
bool SiblingPath(const char* modulePath, const char* extension, char (&out)[kPathSize]);

// Writes the folder of modulePath (everything up to its last slash or backslash) followed by
// fileName. Returns false and leaves out empty when the result does not fit in kPathSize.
bool FolderPath(const char* modulePath, const char* fileName, char (&out)[kPathSize]);

} // namespace velqa3
