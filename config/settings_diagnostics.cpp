#include "config/settings_diagnostics.h"

#include <cstdarg>
#include <cstdio>

namespace velqa3 {

void NoteSetting(SettingsDiagnostics* diagnostics, SettingsFinding finding, const char* text) {
    if (diagnostics == nullptr || diagnostics->note == nullptr) return;
    const SettingsNote note{finding, diagnostics->line, diagnostics->section, diagnostics->key,
                            text != nullptr ? text : ""};
    diagnostics->note(diagnostics->context, note);
}

void NoteSettingv(SettingsDiagnostics* diagnostics, SettingsFinding finding, const char* format,
                  std::va_list arguments) {
    if (diagnostics == nullptr || diagnostics->note == nullptr) return;
    // Long enough for a 255-character line and a sentence around it; longer is cut.
    char text[400];
    std::vsnprintf(text, sizeof text, format, arguments);
    NoteSetting(diagnostics, finding, text);
}

void NoteSettingf(SettingsDiagnostics* diagnostics, SettingsFinding finding, const char* format,
                  ...) {
    std::va_list arguments;
    va_start(arguments, format);
    NoteSettingv(diagnostics, finding, format, arguments);
    va_end(arguments);
}

} // namespace velqa3
