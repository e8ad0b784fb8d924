// The few character classes the readers of text share, each written once. Plain byte tests, not
// <cctype>: those depend on the locale and take an int that must not be a negative char.
#pragma once

#include <cstring>
#include <string_view>

namespace velqa3 {

// A blank of the settings file's lines: a space or a tab.
constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A blank or a line break, as text copied from a line may still end in one.
constexpr bool IsBlankOrBreak(char c) {
    return IsBlank(c) || c == '\r' || c == '\n';
}

// The white space the C runtime skips before a number (space, \t \n \v \f \r in the C locale).
constexpr bool IsNumberSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace velqa3
