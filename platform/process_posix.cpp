// Process start on Linux: fork and execvp, so arguments never pass through a shell.
#include "platform/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velqa3::platform {

int RunProgram(const char* const argv[], const char* workDir, char* problem,
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
        } else {
            // Only async-signal-safe calls in the child: no allocation, no stdio.
            execvp(argv[0], const_cast<char* const*>(argv));
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
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
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

} // namespace velqa3::platform
