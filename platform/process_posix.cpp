// Process start on Linux: fork and execvp, so arguments never pass through a shell. And the
// signals that end a run, caught for the host.
#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace velqa3::platform {

namespace {

// Waits for the child, at most timeoutMs (0: without end); false when it is still running.
bool WaitFor(pid_t child, int& status, long timeoutMs) {
    if (timeoutMs <= 0) {
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Starts the program: in workDir unless null, its output to the descriptor output unless -1,
// argv[0] looked up on the search path when search. The child's pid, or -1 (problem says why).
pid_t Spawn(const char* const argv[], const char* workDir, int output, bool search, char* problem,
            std::size_t problemSize) {
    if (problem != nullptr && problemSize > 0) problem[0] = '\0';
    if (argv == nullptr || argv[0] == nullptr) return -1;
    // The child reports a failed chdir or exec through this pipe; it closes on a good exec.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return -1;
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        if (problem != nullptr) std::snprintf(problem, problemSize, "fork: %s", strerror(errno));
        return -1;
    }
    if (child == 0) {
        close(report[0]);
        int failure = 0;
        if (workDir != nullptr && chdir(workDir) != 0) {
            failure = errno;
        } else if (output >= 0 && (dup2(output, 1) < 0 || dup2(output, 2) < 0)) {
            failure = -errno;
        } else {
            // Only async-signal-safe calls in the child: no allocation, no stdio.
            if (search)
                execvp(argv[0], const_cast<char* const*>(argv));
            else
                execv(argv[0], const_cast<char* const*>(argv));
            failure = -errno;
        }
        ssize_t ignored = write(report[1], &failure, sizeof failure);
        (void)ignored;
        _exit(127);
    }
    close(report[1]);
    int failure = 0;
    ssize_t got;
    do {
        got = read(report[0], &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof failure)) {
        int status = 0;
        WaitFor(child, status, 0);
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "%s %s: %s",
                          failure > 0 ? "cannot enter the folder for" : "cannot start", argv[0],
                          strerror(failure > 0 ? failure : -failure));
        return -1;
    }
    return child;
}

int StatusOf(int status, const char* name, char* problem, std::size_t problemSize) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (problem != nullptr)
        std::snprintf(problem, problemSize, "%s was stopped by signal %d (%s)", name,
                      WIFSIGNALED(status) ? WTERMSIG(status) : 0,
                      EndingName(Ending::Crash, WIFSIGNALED(status) ? WTERMSIG(status) : 0));
    return -1;
}

} // namespace

int RunProgram(const char* const argv[], const char* workDir, char* problem,
               std::size_t problemSize, long timeoutMs) {
    const pid_t child = Spawn(argv, workDir, -1, true, problem, problemSize);
    if (child < 0) return -1;
    int status = 0;
    if (!WaitFor(child, status, timeoutMs)) {
        kill(child, SIGKILL);
        WaitFor(child, status, 0);
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "%s did not finish within %ld s and was stopped",
                          argv[0], timeoutMs / 1000);
        return kTimedOut;
    }
    return StatusOf(status, argv[0], problem, problemSize);
}

std::intptr_t StartProgram(const char* const argv[], const char* output, char* problem,
                           std::size_t problemSize) {
    if (problem != nullptr && problemSize > 0) problem[0] = '\0';
    if (argv == nullptr || argv[0] == nullptr || output == nullptr) return -1;
    // Close-on-exec: the program gets it as its standard output only, and no program started
    // later inherits it.
    const int fd = open(output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "cannot make %s: %s", output, strerror(errno));
        return -1;
    }
    const pid_t child = Spawn(argv, nullptr, fd, false, problem, problemSize);
    close(fd);
    return child;
}

int WaitForAnyProgram(const std::intptr_t* programs, std::size_t count, long timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // Short looks first: a sweep's case ends within milliseconds, and a long nap would be most
    // of its cost.
    auto nap = std::chrono::microseconds(100);
    for (;;) {
        for (std::size_t i = 0; i < count && i < kMaxWaitedPrograms; ++i) {
            siginfo_t info{};
            // WNOWAIT: only looked at; EndedProgramStatus collects it.
            if (waitid(P_PID, static_cast<id_t>(programs[i]), &info, WEXITED | WNOHANG | WNOWAIT) ==
                    0 &&
                info.si_pid != 0)
                return static_cast<int>(i);
        }
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(nap);
        nap = std::min(nap * 2, std::chrono::microseconds(2000));
    }
}

