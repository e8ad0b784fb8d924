// Text-to-number conversions as the 32-bit Windows plug-in performs them, on every build.
#pragma once

#include <cstdint>

namespace velqa3 {

// Base-0 string-to-long of a runtime whose long is 32 bits: leading blanks, an optional sign,
// then decimal, 0x-hexadecimal or 0-octal digits up to the first that does not fit; no digits
// give 0, and values beyond the int32 range saturate at its ends.
std::int32_t ParseLong(const char* text);

// How much of a text a conversion took, for the settings checker: where the number ended (the
// text itself when there was none), and whether the value was replaced because it did not fit.
struct NumberScan {
    const char* end = nullptr;
    bool number = false;   // at least one digit was read
    bool replaced = false; // saturated (integers) or not finite (floats)
};

std::int32_t ParseLong(const char* text, NumberScan& scan);

// Standard string-to-float. A result that is not finite (an overflowing exponent, "inf",
// "nan") reads as 0, as a value that is no number does: no setting has a use for it.
float ParseFloat(const char* text);
float ParseFloat(const char* text, NumberScan& scan);

} // namespace velqa3
