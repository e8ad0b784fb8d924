#include "vehicle/panel_channels.h"

#include <cstdint>

namespace velqa3 {

namespace {

// A period's sign only says who set it; its size is the number of frames. Widened, so the
// most negative period a beacon can give has a size too.
std::int32_t NextFrame(std::int32_t frame, std::int32_t period) {
    const std::int64_t size = period < 0 ? -std::int64_t{period} : std::int64_t{period};
    return static_cast<std::int32_t>((std::int64_t{frame} + 1) % size);
}

// The station channel: mode 1 and 2 hold frame 2 (arrived) at a stand, mode 2 shows frame 1
// while the channel is off, mode 3 cycles like any other channel but is never blanked.
void StepStationChannel(std::int32_t& frame, std::int32_t period, std::uint8_t mode, float speed) {
    if (mode == 3) {
        if (period != 0) frame = NextFrame(frame, period);
    } else if ((mode == 1 || mode == 2) && speed <= 3.0f) {
        frame = 2;
    } else if (mode == 2 && period == 0) {
        frame = 1;
    } else if (period != 0) {
        frame = NextFrame(frame, period);
    } else if (mode == 0) {
        frame = -1;
    }
}

void StepChannels(DisplayChannels& display, const Settings& settings, float speed) {
    const std::uint8_t mode = settings.station;
    for (int i = 0; i < kDisplayChannels; ++i) {
        std::int32_t& frame = display.frame[i];
        const std::int32_t period = display.period[i];
        if (i == kStationChannel)
            StepStationChannel(frame, period, mode, speed);
        else
            frame = period != 0 ? NextFrame(frame, period) : -1;
    }
    std::int32_t& stationPeriod = display.period[kStationChannel];
    std::int32_t& stationFrame = display.frame[kStationChannel];
    if (mode == 1) {
        if (stationPeriod != 0) stationPeriod = -3;
        if (stationFrame == 1) stationFrame = 2;
    } else if ((mode == 2 || mode == 3) && stationPeriod != 0) {
        stationPeriod = -2;
    }
}

} // namespace

void RunDisplayChannels(DisplayChannels& display, const FrameValues& frame,
                        const Settings& settings) {
    if (CrossesBoundary(frame.clock, frame.interval, kDisplayChannelStep))
        StepChannels(display, settings, frame.speed);
    if (settings.carNumber == 0 || display.carNumberTimer <= 0) return;
    display.carNumberTimer -= frame.interval; // both positive: no overflow
    if (display.carNumberTimer <= 0) {
        display.carNumberTimer = 0;
        display.period[kCarNumberChannel] = 0;
    }
}

} // namespace velqa3
