// Bytes that came from a file, a file name, a datagram or a command line, made safe to print on
// a terminal. Every program that prints such bytes goes through here, so that no settings file,
// scenario or datagram can move the cursor, clear the screen, set the window title or write the
// clipboard of whoever looks at it.
#pragma once

#include <cstddef>
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

} // namespace velqa3::text
