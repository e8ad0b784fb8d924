// The brake-cylinder pressure the cab gauge shows. With T-priority blending the gauge follows
// a target of its own (the air brake filling in for the electric brake at low speed and on a
// high line) at rates set by the main reservoir; otherwise it shows the host's pressure.
#pragma once

#include "config/settings.h"
#include "host/frame.h"

#include <cstdint>

namespace velqa3 {

struct BrakeCylinderDisplay {
    float bcDisplay = 0.0f; // kPa on the gauge
    float bcTarget = 0.0f;  // kPa
    float bcTargetPrev = 0.0f;
    bool releasing = false;         // exhaust sound while the gauge falls
    bool releasingLowSpeed = false; // the low-speed exhaust, once taken, until the gauge rises
    // A T-PriorityMid equal to T-PriorityStart would leave the blend no width; it is moved up
    // by 0.1 km/h the first time the blend runs and stays there.
    bool midRaised = false;
};

// What the gauge reads from the rest of the frame.
struct BrakeCylinderInputs {
    std::int32_t brakeOutput;    // the notch returned to the host this frame
    std::int32_t serviceNotches; // the host's BrakeNotches
    std::int32_t lineVoltage;    // V, this frame's
};

// Step 14 of a frame, the snow-brake floor included.
void RunBrakeCylinder(BrakeCylinderDisplay& bc, const FrameValues& frame, const Settings& settings,
                      const BrakeCylinderInputs& in);

// The protection's start-up test, which the master-controller key starts.
struct AtsStartupTest {
    std::int32_t timer = 0; // ms left; -1 when it has just run out, 0 when idle
};

// Step 15: the start-up test swings the gauge needle (gaugeKpa, the gauge's reading after
// step 14) up and back, then rings the bell (bellOut, the pattern protection's bell channel)
// once the test has run out.
void RunAtsStartupTest(AtsStartupTest& test, const FrameValues& frame, float& gaugeKpa,
                       std::int32_t& bellOut);

} // namespace velqa3
