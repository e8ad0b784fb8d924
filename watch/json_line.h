// The line velqa3-watch --json prints for one datagram. Every line is one JSON document, whatever
// arrived, and safe to print on a terminal:
//  - a datagram whose text is JSON in well-formed UTF-8 comes out as it was sent, with line
//    breaks and tabs between tokens turned into blanks, and DEL, the C1 controls and the
//    characters that reorder a line written as \u escapes inside its strings (the same value
//    to any JSON reader);
//  - anything else comes out as {"Repaired":true, "Reason":"not UTF-8", "not JSON" or "number
//    out of range" (beyond a double, which most readers refuse), "Length":bytes, "Text":"..."},
//    Text being the text as velqa3 shows outside text (a byte
//    that is no UTF-8 as \xHH, a control as \uXXXX or \t \n \r, a backslash doubled).
// The text of a datagram is what comes before its first zero byte: the plug-in ends each one so.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velqa3::watch {

// The largest payload of one UDP datagram over IPv4.
inline constexpr std::size_t kMaxDatagram = 65507;

// The text of a datagram: up to its first zero byte.
std::string_view DatagramText(const char* data, std::size_t length);

// Appends the line (with its line feed) for one datagram's text to out; false when the text had
// to be repaired.
bool AppendJsonLine(std::string& out, std::string_view text);

} // namespace velqa3::watch
