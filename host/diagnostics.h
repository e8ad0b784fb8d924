// What the plug-in decides that no host record carries: the TASC count-down, the automatic
// brake reasons, the line voltage and the brake-cylinder gauge. Only the stand-in host asks for
// it, through an entry point the shipping library leaves out; the simulator never sees it.
#pragma once

#include "host/host.h"

#include <cstdint>

namespace velqa3 {

// Raised whenever a field is added, moved or changes meaning, so that a host built against
// another layout is refused instead of reading the wrong bytes.
inline constexpr std::uint32_t kDiagnosticsVersion = 3;

namespace DiagnosticsBits {
inline constexpr std::uint32_t HasState = 0x01; // loaded and not yet disposed
inline constexpr std::uint32_t TascTargetSet = 0x02;
inline constexpr std::uint32_t TascBraking = 0x04;
inline constexpr std::uint32_t CabSignalMode = 0x08; // the signal speed check runs, not the ATS
inline constexpr std::uint32_t TascOn = 0x10;        // TASC fitted and switched on
// Set by the host before the call: fill the remap tables too. They never change after Load, and
// copying them every frame would cost the host's frame more than the rest of the record.
inline constexpr std::uint32_t RemapWanted = 0x80;
} // namespace DiagnosticsBits

// Plain fixed layout; the host fills size and version before the call.
struct Diagnostics {
    std::uint32_t size;
    std::uint32_t version;
    std::uint32_t flags;         // DiagnosticsBits; the rest is zero without HasState
    float tascDistance;          // m to the stop point; negative once overrun
    std::int32_t tascStep;       // 0 while TASC does not brake
    std::int32_t lineVoltage;    // V at the pantograph
    float bcDisplay;             // kPa on the cab gauge
    std::uint8_t brakeDemand;    // BrakeDemandBits
    std::uint8_t ptService;      // 1 while the pattern protection's service brake holds
    std::uint8_t protectionMode; // atsMode: which protection runs, in which variant (host/mode.h)
    std::uint8_t reserved;
    float ptStopDistance;        // m to the pattern's stop point; 10000 and above: none ahead
    float ptLimitDistance;       // m to the start of the next speed limit
    float ptLimitSpeed;          // km/h of that limit; 999.9 and above: none
    std::int32_t ptReleaseSpeed; // km/h below which the service brake lets go
    // Where each logical slot lands in the host's arrays ([PANELOUTPUT], [SOUNDOUTPUT]); filled
    // only when the host asked with RemapWanted, else left as the host gave them.
    std::uint8_t panelRemap[256];
    std::uint8_t soundRemap[256];
};

static_assert(sizeof(Diagnostics) == 560);

// A record as a host of this layout hands it over, and as the plug-in reports no state.
inline Diagnostics BlankDiagnostics() {
    Diagnostics d{};
    d.size = sizeof(Diagnostics);
    d.version = kDiagnosticsVersion;
    return d;
}

// Results of the entry point.
inline constexpr std::int32_t kDiagnosticsFilled = 1;   // the plug-in's state of this moment
inline constexpr std::int32_t kDiagnosticsNoState = 0;  // before Load or after Dispose: zeros
inline constexpr std::int32_t kDiagnosticsRefused = -1; // size or version differ: untouched

using GetDiagnosticsFn = std::int32_t(VELQA3_CALL*)(Diagnostics*);
// The stand-in host's calendar (seconds since 1970) for the plug-in's seeding, in place of the
// system's, so that a scenario runs alike every time and on every build.
using SetCalendarTimeFn = void(VELQA3_CALL*)(std::int64_t);

} // namespace velqa3
