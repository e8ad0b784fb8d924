#include "telemetry/telemetry.h"

#include "host/frame.h"
#include "host/json_number.h"

#include <cmath>
#include <cstdio>

namespace velqa3 {

void OpenTelemetry(Telemetry& telemetry, const Settings& settings) {
    telemetry.statusOn = settings.sendMode != 0;
    telemetry.stopOn = settings.castMode != 0;
    if (telemetry.statusOn) {
        ConfigureSender(telemetry.status, settings.host, settings.port);
        OpenSender(telemetry.status);
    }
    if (telemetry.stopOn) {
        ConfigureSender(telemetry.stop, settings.castHost, settings.castPort);
        OpenSender(telemetry.stop);
    }
}

bool StatusDue(const Telemetry& telemetry, std::int32_t clock, std::int32_t interval) {
    return telemetry.statusOn && CrossesBoundary(clock, interval, kStatusPeriodMs);
}

bool StopDue(const Telemetry& telemetry, std::int32_t clock, std::int32_t interval) {
    return telemetry.stopOn && CrossesBoundary(clock, interval, kStopPeriodMs);
}

void SendTelemetry(Telemetry& telemetry, const TelemetryFrame& frame) {
    if (StatusDue(telemetry, frame.clock, frame.interval))
        SendText(telemetry.status, frame.statusText, frame.statusCapacity);
    if (StopDue(telemetry, frame.clock, frame.interval) &&
        FormatStopMessage(frame, telemetry.stopText) > 0)
        SendText(telemetry.stop, telemetry.stopText, sizeof telemetry.stopText);
}

void CloseTelemetry(Telemetry& telemetry) {
    CloseSender(telemetry.status);
    CloseSender(telemetry.stop);
}

std::size_t FormatStopMessage(const TelemetryFrame& frame, char (&out)[kStopTextSize]) {
    // The panel location is shown as the float the panel works with, without its sign.
    const float panelLocation = static_cast<float>(JsonNumber(frame.panelLocation));
    const char* format =
        frame.stopStation
            ? "{\"Time\":%d, \"Location\":%d, \"PanelLocation\":%d, \"Speed\":%.1lf, \"Stop\":1, "
              "\"StaId\":%d, \"Crawl\":{\"Speed\":%d, \"Start\":%d, \"PanelStart\":%d, "
              "\"Length\":%d}}"
            : "{\"Time\":%d, \"Location\":%d, \"PanelLocation\":%d, \"Speed\":%.1lf, \"Stop\":0, "
              "\"StaId\":%d, \"Crawl\":{\"Speed\":%d, \"Start\":%d, \"PanelStart\":%d, "
              "\"Length\":%d}}";
    const int length =
        std::snprintf(out, sizeof out, format, static_cast<int>(frame.time / 1000),
                      JsonInteger(frame.location), JsonInteger(std::fabs(panelLocation)),
                      JsonNumber(frame.speed), static_cast<int>(frame.stationId), 0, 0, 0, 0);
    // A cut text would be invalid JSON; sending nothing is better. Every value above is bounded,
    // so this guards the format alone.
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof out) {
        out[0] = '\0';
        return 0;
    }
    return static_cast<std::size_t>(length);
}

} // namespace velqa3
