// The receiving side of UDP, for the programs that listen to the plug-in's telemetry (the
// watch, the tests). The plug-in itself never receives, so this is not part of its library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velqa3::platform {

struct UdpListener {
    std::intptr_t socket = -1;
    std::uint16_t port = 0; // host byte order, as bound
};

// Binds a datagram socket to a numeric IPv4 address ("0.0.0.0" for every interface) and a
// port; port 0 takes any free one, reported in listener.port. False when that fails.
bool UdpListen(UdpListener& listener, const char* address, std::uint16_t port);
// Waits at most timeoutMs for one datagram and copies at most size bytes of it into buffer.
// Its length (cut to size), 0 when none came in time, -1 when the socket failed.
long UdpReceive(UdpListener& listener, char* buffer, std::size_t size, int timeoutMs);
void UdpStopListening(UdpListener& listener);

// Lets the terminal interpret the escape sequences that redraw a screen (a Windows console
// needs to be asked; elsewhere nothing to do). False when standard output is no terminal.
bool PrepareTerminal();

// Calls handler on Ctrl-C and on a request to terminate, in a way that cuts short a wait for a
// datagram or for the output, so a listener stops even while its reader does not read.
void CatchStopSignals(void (*handler)(int));

// Writes the start of bytes to standard output, waiting at most timeoutMs for it to take any.
// The count written (0 when the output took nothing in time or a signal came), -1 when the
// output is gone.
long WriteOutput(const char* bytes, std::size_t size, int timeoutMs);

} // namespace velqa3::platform
