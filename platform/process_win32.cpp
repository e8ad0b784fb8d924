// Process start on Windows: CreateProcess with a command line quoted as the C runtime of the
// started program splits it, so each argument arrives as it was given; cmd.exe is never used.
// And the ends of a run: unhandled exceptions, console events and exit(), caught for the host.
#include "platform/process.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
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

// Programs are started one at a time: a handle made inheritable for one program must not be
// inherited by another started meanwhile from another thread.
std::mutex starting;

// output: the handle the program's standard output and error go to, or null to keep ours.
int Launch(const char* const argv[], const char* workDir, HANDLE output, char* problem,
           std::size_t problemSize, long timeoutMs) {
    if (problem != nullptr && problemSize > 0) problem[0] = '\0';
    if (argv == nullptr || argv[0] == nullptr) return -1;
    std::string line;
    for (const char* const* arg = argv; *arg != nullptr; ++arg) {
        if (!line.empty()) line += ' ';
        AppendQuoted(line, *arg);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    BOOL started = FALSE;
    {
        const std::lock_guard<std::mutex> one(starting);
        if (output != nullptr) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = output;
            startup.hStdError = output;
            SetHandleInformation(output, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        }
        started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, output != nullptr, 0,
                                 nullptr, workDir, &startup, &process);
        if (output != nullptr) SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
    }
    if (!started) {
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "cannot start %s (Windows error %lu)", argv[0],
                          static_cast<unsigned long>(GetLastError()));
        return -1;
    }
    if (WaitForSingleObject(process.hProcess, timeoutMs > 0 ? static_cast<DWORD>(timeoutMs)
                                                            : INFINITE) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "%s did not finish within %ld s and was stopped",
                          argv[0], timeoutMs / 1000);
        return kTimedOut;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

} // namespace

int RunProgram(const char* const argv[], const char* workDir, char* problem,
               std::size_t problemSize, long timeoutMs) {
    return Launch(argv, workDir, nullptr, problem, problemSize, timeoutMs);
}

int RunProgramTo(const char* const argv[], const char* output, char* problem,
                 std::size_t problemSize, long timeoutMs) {
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
    const int status = Launch(argv, nullptr, file, problem, problemSize, timeoutMs);
    CloseHandle(file);
    return status;
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
