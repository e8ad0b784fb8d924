// The Win32 calls behind the platform seam, for the shipping plug-in and the Windows host.
#include "platform/platform.h"

// Winsock must come before windows.h, which would otherwise pull in the old socket header.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace velqa3::platform {

std::size_t ModulePath(char* out, std::size_t size) {
    if (out == nullptr || size == 0) return 0;
    out[0] = '\0';
    // The module that holds this function: the plug-in DLL, not the host's executable.
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&ModulePath), &module))
        return 0;
    const DWORD length = GetModuleFileNameA(module, out, static_cast<DWORD>(size));
    out[size - 1] = '\0';
    return length < size ? length : size - 1;
}

void ShowMessage(const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption, MB_OK);
}

void KeyboardState(unsigned char state[256]) {
    if (!GetKeyboardState(state)) std::memset(state, 0, 256);
}

void SetKeyboardState(const unsigned char state[256]) {
    // The key state of the calling thread, which GetKeyboardState on the same thread reads:
    // how a Windows host in a test presses keys without a keyboard.
    if (state != nullptr) ::SetKeyboardState(const_cast<BYTE*>(state));
}

bool FileExists(const char* path) {
    return path != nullptr && _access(path, 0) == 0;
}

Library OpenLibrary(const char* path) {
    return reinterpret_cast<Library>(LoadLibraryA(path));
}

void* ResolveEntry(Library library, const char* name) {
    if (library == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(Library library) {
    if (library != nullptr) ::FreeLibrary(static_cast<HMODULE>(library));
}

std::size_t LibraryError(char* out, std::size_t size) {
    if (out == nullptr || size == 0) return 0;
    const DWORD code = GetLastError();
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, out, static_cast<DWORD>(size), nullptr);
    // The system's text ends in a line break; the caller puts it inside a line of its own.
    while (length > 0 && (out[length - 1] == '\n' || out[length - 1] == '\r' ||
                          out[length - 1] == ' ' || out[length - 1] == '.'))
        out[--length] = '\0';
    if (length == 0)
        length = static_cast<DWORD>(
            std::snprintf(out, size, "Windows error %lu", static_cast<unsigned long>(code)));
    return length < size ? length : size - 1;
}

const char* LibraryExtension() {
    return ".dll";
}

bool UdpOpen(UdpEndpoint& endpoint, const char* host, std::uint16_t port) {
    UdpClose(endpoint);
    if (host == nullptr || port == 0) return false;
    // Each open endpoint holds one start-up of the socket library, released by its close.
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return false;
    in_addr address{};
    if (inet_pton(AF_INET, host, &address) != 1) {
        WSACleanup();
        return false;
    }
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        WSACleanup();
        return false;
    }
    // Non-blocking, so that a send never holds up the host's frame.
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    endpoint.socket = static_cast<std::intptr_t>(s);
    endpoint.address = address.s_addr;
    endpoint.port = port;
    return true;
}

bool UdpSend(const UdpEndpoint& endpoint, const char* data, std::size_t length) {
    if (endpoint.socket < 0 || data == nullptr || length > 65507) return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(endpoint.port);
    to.sin_addr.s_addr = endpoint.address;
    const int sent = sendto(static_cast<SOCKET>(endpoint.socket), data, static_cast<int>(length), 0,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<int>(length);
}

void UdpClose(UdpEndpoint& endpoint) {
    if (endpoint.socket >= 0) {
        closesocket(static_cast<SOCKET>(endpoint.socket));
        WSACleanup();
    }
    endpoint = UdpEndpoint{};
}

} // namespace velqa3::platform
