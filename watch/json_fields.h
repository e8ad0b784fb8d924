// The members of a telemetry datagram, read by a small JSON reader: numbers and booleans are
// kept under their dotted path ("Sig.PtnSpd"), everything else is checked and passed over.
#pragma once

#include <cstddef>

namespace velqa3::watch {

inline constexpr std::size_t kMaxFields = 64;
inline constexpr std::size_t kMaxPath = 48;

struct JsonField {
    char path[kMaxPath];
    double value;
};

struct JsonFields {
    JsonField field[kMaxFields];
    std::size_t count = 0;
    char first[kMaxPath] = {}; // name of the first member: tells the two messages apart
};

// Reads text (length bytes, no terminator needed). False when it is not one JSON object with
// nothing but blanks after it, or nests deeper than the reader follows; out is then partial.
bool ReadJsonFields(const char* text, std::size_t length, JsonFields& out);

// The value under path, or fallback when the message has none.
double FieldOr(const JsonFields& fields, const char* path, double fallback);
bool HasField(const JsonFields& fields, const char* path);

} // namespace velqa3::watch
