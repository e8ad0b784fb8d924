// Starting another program, for the stand-in host only (it draws its pictures with gnuplot).
// Kept out of platform.h and out of the plug-in's own platform library: the shipping plug-in
// has no business starting processes, and its image should not even import the calls.
#pragma once

#include <cstddef>

namespace velqa3::platform {

// Runs the program found on the search path with the given arguments (argv[0] is the
// program's name, the list ends with a null), in the folder workDir, and waits for it. No
// shell ever sees the arguments: each reaches the program as it is. Returns the program's
// exit status, or -1 when it could not be started (problem then says why, terminated).
int RunProgram(const char* const argv[], const char* workDir, char* problem,
               std::size_t problemSize);

} // namespace velqa3::platform
