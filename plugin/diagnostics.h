// The plug-in's state as the stand-in host's diagnostics entry point hands it out.
#pragma once

#include "host/diagnostics.h"
#include "plugin/plugin.h"

#include <cstdint>

namespace velqa3 {

// Fills out from the plug-in's state, reading only; kDiagnosticsRefused (out untouched) when the
// caller's size or version is not this library's.
std::int32_t ReadDiagnostics(const Plugin& plugin, Diagnostics& out);

} // namespace velqa3
