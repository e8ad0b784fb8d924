// Who wins the handle commands each frame: the protections, the driving aids or the driver.
#pragma once

#include "config/settings.h"
#include "host/driver_inputs.h"
#include "host/host.h"
#include "host/mode.h"
#include "vehicle/cab_keys.h"
#include "vehicle/supervision.h"
#include "vehicle/tasc.h"

#include <cstdint>

namespace velqa3 {

// State of the arbitration itself, kept across frames and across Initialize.
struct Arbitration {
    bool emergencyLatch = false;   // an emergency was applied; EBDown steps it down
    std::int8_t constantState = 0; // 0 idle, 1 requested, 2 power held off
    bool constantArmed = false;
    std::int32_t crawlTimer = 0; // ms
};

// What the decisions read from the rest of the plug-in this frame.
struct ArbitrationInputs {
    const Settings& settings;
    const ModeGlobals& mode;
    const Supervision& supervision;
    const TascState& tasc;
    const CabKeys& cabKeys;
    std::int32_t serviceNotches;
    std::int32_t emergencyNotch;
    std::int32_t powerNotches;
    std::int32_t lineVoltage;      // V, the previous frame's
    bool stOverspeed;              // the spot protection's overspeed relay
    bool ptServiceLatch;           // the pattern protection holds full service
    float bcPressure;              // kPa
    float speed;                   // km/h
    std::int32_t frameInterval;    // ms
    std::int32_t previousReverser; // the driver's, at the end of the last full frame
};

void DecidePower(const ArbitrationInputs& in, const DriverInputs& driver, HandleOutput& out);
void DecideBrake(Arbitration& arb, const ArbitrationInputs& in, DriverInputs& driver,
                 HandleOutput& out);
void DecideReverser(const ArbitrationInputs& in, const DriverInputs& driver, HandleOutput& out);
void DecideConstantSpeed(Arbitration& arb, const ArbitrationInputs& in, const DriverInputs& driver,
                         HandleOutput& out);

} // namespace velqa3
