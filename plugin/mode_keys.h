// The host's mode keys (7 and 8): on lines with both protections, or with the cab-signal
// speed check, they switch between what is in force.
#pragma once

#include "plugin/state.h"

namespace velqa3 {

// Key 7. trainSecured: standing, in neutral, with the emergency brake; the aspect-table line
// changes its mode only then.
void PressModeKey1(Protection& protection, const PtcFrame& frame, bool trainSecured);
// Key 8, only on lines whose code has bit 0x08.
void PressModeKey2(Protection& protection);

} // namespace velqa3
