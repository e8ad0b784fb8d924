#include "platform/udp_receive.h"

// Winsock must come before windows.h, which would otherwise pull in the old socket header.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <csignal>
#include <cstdio>

// Older MinGW headers lack the console flag of Windows 10.
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace velqa3::platform {

bool UdpListen(UdpListener& listener, const char* address, std::uint16_t port) {
    UdpStopListening(listener);
    if (address == nullptr) return false;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return false;
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    const SOCKET s = inet_pton(AF_INET, address, &at.sin_addr) == 1
                         ? socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)
                         : INVALID_SOCKET;
    // A host running far faster than real time sends in bursts; a larger queue keeps them.
    const int queue = 1 << 20;
    if (s != INVALID_SOCKET)
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&queue), sizeof queue);
    int length = sizeof at;
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
        if (s != INVALID_SOCKET) closesocket(s);
        WSACleanup();
        return false;
    }
    listener.socket = static_cast<std::intptr_t>(s);
    listener.port = ntohs(at.sin_port);
    return true;
}

long UdpReceive(UdpListener& listener, char* buffer, std::size_t size, int timeoutMs) {
    if (listener.socket < 0 || buffer == nullptr) return -1;
    const SOCKET s = static_cast<SOCKET>(listener.socket);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int ready = select(0, &readable, nullptr, nullptr, &timeout);
    if (ready == SOCKET_ERROR) return -1;
    if (ready == 0) return 0;
    const int got = recv(s, buffer, static_cast<int>(size), 0);
    // A datagram longer than the buffer arrives cut, which Windows reports as an error.
    if (got == SOCKET_ERROR) return WSAGetLastError() == WSAEMSGSIZE ? static_cast<long>(size) : -1;
    return got;
}

void UdpStopListening(UdpListener& listener) {
    if (listener.socket >= 0) {
        closesocket(static_cast<SOCKET>(listener.socket));
        WSACleanup();
    }
    listener = UdpListener{};
}

bool PrepareTerminal() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode)) return false;
    return SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void CatchStopSignals(void (*handler)(int)) {
    // The console runs the handler on a thread of its own; the main thread's waits are short.
    std::signal(SIGINT, handler);
    std::signal(SIGTERM, handler);
}

long WriteOutput(const char* bytes, std::size_t size, int) {
    // Through the C runtime, which turns each line feed into the CR LF Windows tools expect.
    if (bytes == nullptr || size == 0) return 0;
    const std::size_t written = std::fwrite(bytes, 1, size, stdout);
    std::fflush(stdout);
    return written == 0 && std::ferror(stdout) ? -1 : static_cast<long>(written);
}

} // namespace velqa3::platform
