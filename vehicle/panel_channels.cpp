#include "vehicle/panel_channels.h"

namespace velqa3 {

namespace {

constexpr std::int32_t kStepMs = 500;

// The next of |period| frames. A frame left beyond a period that was shortened meanwhile
// comes back into range.
std::int32_t NextFrame(std::int32_t frame, std::int32_t period) {
    const std::int64_t length = period < 0 ? -std::int64_t{period} : period;
    return static_cast<std::int32_t>((std::int64_t{frame} + 1) % length);
}

// The station channel: mode 3 cycles its frames as any channel does; modes 1 and 2 hold frame
// 2 once the train has all but stopped, and mode 2 shows frame 1 while no period is set.
void StepStationChannel(DisplayChannels& display, std::uint8_t station, float speed) {
    std::int32_t& period = display.period[kStationChannel];
    std::int32_t& frame = display.frame[kStationChannel];
    if (station == 3) {
        if (period != 0) frame = NextFrame(frame, period);
    } else if ((station == 1 || station == 2) && speed <= 3.0f) {
        frame = 2;
    } else if (station == 2 && period == 0) {
        frame = 1;
    } else if (period != 0) {
        frame = NextFrame(frame, period);
    } else if (station == 0) {
        frame = -1;
    }
    if (station == 1) {
        if (period != 0) period = -3;
        if (frame == 1) frame = 2;
    } else if (station == 2 || station == 3) {
        if (period != 0) period = -2;
    }
}

} // namespace

void StepDisplayChannels(DisplayChannels& display, const FrameValues& frame,
                         const Settings& settings) {
    if (CrossesBoundary(frame.clock, frame.interval, kStepMs)) {
        for (int channel = 0; channel < kDisplayChannels; ++channel) {
            if (channel == kStationChannel) {
                StepStationChannel(display, settings.station, frame.speed);
                continue;
            }
            std::int32_t& number = display.frame[channel];
            const std::int32_t period = display.period[channel];
            number = period != 0 ? NextFrame(number, period) : -1;
        }
    }

    std::int32_t& timer = display.carNumberTimer;
    if (settings.carNumber != 0 && timer > 0) {
        timer = frame.interval >= timer ? 0 : timer - frame.interval;
        if (timer == 0) display.period[kCarNumberChannel] = 0;
    }
}

} // namespace velqa3
