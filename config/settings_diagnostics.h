// What the settings reader can tell about each line it reads, for the settings checker. The
// plug-in reads without a listener: then none of this is formed, and nothing is allocated.
#pragma once

#include <cstdarg>
#include <cstdint>

namespace velqa3 {

enum class SettingsFinding : std::uint8_t {
    Section,        // a section header opened a section; text: what entering it did, or empty
    Setting,        // a key line was taken; text: the value as stored
    Adjusted,       // the rule of the key replaced or narrowed the value; text: how
    Unchanged,      // the value was read but changes nothing; text: why
    NotANumber,     // no number where one belongs, or text glued to it; text: what was read
    IgnoredLine,    // a line inside a section that no key or table takes; text: the line
    OutsideSection, // a line read outside any section; text: the line
    HeaderInside,   // a header inside an open section, read as a line of it; text: the header
    LineSplit,      // the piece of a line longer than the buffer; text: the piece
    LineLimit,      // the reading stopped at the line limit
    TextCut,        // a text value longer than its field; text: what was kept
    Message,        // the plug-in stops for a message box here; text: what it says, in English
    Unreadable,     // the file could not be opened; text: the path
    ByteOrderMark,  // a UTF-8 byte-order mark began the file and was skipped
    Utf16,          // the file is UTF-16, of which the reader takes nothing; text: which kind
    LoneReturn,     // a carriage return without a line feed, which stays inside the line
    TextAfterEnd,   // a Ctrl-Z ended the reading before text that follows it; text: where
};

struct SettingsNote {
    SettingsFinding finding;
    int line;            // physical line of the file, from 1; 0 for the file as a whole
    const char* section; // header of the open section, or null outside one
    const char* key;     // the key or table entry the line set, or null
    const char* text;    // see SettingsFinding; never null
};

// A listener for one reading. The reader keeps the position fields up to date, so a rule that
// reports need not know where it is.
struct SettingsDiagnostics {
    void* context = nullptr;
    void (*note)(void* context, const SettingsNote& note) = nullptr;

    int line = 0;
    const char* section = nullptr;
    const char* key = nullptr;
};

// Hands one note to the listener with the current position; does nothing without one.
void NoteSetting(SettingsDiagnostics* diagnostics, SettingsFinding finding, const char* text);

// The same with printf formatting into a bounded buffer.
void NoteSettingf(SettingsDiagnostics* diagnostics, SettingsFinding finding, const char* format,
                  ...) __attribute__((format(printf, 3, 4)));
void NoteSettingv(SettingsDiagnostics* diagnostics, SettingsFinding finding, const char* format,
                  std::va_list arguments) __attribute__((format(printf, 3, 0)));

} // namespace velqa3
