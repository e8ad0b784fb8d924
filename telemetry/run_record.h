// The CSV run record: one line per second or per tenth of a second of simulation time,
// appended to the file beside the plug-in for analysis after the run.
#pragma once

#include "host/frame.h"
#include "host/host.h"

#include <cstdint>

namespace velqa3 {

inline constexpr int kRecordLineSize = 1000;

struct RunRecord {
    bool lineWritten = false; // a line was due in the latest recorded frame; the panel shows it
    bool failureShown =
        false; // the user was told the file cannot be written, and none has been since
    char line[kRecordLineSize] = {};
};

// The values of one line besides the host's state and the frame clock.
struct RecordValues {
    std::int32_t powerNotch;  // the driver's
    std::int32_t brakeNotch;  // the driver's
    std::int32_t outputPower; // returned to the host
    std::int32_t outputBrake; // returned to the host
    float bcDisplay;          // kPa on the gauge
    std::int32_t lineVoltage; // V
    std::uint8_t plusBrakeState;
    std::uint8_t brakeDemand;
    std::int32_t plusBrakeNotch;
};

// Formats the line of the record mode (1, 2 or 3) into record.line, CR LF ended; the length,
// 0 for a mode without lines.
int FormatRecordLine(RunRecord& record, std::uint8_t mode, const FrameValues& frame,
                     const VehicleState& state, const RecordValues& values);

// Step 20 of a frame, suspended frames included: when this frame crossed the boundary of the
// mode, appends the line to the file at path. state is the host's state of this very call;
// frame holds the clock and interval of the latest full frame. A file that cannot be written
// is reported once, and again only after a line has been written and the file has failed
// anew; the lines it could not take are lost, and the run goes on.
void RecordFrame(RunRecord& record, std::uint8_t mode, const FrameValues& frame,
                 const VehicleState& state, const RecordValues& values, const char* path);

} // namespace velqa3
