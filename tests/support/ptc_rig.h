// A fresh pattern protection fed the frame values the test sets directly.
#pragma once

#include "ats_pt/ptc.h"

#include <cstdint>

namespace velqa3::test {

struct PtcRig {
    float speed = 0.0f;
    std::int32_t frameMs = 0;
    std::int32_t powerNotch = 0;
    std::int32_t brakeNotch = 0;
    std::int32_t reverser = 0;
    std::uint8_t atsMode = 4;
    std::uint8_t cabSwitches = 0x01;
    std::int32_t aspect = 0;
    PTC ptc = Fresh();

    // An emergency notch of 9 and a 200 m train.
    static PTC Fresh() {
        PTC fresh;
        fresh.ebNotch = 9;
        fresh.trainLength = 200.0f;
        return fresh;
    }

    PtcFrame Frame() const {
        return {.speed = speed,
                .frameMs = frameMs,
                .powerNotch = powerNotch,
                .brakeNotch = brakeNotch,
                .reverser = reverser,
                .aspect = aspect,
                .atsMode = atsMode,
                .cabSwitches = cabSwitches};
    }

    // Frames of ms each at the current speed.
    void Run(std::int32_t ms, int frames = 1) {
        frameMs = ms;
        for (int i = 0; i < frames; ++i) {
            const PtcModes modes = ptc.Update(Frame());
            atsMode = modes.atsMode;
            cabSwitches = modes.cabSwitches;
        }
    }
};

} // namespace velqa3::test
