#include "sim/idle_beacons.h"

#include "host/mode.h"

#include <cstdio>

namespace velqa3::sim {

namespace {

std::string ModeWords(std::uint8_t atsMode) {
    const char* name = ModeName(atsMode);
    char text[64];
    std::snprintf(text, sizeof text, "protection mode %u (0x%02X%s%s)", unsigned{atsMode},
                  unsigned{atsMode}, name != nullptr ? ", " : "", name != nullptr ? name : "");
    return text;
}

// The beacons that give the pattern protection a stop point or a speed limit to brake for.
bool IsPatternTarget(std::int32_t type) {
    return type == 22 || type == 60 || type == 62 || type == 64 || type == 70 ||
           (type >= 205 && type <= 207);
}

} // namespace

std::string IdleBeaconReason(const BeaconData& beacon, const Diagnostics& after, double speed) {
    if ((after.flags & DiagnosticsBits::HasState) == 0) return {};
    const std::int32_t type = beacon.Type;
    const std::uint8_t mode = after.protectionMode;
    const bool cabSignal = (after.flags & DiagnosticsBits::CabSignalMode) != 0;
    if (IsPatternTarget(type) && !ModeEnforcesSpeedLimits(mode))
        return "it shows on the panel, but " + ModeWords(mode) +
               " has no pattern checker, so nothing brakes for it";
    const bool spot = type == 0 || type == 1 || type == 10 || type == 11;
    if (spot && (cabSignal || (mode & AtsModeBits::Spot) == 0))
        return cabSignal ? std::string("the signal speed check runs instead of the ATS")
                         : "the spot protection does not run in " + ModeWords(mode);
    const bool pair = type == 12 || type == 13;
    if (pair && (cabSignal || (mode & AtsModeBits::SpotTypes12And13) == 0))
        return cabSignal
                   ? std::string("the signal speed check runs instead of the ATS")
                   : "the spot beacons of types 12 and 13 are not taken in " + ModeWords(mode);
    if (type == 120 || type == 121) {
        if ((after.flags & DiagnosticsBits::TascOn) == 0)
            return "TASC is not fitted or not switched on";
        if (!(speed > 0.0)) return "TASC takes a stop distance only from a moving train";
    }
    return {};
}

} // namespace velqa3::sim
