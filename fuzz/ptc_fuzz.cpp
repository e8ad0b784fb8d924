// Feeds a fresh pattern protection any sequence of beacons, frames, frame values and driver
// actions, and checks after every step that its distances and curves stay numbers and its
// distances never go below zero.
#include "ats_pt/ptc.h"
#include "fuzz/fuzz_input.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

using velqa3::fuzz::Input;

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

void RequireDistance(float distance) {
    Require(!std::isnan(distance) && distance >= 0.0f);
}

struct BoundValues {
    float speed = 0.0f;
    std::int32_t frameMs = 16;
    std::int32_t power = 0;
    std::int32_t brake = 0;
    std::int32_t reverser = 0;
    std::uint8_t atsMode = 4;
    std::uint8_t cabSwitches = 0x01;
    std::int32_t aspect = 0;
};

void CheckInvariants(const velqa3::PTC& ptc) {
    RequireDistance(ptc.sigDis);
    RequireDistance(ptc.nsdDis);
    RequireDistance(ptc.limDis);
    RequireDistance(ptc.limDoDis);
    RequireDistance(ptc.targetDis);
    RequireDistance(ptc.limLength);
    for (const float value : {ptc.sigPtnDis, ptc.sigPtnSpd, ptc.limPtnDis, ptc.limPtnSpd,
                              ptc.patternSpd, ptc.gradeDecel})
        Require(!std::isnan(value));
    Require(ptc.bellOut >= 0 && ptc.bellOut <= 3);
    Require(ptc.state >= 0 && ptc.state <= 3);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto values = std::make_unique<BoundValues>();
    auto ptc = std::make_unique<velqa3::PTC>();
    ptc->Bind(&values->speed, &values->frameMs, &values->power, &values->brake, &values->reverser,
              &values->atsMode, &values->cabSwitches, &values->aspect);
    ptc->ebNotch = 9;
    ptc->trainLength = 200.0f;
    Input input(data, size);
    while (!input.empty()) {
        switch (input.Take<std::uint8_t>() % 8) {
        case 0: {
            // Mostly the types a route uses, sometimes any at all.
            const auto selector = input.Take<std::uint8_t>();
            std::int32_t type = input.Take<std::int32_t>();
            if (selector % 4 != 0)
                type = static_cast<std::int32_t>(selector % 4 == 1 ? type & 0xFF : selector);
            const auto signal = input.Take<std::int32_t>();
            const auto distance = input.Take<float>();
            const auto optional = input.Take<std::int32_t>();
            ptc->BeaconIn(type, signal, distance, optional, (selector & 0x80) != 0);
            break;
        }
        case 1:
        case 2:
            ptc->Update();
            break;
        case 3:
            *values = input.Take<BoundValues>();
            break;
        case 4:
            values->speed = input.Take<float>();
            values->frameMs = input.Take<std::int32_t>();
            break;
        case 5:
            switch (input.Take<std::uint8_t>() % 6) {
            case 0:
                ptc->Reset();
                break;
            case 1:
                ptc->StartPattern();
                break;
            case 2:
                ptc->ReleaseBrake();
                break;
            case 3:
                ptc->ClearSignalTarget();
                break;
            case 4:
                ptc->CheckMaxSpeed();
                break;
            default:
                values->cabSwitches |= 0x20;
                break; // the brake-release key
            }
            break;
        case 6:
            ptc->trainLength = input.Take<float>();
            ptc->ebNotch = input.Take<std::int32_t>();
            ptc->lineType = input.Take<std::uint8_t>();
            break;
        case 7: {
            const char* text = ptc->StatusJson();
            Require(std::strlen(text) < velqa3::kStatusJsonSize);
            break;
        }
        }
        CheckInvariants(*ptc);
    }
    return 0;
}
