// An oracle for the programs' output, written apart from the code that escapes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velqa3::test {

// Whether a terminal could take no byte of the text as a command: well-formed UTF-8 whose
// characters are all printable but the line feed (no C0 control, no DEL, no C1 control, as a
// raw byte or as UTF-8).
inline bool SafeOnATerminal(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\n') || c == 0x7F) return false;
            ++i;
            continue;
        }
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (c < 0xC2 || c > 0xF4 || i + length > text.size()) return false;
        std::uint32_t cp = c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp <= 0x9F) return false; // C1
        i += length;
    }
    return true;
}

} // namespace velqa3::test
