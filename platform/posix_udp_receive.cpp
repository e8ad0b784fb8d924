#include "platform/udp_receive.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velqa3::platform {

bool UdpListen(UdpListener& listener, const char* address, std::uint16_t port) {
    UdpStopListening(listener);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    if (address == nullptr || inet_pton(AF_INET, address, &at.sin_addr) != 1) return false;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A host running far faster than real time sends in bursts; a larger queue keeps them.
    const int queue = 1 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queue, sizeof queue);
    socklen_t length = sizeof at;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
        close(fd);
        return false;
    }
    listener.socket = fd;
    listener.port = ntohs(at.sin_port);
    return true;
}

long UdpReceive(UdpListener& listener, char* buffer, std::size_t size, int timeoutMs) {
    if (listener.socket < 0 || buffer == nullptr) return -1;
    pollfd waiting{static_cast<int>(listener.socket), POLLIN, 0};
    const int ready = poll(&waiting, 1, timeoutMs);
    if (ready < 0) return -1;
    if (ready == 0) return 0;
    const ssize_t got = recv(static_cast<int>(listener.socket), buffer, size, 0);
    return got < 0 ? -1 : static_cast<long>(got);
}

void UdpStopListening(UdpListener& listener) {
    if (listener.socket >= 0) close(static_cast<int>(listener.socket));
    listener = UdpListener{};
}

bool PrepareTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}

void CatchStopSignals(void (*handler)(int)) {
    // Without SA_RESTART: the C library's signal() restarts a write the signal interrupted, and
    // a write into a pipe nobody reads then never returns.
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

long WriteOutput(const char* bytes, std::size_t size, int timeoutMs) {
    if (bytes == nullptr || size == 0) return 0;
    pollfd out{STDOUT_FILENO, POLLOUT, 0};
    const int ready = poll(&out, 1, timeoutMs);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    if (ready == 0) return 0;
    if ((out.revents & (POLLERR | POLLNVAL)) != 0) return -1;
    // A pipe that reports room takes PIPE_BUF bytes at once, so this write does not block; on
    // an output that could still block, the signal that asks to stop interrupts it.
    const ssize_t written = write(STDOUT_FILENO, bytes, size < PIPE_BUF ? size : PIPE_BUF);
    if (written < 0) return errno == EINTR || errno == EAGAIN ? 0 : -1;
    return static_cast<long>(written);
}

} // namespace velqa3::platform
