// Process start on Windows: CreateProcess with a command line quoted as the C runtime of the
// started program splits it, so each argument arrives as it was given; cmd.exe is never used.
#include "platform/process.h"

#include <windows.h>

#include <cstdio>
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

} // namespace

int RunProgram(const char* const argv[], const char* workDir, char* problem,
               std::size_t problemSize) {
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
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, workDir,
                        &startup, &process)) {
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "cannot start %s (Windows error %lu)", argv[0],
                          static_cast<unsigned long>(GetLastError()));
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

} // namespace velqa3::platform
