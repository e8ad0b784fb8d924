#include "telemetry/udp_sender.h"

#include "host/chars.h"

#include <cstring>

namespace velqa3 {

namespace {

// The settings keep the host text as the user wrote it, trailing blank included; the address
// conversion takes digits and dots only, so the blanks around them are dropped here.
constexpr std::size_t kMaxHostText = 64;

bool TrimmedHost(const char* host, char (&out)[kMaxHostText]) {
    if (host == nullptr) return false;
    while (IsBlankOrBreak(*host))
        ++host;
    const char* end = static_cast<const char*>(std::memchr(host, '\0', kMaxHostText));
    if (end == nullptr) return false; // longer than any IPv4 address
    while (end > host && IsBlankOrBreak(end[-1]))
        --end;
    const std::size_t length = static_cast<std::size_t>(end - host);
    std::memcpy(out, host, length);
    out[length] = '\0';
    return length > 0;
}

} // namespace

void ConfigureSender(UdpSender& sender, const char* host, std::uint16_t port) {
    sender.host = host;
    sender.port = port;
}

bool OpenSender(UdpSender& sender) {
    char host[kMaxHostText];
    if (!TrimmedHost(sender.host, host)) {
        CloseSender(sender);
        return false;
    }
    return platform::UdpOpen(sender.endpoint, host, sender.port);
}

void SendText(UdpSender& sender, const char* text, std::size_t capacity) {
    if (text == nullptr || capacity == 0) return;
    const void* terminator = std::memchr(text, '\0', capacity);
    if (terminator == nullptr) return;
    if (!SenderOpen(sender)) return;
    const std::size_t length =
        static_cast<std::size_t>(static_cast<const char*>(terminator) - text);
    // Nothing is done about a datagram the network did not take: telemetry is best effort.
    platform::UdpSend(sender.endpoint, text, length + 1);
}

void CloseSender(UdpSender& sender) {
    platform::UdpClose(sender.endpoint);
}

} // namespace velqa3
