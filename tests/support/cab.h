// A fresh plug-in instance in a cab: vehicle reported, run initialised, frames on demand.
#pragma once

#include "plugin/plugin.h"
#include "tests/support/vehicle_state.h"

#include <gtest/gtest.h>

#include <memory>

namespace velqa3::test {

class Cab : public testing::Test {
  protected:
    std::unique_ptr<Plugin> plugin = std::make_unique<Plugin>();
    std::int32_t panel[kPanelSize] = {};
    std::int32_t sound[kSoundSize] = {};
    std::int32_t time = 36'000'000;

    void SetUp() override { StartRun(); }

    // Service notches 8 (emergency 9), 5 power notches, ATS notch 2, 10 cars.
    void StartRun() {
        plugin->SetVehicleSpec(VehicleSpec{8, 5, 2, 6, 10});
        plugin->Initialize(0);
    }

    HandleOutput Frame(float speed = 0.0f, float bcPressure = 0.0f, std::int32_t step = 16) {
        VehicleState state = StateAt(time += step, speed);
        state.BcPressure = bcPressure;
        return plugin->Elapse(state, panel, sound);
    }
};

} // namespace velqa3::test
