// One UDP sender: a destination taken from the settings and the socket that sends to it.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>

namespace velqa3 {

inline constexpr std::uint16_t kDefaultTelemetryPort = 49200;

struct UdpSender {
    platform::UdpEndpoint endpoint; // open between Open and Close only
    std::uint16_t port = kDefaultTelemetryPort;
    const char* host = nullptr; // the settings' text, which outlives the sender; not copied
};

// Points the sender at host and port; they take effect at the next Open.
void ConfigureSender(UdpSender& sender, const char* host, std::uint16_t port);

// Opens the socket once, so that a frame that sends makes one system call and no other frame
// makes any. A host that is not a numeric IPv4 address (blanks around it are forgiven), or a
// port of 0, opens nothing: the sender then stays silent, as it does for any failure.
bool OpenSender(UdpSender& sender);

// Sends text and its terminating zero byte as one datagram. capacity is the size of the buffer
// text lies in: a text with no terminator within it is not sent, rather than read past it.
// A sender whose Open failed, or that was closed, sends nothing and makes no system call.
void SendText(UdpSender& sender, const char* text, std::size_t capacity);

// Closes what Open opened, once; a sender that holds nothing open is left alone.
void CloseSender(UdpSender& sender);

inline bool SenderOpen(const UdpSender& sender) {
    return sender.endpoint.socket >= 0;
}

} // namespace velqa3
