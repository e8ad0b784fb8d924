// What velqa3-sim says on the terminal, and the exit statuses it ends with (see the usage).
#pragma once

#include "text/shown.h"

#include <cstdio>
#include <string>

namespace velqa3::sim {

inline constexpr int kAllHeld = 0, kOneFailed = 1, kNothingRan = 2, kIncomplete = 3;

// Everything from a file, a file name, the plug-in or the command line reaches the terminal
// through here.
inline void Say(std::FILE* to, const std::string& text) {
    std::fputs(text::Shown(text).c_str(), to);
    std::fputc('\n', to);
}

inline int Refuse(const std::string& message) {
    Say(stderr, "velqa3-sim: " + message);
    return kNothingRan;
}

} // namespace velqa3::sim
