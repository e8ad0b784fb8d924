// Numbers as the JSON texts of the telemetry may carry them. JSON has no literal for a value
// that is not a number, and the C formatter would print "nan" or "inf", which no receiver can
// parse; so those values are replaced before they are formatted, and in the same way in every
// message:
//   NaN        -> 0
//   +/-inf     -> +/- the largest finite float32 (the %.1f text of that stays a valid number
//                 of 41 characters, so every message keeps within its buffer)
//   finite values beyond the float32 range saturate the same way.
// The integer members take the truncated value, saturated to the 32-bit range.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>

namespace velqa3 {

inline double JsonNumber(double value) {
    if (std::isnan(value)) return 0.0;
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return value;
}

inline std::int32_t JsonInteger(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

} // namespace velqa3
