// A host frame state with the values tests care about; the rest as a standing train has them.
#pragma once

#include "host/host.h"

namespace velqa3::test {

inline VehicleState StateAt(std::int32_t timeMs, float speed = 0.0f, double location = 0.0) {
    VehicleState state{};
    state.Time = timeMs;
    state.Speed = speed;
    state.Location = location;
    state.MrPressure = 800.0f;
    return state;
}

} // namespace velqa3::test
