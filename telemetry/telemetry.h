// The two telemetry senders of the plug-in: the pattern protection's status twice a second and
// the train's stop message once a second, each a one-line JSON text in one UDP datagram.
#pragma once

#include "config/settings.h"
#include "telemetry/udp_sender.h"

#include <cstddef>
#include <cstdint>

namespace velqa3 {

inline constexpr std::size_t kStopTextSize = 1000;
inline constexpr std::int32_t kStatusPeriodMs = 500;
inline constexpr std::int32_t kStopPeriodMs = 1000;

struct Telemetry {
    UdpSender status;
    UdpSender stop;
    bool statusOn = false; // Mode in [SENDDATA]
    bool stopOn = false;   // CastMode in [SENDDATA]
    char stopText[kStopTextSize] = {};
};

// What the frame driver hands the senders at the end of every frame, suspended ones included.
struct TelemetryFrame {
    // Of the latest full frame: the boundaries are tested on them, so a suspended frame that
    // follows a frame which crossed one sends again.
    std::int32_t clock = 0;
    std::int32_t interval = 0;
    // Of this call of the host.
    std::int32_t time = 0; // ms of the day
    double location = 0.0; // m
    float speed = 0.0f;    // km/h
    double panelLocation = 0.0;
    bool stopStation = false;
    std::int32_t stationId = 0;
    // The protection's status text and the size of the buffer it lies in; the frame driver
    // formats it only when StatusDue says so, and may leave it null otherwise.
    const char* statusText = nullptr;
    std::size_t statusCapacity = 0;
};

// When the vehicle is set up: points each enabled sender at its settings and opens its socket;
// a disabled sender stays closed and never opens one.
void OpenTelemetry(Telemetry& telemetry, const Settings& settings);

bool StatusDue(const Telemetry& telemetry, std::int32_t clock, std::int32_t interval);
bool StopDue(const Telemetry& telemetry, std::int32_t clock, std::int32_t interval);

// Sends what this frame's boundaries call for; nothing at all in the other frames.
void SendTelemetry(Telemetry& telemetry, const TelemetryFrame& frame);

// At Dispose and at detach; the second time finds nothing open.
void CloseTelemetry(Telemetry& telemetry);

// The stop message of the frame into out; its length, or 0 when it could not be formatted.
std::size_t FormatStopMessage(const TelemetryFrame& frame, char (&out)[kStopTextSize]);

} // namespace velqa3
