// Bytes that came from a file, a file name, a datagram or a command line, made safe to print on
// a terminal. Every program that prints such bytes goes through here, so that no settings file,
// scenario or datagram can move the cursor, clear the screen, set the window title or write the
// clipboard of whoever looks at it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velqa3::text {

// Printable ASCII and well-formed UTF-8 stay as they are. Everything a terminal could take as a
// command is written out instead: C0 controls, DEL, the C1 controls both as raw bytes
// (0x80-0x9F) and as UTF-8 (U+0080-U+009F), the bidirectional overrides that make a line read
// otherwise than it is stored, and any byte that is not part of well-formed UTF-8 (Shift_JIS
// text among them). A backslash is doubled, so an escape in the output always means one.
// At most maxBytes of the input are shown; a longer input ends in "...".
std::string Shown(std::string_view bytes, std::size_t maxBytes = 4096);
void AppendShown(std::string& out, std::string_view bytes, std::size_t maxBytes = 4096);

// The length of the well-formed UTF-8 sequence at the start of bytes (1 to 4) and its code
// point, or 0 when there is none there (overlong forms, surrogates and stray bytes included).
std::size_t DecodeUtf8(std::string_view bytes, std::uint32_t& cp);

// C1 controls, and the characters that make a line read otherwise than it is stored (the
// bidirectional marks and overrides, the line and paragraph separators, the byte-order mark).
bool IsHiddenControl(std::uint32_t cp);

// \uXXXX, as both a terminal line and a JSON string can carry a code point of the first plane.
void AppendCodePointEscape(std::string& out, std::uint32_t cp);

} // namespace velqa3::text