int EndedProgramStatus(std::intptr_t program, char* problem, std::size_t problemSize) {
    if (problem != nullptr && problemSize > 0) problem[0] = '\0';
    int status = 0;
    WaitFor(static_cast<pid_t>(program), status, 0);
    return StatusOf(status, "the program", problem, problemSize);
}

void StopProgram(std::intptr_t program) {
    kill(static_cast<pid_t>(program), SIGKILL);
    int status = 0;
    WaitFor(static_cast<pid_t>(program), status, 0);
}

std::size_t ProgramPath(char* out, std::size_t size) {
    if (out == nullptr || size == 0) return 0;
    const ssize_t length = readlink("/proc/self/exe", out, size);
    if (length <= 0 || static_cast<std::size_t>(length) >= size) {
        out[0] = '\0';
        return 0;
    }
    out[length] = '\0';
    return static_cast<std::size_t>(length);
}

unsigned ProcessorCount() {
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<unsigned>(count) : 1u;
}

bool ErrorIsTerminal() {
    return isatty(2) == 1;
}

namespace {

EndingHandler handler = nullptr;
volatile sig_atomic_t caught = 0; // the handlers are in place
bool exitHandlerAdded = false;

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction savedCrash[sizeof kCrashSignals / sizeof kCrashSignals[0]];
struct sigaction savedStop[sizeof kStopSignals / sizeof kStopSignals[0]];
// A stack of its own for the handler: a crash from a stack overflow has none left.
alignas(16) char alternateStack[64 * 1024];

void OnCrash(int signal) {
    if (caught && handler != nullptr) handler(Ending::Crash, signal);
    EndNow(128 + signal);
}

void OnStop(int signal) {
    if (caught && handler != nullptr) handler(Ending::Interrupt, signal);
}

void OnExit() {
    if (caught && handler != nullptr) handler(Ending::Exit, 0);
}

} // namespace

void CatchEndings(EndingHandler onEnding) {
    ReleaseEndings();
    handler = onEnding;
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = OnCrash;
    action.sa_flags = SA_ONSTACK | SA_RESETHAND | SA_NODEFER;
    for (std::size_t i = 0; i < sizeof kCrashSignals / sizeof kCrashSignals[0]; ++i)
        sigaction(kCrashSignals[i], &action, &savedCrash[i]);
    action.sa_handler = OnStop;
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < sizeof kStopSignals / sizeof kStopSignals[0]; ++i)
        sigaction(kStopSignals[i], &action, &savedStop[i]);
    if (!exitHandlerAdded) exitHandlerAdded = std::atexit(OnExit) == 0;
    caught = 1;
}

void ReleaseEndings() {
    if (!caught) return;
    caught = 0;
    for (std::size_t i = 0; i < sizeof kCrashSignals / sizeof kCrashSignals[0]; ++i)
        sigaction(kCrashSignals[i], &savedCrash[i], nullptr);
    for (std::size_t i = 0; i < sizeof kStopSignals / sizeof kStopSignals[0]; ++i)
        sigaction(kStopSignals[i], &savedStop[i], nullptr);
    handler = nullptr;
}

const char* EndingName(Ending ending, int code) {
    if (ending == Ending::Exit) return "exit()";
    switch (code) {
    case SIGSEGV:
        return "SIGSEGV, a memory fault";
    case SIGBUS:
        return "SIGBUS, a memory fault";
    case SIGFPE:
        return "SIGFPE, an arithmetic fault";
    case SIGILL:
        return "SIGILL, an illegal instruction";
    case SIGABRT:
        return "SIGABRT, an abort";
    case SIGTRAP:
        return "SIGTRAP, a trap";
    case SIGSYS:
        return "SIGSYS, a bad system call";
    case SIGINT:
        return "SIGINT, Ctrl-C";
    case SIGTERM:
        return "SIGTERM, a request to end";
    case SIGHUP:
        return "SIGHUP, the terminal went away";
    case SIGQUIT:
        return "SIGQUIT";
    default:
        return "a signal";
    }
}

void WriteRaw(int fd, const char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t done = write(fd, bytes, count);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return;
        bytes += done;
        count -= static_cast<std::size_t>(done);
    }
}

void EndNow(int code) {
    _exit(code);
}

} // namespace velqa3::platform
