// Linux stand-ins for the Windows calls: enough of the operating system for the native build,
// its tests and the stand-in host.
#include "platform/platform.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velqa3::platform {

namespace {
unsigned char keyboard[256] = {};
} // namespace

std::size_t ModulePath(char* out, std::size_t size) {
    if (out == nullptr || size == 0) return 0;
    out[0] = '\0';
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || info.dli_fname == nullptr)
        return 0;
    // dlopen keeps the name it was given; the Windows call reports a full path.
    char full[PATH_MAX];
    const char* path = realpath(info.dli_fname, full) != nullptr ? full : info.dli_fname;
    const std::size_t length = std::strlen(path);
    const std::size_t kept = length < size ? length : size - 1;
    std::memcpy(out, path, kept);
    out[kept] = '\0';
    return kept;
}

void ShowMessage(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "",
                 text != nullptr ? text : "");
    std::fflush(stderr);
}

void KeyboardState(unsigned char state[256]) {
    std::memcpy(state, keyboard, sizeof keyboard);
}

void SetKeyboardState(const unsigned char state[256]) {
    if (state == nullptr) {
        std::memset(keyboard, 0, sizeof keyboard);
        return;
    }
    std::memcpy(keyboard, state, sizeof keyboard);
}

bool FileExists(const char* path) {
    return path != nullptr && access(path, F_OK) == 0;
}

Library OpenLibrary(const char* path) {
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* ResolveEntry(Library library, const char* name) {
    return library != nullptr ? dlsym(library, name) : nullptr;
}

void CloseLibrary(Library library) {
    if (library != nullptr) dlclose(library);
}

std::size_t LibraryError(char* out, std::size_t size) {
    if (out == nullptr || size == 0) return 0;
    const char* reason = dlerror();
    std::snprintf(out, size, "%s", reason != nullptr ? reason : "");
    return std::strlen(out);
}

const char* LibraryExtension() {
    return ".so";
}

bool UdpOpen(UdpEndpoint& endpoint, const char* host, std::uint16_t port) {
    UdpClose(endpoint);
    in_addr address{};
    if (host == nullptr || port == 0 || inet_pton(AF_INET, host, &address) != 1) return false;
    // Non-blocking, so that a send never holds up the host's frame.
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    endpoint.socket = fd;
    endpoint.address = address.s_addr;
    endpoint.port = port;
    return true;
}

bool UdpSend(const UdpEndpoint& endpoint, const char* data, std::size_t length) {
    if (endpoint.socket < 0 || data == nullptr) return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(endpoint.port);
    to.sin_addr.s_addr = endpoint.address;
    const ssize_t sent =
        sendto(static_cast<int>(endpoint.socket), data, length, MSG_NOSIGNAL | MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<ssize_t>(length);
}

void UdpClose(UdpEndpoint& endpoint) {
    if (endpoint.socket >= 0) close(static_cast<int>(endpoint.socket));
    endpoint = UdpEndpoint{};
}

} // namespace velqa3::platform
