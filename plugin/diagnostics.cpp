#include "plugin/diagnostics.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace velqa3 {

std::int32_t ReadDiagnostics(const Plugin& plugin, Diagnostics& out) {
    if (out.size != sizeof(Diagnostics) || out.version != kDiagnosticsVersion)
        return kDiagnosticsRefused;
    const bool remap = (out.flags & DiagnosticsBits::RemapWanted) != 0;
    std::memset(&out, 0, offsetof(Diagnostics, panelRemap));
    out.size = sizeof(Diagnostics);
    out.version = kDiagnosticsVersion;
    if (!plugin.loaded) return kDiagnosticsNoState;
    const TascState& tasc = plugin.aids.tasc;
    out.flags = DiagnosticsBits::HasState | (tasc.targetSet ? DiagnosticsBits::TascTargetSet : 0u) |
                (tasc.braking ? DiagnosticsBits::TascBraking : 0u) |
                (plugin.protection.mode.cabSignalMode != 0 ? DiagnosticsBits::CabSignalMode : 0u) |
                (tasc.installed && tasc.switchedOn ? DiagnosticsBits::TascOn : 0u);
    out.protectionMode = plugin.protection.mode.atsMode;
    out.tascDistance = tasc.stopDistance;
    out.tascStep = tasc.step;
    out.lineVoltage = plugin.aids.voltage.lineVoltage;
    out.bcDisplay = plugin.aids.brakeCylinder.bcDisplay;
    out.brakeDemand = plugin.aids.supervision.brakeDemand;
    const PTC& ptc = plugin.protection.ptc;
    out.ptService = ptc.serviceLatch;
    out.ptStopDistance = ptc.sigDis;
    out.ptLimitDistance = ptc.limDis;
    out.ptLimitSpeed = ptc.limSpd;
    out.ptReleaseSpeed = ptc.releaseSpd;
    if (remap) {
        std::copy_n(plugin.remap.panel, 256, out.panelRemap);
        std::copy_n(plugin.remap.sound, 256, out.soundRemap);
    }
    return kDiagnosticsFilled;
}

} // namespace velqa3
