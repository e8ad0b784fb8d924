// Feeds a fresh pattern protection any sequence of beacons, frames, frame values and driver
// actions, and checks after every step that its distances and curves stay numbers and its
// distances never go below zero.
#include "ats_pt/ptc.h"
#include "fuzz/fuzz_input.h"
#include "tests/support/ptc_rig.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

using velqa3::fuzz::Input;

void RequireDistance(float distance) {
    REQUIRE(!std::isnan(distance) && distance >= 0.0f);
}

void CheckInvariants(const velqa3::PTC& ptc) {
    RequireDistance(ptc.sigDis);
    RequireDistance(ptc.nsdDis);
    RequireDistance(ptc.limDis);
    RequireDistance(ptc.limDoDis);
    RequireDistance(ptc.targetDis);
    RequireDistance(ptc.limLength);
    for (const float value : {ptc.sigPtnDis, ptc.sigPtnSpd, ptc.limPtnDis, ptc.limPtnSpd,
                              ptc.patternSpd, ptc.gradeDecel})
        REQUIRE(!std::isnan(value));
    REQUIRE(ptc.bellOut >= 0 && ptc.bellOut <= 3);
    REQUIRE(ptc.state >= 0 && ptc.state <= 3);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto rig = std::make_unique<velqa3::test::PtcRig>();
    rig->frameMs = 16;
    velqa3::PTC* const ptc = &rig->ptc;
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
            ptc->BeaconIn(rig->Frame(), type, signal, distance, optional, (selector & 0x80) != 0);
            break;
        }
        case 1:
        case 2: {
            const velqa3::PtcModes modes = ptc->Update(rig->Frame());
            rig->atsMode = modes.atsMode;
            rig->cabSwitches = modes.cabSwitches;
            break;
        }
        case 3:
            // Every frame value at once, laid out as the saved inputs have them.
            rig->speed = input.Take<float>();
            rig->frameMs = input.Take<std::int32_t>();
            rig->powerNotch = input.Take<std::int32_t>();
            rig->brakeNotch = input.Take<std::int32_t>();
            rig->reverser = input.Take<std::int32_t>();
            rig->atsMode = input.Take<std::uint8_t>();
            rig->cabSwitches = input.Take<std::uint8_t>();
            input.Take<std::uint16_t>();
            rig->aspect = input.Take<std::int32_t>();
            break;
        case 4:
            rig->speed = input.Take<float>();
            rig->frameMs = input.Take<std::int32_t>();
            break;
        case 5:
            switch (input.Take<std::uint8_t>() % 6) {
            case 0:
                ptc->Reset(rig->Frame());
                break;
            case 1:
                ptc->StartPattern(rig->Frame());
                break;
            case 2:
                ptc->ReleaseBrake(rig->Frame());
                break;
            case 3:
                ptc->ClearSignalTarget();
                break;
            case 4:
                ptc->CheckMaxSpeed(rig->Frame());
                break;
            default:
                rig->cabSwitches |= 0x20;
                break; // the brake-release key
            }
            break;
        case 6:
            ptc->trainLength = input.Take<float>();
            ptc->ebNotch = input.Take<std::int32_t>();
            ptc->lineType = input.Take<std::uint8_t>();
            break;
        case 7: {
            const char* text = ptc->StatusJson(input.Take<float>());
            REQUIRE(std::strlen(text) < velqa3::kStatusJsonSize);
            break;
        }
        }
        CheckInvariants(*ptc);
    }
    return 0;
}
