#include "plugin/diagnostics.h"

namespace velqa3 {

std::int32_t ReadDiagnostics(const Plugin& plugin, Diagnostics& out) {
    if (out.size != sizeof(Diagnostics) || out.version != kDiagnosticsVersion)
        return kDiagnosticsRefused;
    out = BlankDiagnostics();
    if (!plugin.loaded) return kDiagnosticsNoState;
    const TascState& tasc = plugin.aids.tasc;
    out.flags = DiagnosticsBits::HasState | (tasc.targetSet ? DiagnosticsBits::TascTargetSet : 0u) |
                (tasc.braking ? DiagnosticsBits::TascBraking : 0u);
    out.tascDistance = tasc.stopDistance;
    out.tascStep = tasc.step;
    out.lineVoltage = plugin.aids.voltage.lineVoltage;
    out.bcDisplay = plugin.aids.brakeCylinder.bcDisplay;
    out.brakeDemand = plugin.aids.supervision.brakeDemand;
    return kDiagnosticsFilled;
}

} // namespace velqa3
