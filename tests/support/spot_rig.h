// A spot protection fed the frame values the test drives itself.
#pragma once

#include "ats_st/stc.h"

#include <array>
#include <cstdint>

namespace velqa3::test {

struct SpotRig {
    float speed = 0.0f;
    std::int32_t clock = 0;
    std::int32_t interval = 0;
    STC stc;

    explicit SpotRig(std::int32_t startMs = 43'200'000) : clock(startMs) { stc.Restart(true); }

    StcFrame Frame() const { return {.speed = speed, .clock = clock, .frameMs = interval}; }

    // What the driver hears and sees: bell, chime, normal lamp, alarm lamp.
    using Cab = std::array<std::int32_t, 4>;
    Cab Outputs() const { return {stc.bellSound, stc.chimeSound, stc.normalLamp, stc.alarmLamp}; }

    // One frame at timeMs, the clock wrapping at midnight as the host's does.
    void FrameAt(std::int32_t timeMs) {
        interval = timeMs >= clock ? timeMs - clock : timeMs + 86'400'000 - clock;
        clock = timeMs;
        stc.Update(Frame());
    }
    // Frames of stepMs until totalMs have passed.
    void Run(std::int32_t totalMs, std::int32_t stepMs = 20) {
        for (std::int32_t passed = 0; passed < totalMs; passed += stepMs)
            FrameAt((clock + stepMs) % 86'400'000);
    }
};

} // namespace velqa3::test
