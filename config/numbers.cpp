#include "config/numbers.h"

#include "host/chars.h"

#include <cmath>
#include <cstdlib>

namespace velqa3 {

namespace {

int DigitValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

} // namespace

std::int32_t ParseLong(const char* text) {
    NumberScan scan;
    return ParseLong(text, scan);
}

std::int32_t ParseLong(const char* text, NumberScan& scan) {
    scan = NumberScan{text, false, false};
    if (text == nullptr) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (IsNumberSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';

    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }

    // Accumulate the magnitude with a ceiling just past the int32 range, so that any number
    // of digits saturates instead of overflowing.
    constexpr std::int64_t kCeiling = std::int64_t{1} << 32;
    std::int64_t magnitude = 0;
    const unsigned char* digits = p;
    for (int digit = DigitValue(*p); digit < base; digit = DigitValue(*++p)) {
        magnitude = magnitude * base + digit;
        if (magnitude > kCeiling) magnitude = kCeiling;
    }
    if (p != digits) {
        scan.number = true;
        scan.end = reinterpret_cast<const char*>(p);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    scan.replaced = value > INT32_MAX || value < INT32_MIN;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

float ParseFloat(const char* text) {
    NumberScan scan;
    return ParseFloat(text, scan);
}

float ParseFloat(const char* text, NumberScan& scan) {
    scan = NumberScan{text, false, false};
    if (text == nullptr) return 0.0f;
    char* end = nullptr;
    const float value = std::strtof(text, &end);
    scan.number = end != text;
    scan.end = end;
    scan.replaced = !std::isfinite(value);
    return scan.replaced ? 0.0f : value;
}

} // namespace velqa3
