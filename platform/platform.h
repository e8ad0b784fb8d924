// The only operations of the system that touch the operating system. win32.cpp gives the real
// ones for the shipping plug-in; posix.cpp gives stand-ins so the same core runs and is tested
// on Linux.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velqa3::platform {

// Longest module path the host's ANSI API reports, terminator included.
inline constexpr std::size_t kMaxPath = 260;

// Full path of the module this code is linked into (the plug-in library itself), written into
// out with a terminator. Returns its length, 0 when it cannot be had; a path that does not fit
// is cut short, as the Windows call does.
std::size_t ModulePath(char* out, std::size_t size);

// Modal message without owner window and with one OK button; returns when dismissed. The
// stand-in prints one line "caption: text" on standard error and returns at once.
void ShowMessage(const char* text, const char* caption);

// The 256-byte virtual-key state; bit 0x80 of an entry means the key is down. A failed read
// gives all keys up.
void KeyboardState(unsigned char state[256]);

// Sets the table KeyboardState reads. The stand-in keeps it (the native build's host hands it
// over through an extra export, since Linux has no keyboard state to poll); on Windows it is
// the calling thread's key state, set by a test host.
void SetKeyboardState(const unsigned char state[256]);

// Dynamic libraries (companions of the plug-in, and the plug-in itself for a host).
using Library = void*;
bool FileExists(const char* path);
Library OpenLibrary(const char* path);
void* ResolveEntry(Library library, const char* name);
void CloseLibrary(Library library);
// Why the last OpenLibrary failed, as the system says it, written into out with a terminator.
// Returns its length (0 when the system gives no reason).
std::size_t LibraryError(char* out, std::size_t size);
// Extension of a library on this platform, ".dll" or ".so".
const char* LibraryExtension();

// One UDP endpoint: a socket and the IPv4 destination it sends to. A socket of -1 means
// nothing is open, so closing twice, or closing what never opened, touches no handle.
struct UdpEndpoint {
    std::intptr_t socket = -1;
    std::uint32_t address = 0; // network byte order
    std::uint16_t port = 0;    // host byte order
};
// Starts the socket library and opens a non-blocking datagram socket towards a numeric IPv4
// host (dotted decimal) and a port above 0. False, with nothing left open, when the host is no
// such address, the port is 0, or the socket cannot be had.
bool UdpOpen(UdpEndpoint& endpoint, const char* host, std::uint16_t port);
// Sends one datagram without waiting: a full send buffer drops it rather than stall the
// caller. False when it was not handed to the network.
bool UdpSend(const UdpEndpoint& endpoint, const char* data, std::size_t length);
// Closes the socket and releases the socket library once; nothing when nothing is open.
void UdpClose(UdpEndpoint& endpoint);

// Appends bytes to a file, creating it; false when the file cannot be opened or written.
bool AppendToFile(const char* path, const char* data, std::size_t length);

// The runtime's pseudo-random generator (0..32767), the same sequence on every platform.
void SeedRandom(std::uint32_t seed);
int Random();
// Seconds since 1970, for seeding.
std::int64_t CalendarTime();
// The stand-in host's own calendar: from here on CalendarTime returns these seconds instead of
// the system's, so that the line voltage, seeded from it, wanders alike on every build and in
// every run of a scenario.
void PinCalendarTime(std::int64_t seconds);

} // namespace velqa3::platform
