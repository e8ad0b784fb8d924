// Process start on Windows: CreateProcess with a command line quoted as the C runtime of the
// started program splits it, so each argument arrives as it was given; cmd.exe is never used.
// And the ends of a run: unhandled exceptions, console events and exit(), caught for the host.
#include "platform/process.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace velqa3::platform {

namespace {

// The rules of CommandLineToArgvW: backslashes are literal unless they precede a quote, in
// which case they are doubled; the quote itself is escaped.
void AppendQuoted(std::string& line, const char* argument) {
    line += '"';
    std::size_t backslashes = 0;
    for (const char* c = argument; *c != '\0'; ++c) {
        if (*c == '\\') {
            ++backslashes;
            continue;
        }
        if (*c == '"') backslashes = backslashes * 2 + 1;
        line.append(backslashes, '\\');
        backslashes = 0;
        line += *c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

// Starts the program in workDir (null: this process's folder), its output to the handle output
// unless that is null. The process's handle, or null (problem says why).
HANDLE Spawn(const char* const argv[], const char* workDir, HANDLE output, char* problem,
             std::size_t problemSize) {
    if (problem != nullptr && problemSize > 0) problem[0] = '\0';
    if (argv == nullptr || argv[0] == nullptr) return nullptr;
    std::string line;
    for (const char* const* arg = argv; *arg != nullptr; ++arg) {
        if (!line.empty()) line += ' ';
        AppendQuoted(line, *arg);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (output != nullptr) {
        // Inheritable only while this program starts: the programs started later do not hold
        // it open.
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = output;
        SetHandleInformation(output, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    const BOOL started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, output != nullptr ? TRUE : FALSE, 0,
                       nullptr, workDir, &startup, &process);
    const DWORD fault = GetLastError();
    if (output != nullptr) SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
    if (!started) {
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "cannot start %s (Windows error %lu)", argv[0],
                          static_cast<unsigned long>(fault));
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

} // namespace

int RunProgram(const char* const argv[], const char* workDir, char* problem,
               std::size_t problemSize, long timeoutMs) {
    const HANDLE process = Spawn(argv, workDir, nullptr, problem, problemSize);
    if (process == nullptr) return -1;
    if (WaitForSingleObject(process, timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : INFINITE) ==
        WAIT_TIMEOUT) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
        CloseHandle(process);
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "%s did not finish within %ld s and was stopped",
                          argv[0], timeoutMs / 1000);
        return kTimedOut;
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<int>(code);
}

std::intptr_t StartProgram(const char* const argv[], const char* output, char* problem,
                           std::size_t problemSize) {
    if (problem != nullptr && problemSize > 0) problem[0] = '\0';
    if (argv == nullptr || argv[0] == nullptr || output == nullptr) return -1;
    const HANDLE file = CreateFileA(output, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "cannot make %s (Windows error %lu)", output,
                          static_cast<unsigned long>(GetLastError()));
        return -1;
    }
    const HANDLE process = Spawn(argv, nullptr, file, problem, problemSize);
    CloseHandle(file);
    return process == nullptr ? -1 : reinterpret_cast<std::intptr_t>(process);
}

int WaitForAnyProgram(const std::intptr_t* programs, std::size_t count, long timeoutMs) {
    HANDLE handles[kMaxWaitedPrograms] = {};
    count = count < kMaxWaitedPrograms ? count : kMaxWaitedPrograms;
    for (std::size_t i = 0; i < count; ++i)
        handles[i] = reinterpret_cast<HANDLE>(programs[i]);
    const DWORD done = WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE,
                                              static_cast<DWORD>(timeoutMs));
    if (done >= WAIT_OBJECT_0 && done < WAIT_OBJECT_0 + count)
        return static_cast<int>(done - WAIT_OBJECT_0);
    return -1;
}

int EndedProgramStatus(std::intptr_t program, char* problem, std::size_t problemSize) {
    if (problem != nullptr && problemSize > 0) problem[0] = '\0';
    const auto process = reinterpret_cast<HANDLE>(program);
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    // An exception that ended it: its code is the exit status, with the top bits set.
    if ((code & 0xF0000000u) == 0xC0000000u) {
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "the program ended by %s (0x%08lX)",
                          EndingName(Ending::Crash, static_cast<int>(code)),
                          static_cast<unsigned long>(code));
        return -1;
    }
    return static_cast<int>(code);
}

void StopProgram(std::intptr_t program) {
    const auto process = reinterpret_cast<HANDLE>(program);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
}

std::size_t ProgramPath(char* out, std::size_t size) {
    if (out == nullptr || size == 0) return 0;
    const DWORD length = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(size));
    if (length == 0 || length >= size) {
        out[0] = '\0';
        return 0;
    }
    return length;
}

unsigned ProcessorCount() {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    return system.dwNumberOfProcessors > 0 ? system.dwNumberOfProcessors : 1u;
}

bool ErrorIsTerminal() {
    return _isatty(2) != 0;
}

namespace {

EndingHandler handler = nullptr;
volatile LONG caught = 0;
bool exitHandlerAdded = false;
LPTOP_LEVEL_EXCEPTION_FILTER savedFilter = nullptr;

LONG WINAPI OnException(EXCEPTION_POINTERS* info) {
    const auto code = static_cast<int>(info->ExceptionRecord->ExceptionCode);
    if (caught && handler != nullptr) handler(Ending::Crash, code);
    EndNow(3);
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (!caught || handler == nullptr) return FALSE;
    handler(Ending::Interrupt, static_cast<int>(event));
    return TRUE;
}

void OnExit() {
    if (caught && handler != nullptr) handler(Ending::Exit, 0);
}

} // namespace

void CatchEndings(EndingHandler onEnding) {
    ReleaseEndings();
    handler = onEnding;
    savedFilter = SetUnhandledExceptionFilter(OnException);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    if (!exitHandlerAdded) exitHandlerAdded = std::atexit(OnExit) == 0;
    caught = 1;
}

void ReleaseEndings() {
    if (!caught) return;
    caught = 0;
    SetUnhandledExceptionFilter(savedFilter);
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    handler = nullptr;
}

const char* EndingName(Ending ending, int code) {
    if (ending == Ending::Exit) return "exit()";
    if (ending == Ending::Interrupt)
        return code == CTRL_C_EVENT       ? "Ctrl-C"
               : code == CTRL_BREAK_EVENT ? "Ctrl-Break"
                                          : "the console closing";
    switch (static_cast<DWORD>(code)) {
    case EXCEPTION_ACCESS_VIOLATION:
        return "an access violation";
    case EXCEPTION_STACK_OVERFLOW:
        return "a stack overflow";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
        return "an illegal instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
        return "a division by zero";
    default:
        return "an exception";
    }
}

void WriteRaw(int fd, const char* bytes, std::size_t count) {
    while (count > 0) {
        const int done =
            _write(fd, bytes, static_cast<unsigned>(count > (1u << 30) ? 1u << 30 : count));
        if (done <= 0) return;
        bytes += done;
        count -= static_cast<std::size_t>(done);
    }
}

void EndNow(int code) {
    // Not ExitProcess: the libraries' detach work could hang on what the crash left behind.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    _exit(code);
}

} // namespace velqa3::platform
