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
    // Short looks first: a sweep's cases end within milliseconds, and a fixed 10 ms nap would
    // be most of their cost.
    auto nap = std::chrono::microseconds(250);
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(nap);
        nap = std::min(nap * 2, std::chrono::microseconds(10000));
    }
}

// output: a descriptor the child's standard output and error go to, or -1 to keep this
// process's. search: argv[0] is looked up on the search path.
int Launch(const char* const argv[], const char* workDir, int output, bool search, char* problem,
           std::size_t problemSize, long timeoutMs) {
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
    int status = 0;
    if (!WaitFor(child, status, timeoutMs)) {
        kill(child, SIGKILL);
        WaitFor(child, status, 0);
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "%s did not finish within %ld s and was stopped",
                          argv[0], timeoutMs / 1000);
        return kTimedOut;
    }
    if (got == static_cast<ssize_t>(sizeof failure)) {
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "%s %s: %s",
                          failure > 0 ? "cannot enter the folder for" : "cannot start", argv[0],
                          strerror(failure > 0 ? failure : -failure));
        return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (problem != nullptr)
        std::snprintf(problem, problemSize, "%s was stopped by signal %d", argv[0],
                      WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return -1;
}

} // namespace

int RunProgram(const char* const argv[], const char* workDir, char* problem,
               std::size_t problemSize, long timeoutMs) {
    return Launch(argv, workDir, -1, true, problem, problemSize, timeoutMs);
}

int RunProgramTo(const char* const argv[], const char* output, char* problem,
                 std::size_t problemSize, long timeoutMs) {
    if (problem != nullptr && problemSize > 0) problem[0] = '\0';
    if (argv == nullptr || argv[0] == nullptr || output == nullptr) return -1;
    // Close-on-exec: the program gets it as its standard output only, and no other program
    // started meanwhile from another thread inherits it.
    const int fd = open(output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (problem != nullptr)
            std::snprintf(problem, problemSize, "cannot make %s: %s", output, strerror(errno));
        return -1;
    }
    const int status = Launch(argv, nullptr, fd, false, problem, problemSize, timeoutMs);
    close(fd);
    return status;
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
