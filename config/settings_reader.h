// The settings file beside the plug-in: read once when the library is attached.
#pragma once

#include "config/settings.h"

namespace velqa3 {

// Reads the file at path into settings. A file that cannot be opened keeps every default and
// tells the user so once; a file of more than 10000 lines is read up to there and reported.
void ReadSettings(const char* path, Settings& settings);

} // namespace velqa3
