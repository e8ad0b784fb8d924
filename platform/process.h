// Starting another program, and catching the ends of this one, for the stand-in host only (it
// draws its pictures with gnuplot, and runs plug-ins that may crash it). Kept out of platform.h
// and out of the plug-in's own platform library: the shipping plug-in has no business starting
// processes or taking over signals, and its image should not even import the calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velqa3::platform {

// Runs the program found on the search path with the given arguments (argv[0] is the
// program's name, the list ends with a null), in the folder workDir, and waits for it, at most
// timeoutMs (0: without end); a program still running then is stopped. No shell ever sees the
// arguments: each reaches the program as it is. Returns the program's exit status, -1 when it
// could not be started or did not end by itself (problem then says why, terminated), and
// kTimedOut when it ran out of time.
inline constexpr int kTimedOut = -2;
int RunProgram(const char* const argv[], const char* workDir, char* problem,
               std::size_t problemSize, long timeoutMs = 0);
// Programs started without waiting for them, several at once (a sweep's cases): argv[0] is a
// path (the search path is not used), the program runs in this process's folder, and what it
// writes to its standard output and error goes into the file output (made afresh) instead of
// this process's terminal. Returns the program's handle, or -1 (problem says why).
std::intptr_t StartProgram(const char* const argv[], const char* output, char* problem,
                           std::size_t problemSize);
// Waits at most timeoutMs for one of the programs to end; its index in the list, or -1 when
// none ended in time. At most kMaxWaitedPrograms programs.
inline constexpr std::size_t kMaxWaitedPrograms = 64;
int WaitForAnyProgram(const std::intptr_t* programs, std::size_t count, long timeoutMs);
// For a program that ended: its exit status, or -1 when it did not end by itself (problem says
// how it ended). Its handle is released.
int EndedProgramStatus(std::intptr_t program, char* problem, std::size_t problemSize);
// Stops a program still running and releases its handle.
void StopProgram(std::intptr_t program);
// The path of this program's own executable, written into out with a terminator; its length,
// 0 when it cannot be had or does not fit.
std::size_t ProgramPath(char* out, std::size_t size);
// The processors of the machine; 1 when it cannot be told.
unsigned ProcessorCount();
// Whether the standard error is a terminal (a person watching), not a file or a pipe.
bool ErrorIsTerminal();

// The ends of this process that the host turns into a reported end of its run.
enum class Ending {
    Crash,     // a memory fault, an illegal instruction, an abort: code is the signal or exception
    Interrupt, // Ctrl-C, a termination request, the terminal gone: code is the signal or event
    Exit,      // exit() called, most likely by a loaded library: code is 0
};
// Runs in a signal handler (on its own stack, for a crash from a stack overflow) or, on Windows,
// in the console's handler thread or the unhandled-exception filter: it may only make system
// calls and touch memory that exists already. It returns for an Interrupt (the process goes
// on); after a Crash or an Exit the process ends with EndNow.
using EndingHandler = void (*)(Ending ending, int code);
// Catches the endings for handler until ReleaseEndings; the earlier handlers come back then.
void CatchEndings(EndingHandler handler);
void ReleaseEndings();
// A short name of a crash's or an interrupt's code, such as "SIGSEGV" or "an access violation".
const char* EndingName(Ending ending, int code);
// Writes bytes to a file descriptor, from a handler too; what cannot be written is dropped.
void WriteRaw(int fd, const char* bytes, std::size_t count);
// Ends the process at once with the exit code: no exit handlers, no destructors.
[[noreturn]] void EndNow(int code);

} // namespace velqa3::platform
