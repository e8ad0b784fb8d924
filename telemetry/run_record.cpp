#include "telemetry/run_record.h"

#include "platform/platform.h"

#include <cmath>
#include <cstdio>

namespace velqa3 {

namespace {

constexpr const char* kRecordFailText =
    "ファイル名を確認するか、記録しないように設定を変更して下さい";
constexpr const char* kRecordFailCaption = "記録ファイルが開けませんでした";

// The Windows runtime writes the record in text mode, which turns each line feed into CR LF.
// The line carries CR LF itself and is written as bytes, so every build writes the same file.
constexpr const char* kMode1Format = "%d, %lf, %d, %d, %lf, %lf,\r\n";
constexpr const char* kMode2Format = "%lf, %lf, %d, %d, %d, %d, %lf, %lf, %lf, %lf, %d, %lf, \r\n";
constexpr const char* kMode3Format = "%.3lf, %.2lf, %d, %d, %d, %d, %.2lf, %.2lf, %.1lf, %.2lf, "
                                     "%d, %.1lf, %x, %x, %d, \r\n";

std::int32_t PeriodOf(std::uint8_t mode) {
    return mode == 1 ? 1000 : 100;
}

// A suspended frame hands over the host's state unfiltered; a value that is not a number is
// recorded as the last one that was.
double Finite(float value, float fallback) {
    return std::isfinite(value) ? value : fallback;
}

} // namespace

int FormatRecordLine(RunRecord& record, std::uint8_t mode, const FrameValues& frame,
                     const VehicleState& state, const RecordValues& values) {
    const double seconds = state.Time / 1000.0;
    const double speed = Finite(state.Speed, frame.state.Speed);
    const double current = Finite(state.Current, frame.state.Current);
    const double jerkChange = frame.acceleration - frame.previousAcceleration;
    // A line is only due in a frame of some length, so the interval is not 0 here.
    const double jerk = frame.interval != 0 ? jerkChange * 1000.0 / frame.interval : 0.0;
    const double power = current * values.lineVoltage / 1000.0; // kW
    const double bc = values.bcDisplay;
    int length = 0;
    switch (mode) {
    case 1:
        length =
            std::snprintf(record.line, sizeof record.line, kMode1Format, state.Time / 1000, speed,
                          values.powerNotch, values.brakeNotch, frame.acceleration, jerkChange);
        break;
    case 2:
        length = std::snprintf(record.line, sizeof record.line, kMode2Format, seconds, speed,
                               values.powerNotch, values.outputPower, values.brakeNotch,
                               values.outputBrake, frame.acceleration, jerk, bc, current,
                               values.lineVoltage, power);
        break;
    case 3:
        length = std::snprintf(record.line, sizeof record.line, kMode3Format, seconds, speed,
                               values.powerNotch, values.outputPower, values.brakeNotch,
                               values.outputBrake, frame.acceleration, jerk, bc, current,
                               values.lineVoltage, power, unsigned{values.plusBrakeState},
                               unsigned{values.brakeDemand}, values.plusBrakeNotch);
        break;
    default:
        record.line[0] = '\0';
        return 0;
    }
    if (length < 0) length = 0;
    // Cut short (it never is with numbers a float can hold), the line still ends its line.
    if (length >= kRecordLineSize) {
        length = kRecordLineSize - 1;
        record.line[length - 2] = '\r';
        record.line[length - 1] = '\n';
    }
    return length;
}

void RecordFrame(RunRecord& record, std::uint8_t mode, const FrameValues& frame,
                 const VehicleState& state, const RecordValues& values, const char* path) {
    mode &= 3;
    if (mode == 0) return;
    if (!CrossesBoundary(frame.clock, frame.interval, PeriodOf(mode))) {
        record.lineWritten = false;
        return;
    }
    record.lineWritten = true;
    const int length = FormatRecordLine(record, mode, frame, state, values);
    // Opened and closed for every line, so the file can be read while the train runs.
    const bool appended =
        path != nullptr && path[0] != '\0' &&
        platform::AppendToFile(path, record.line, static_cast<std::size_t>(length));
    // One box, not one per line: ten modal boxes a second would stop the simulator for good,
    // since the setting that ends them can only change once it is closed.
    if (appended) {
        record.failureShown = false;
    } else if (!record.failureShown) {
        record.failureShown = true;
        platform::ShowMessage(kRecordFailText, kRecordFailCaption);
    }
}

} // namespace velqa3
