// The keys the plug-in polls itself: the poll decides, and what it decided for the protections
// and the doors is carried out here, where every subsystem is known.
#include "platform/platform.h"
#include "plugin/plugin.h"

namespace velqa3 {

void Plugin::PollCabKeyboard() {
    unsigned char keyboard[256];
    platform::KeyboardState(keyboard);
    ApplyCabKeyActions(PollCabKeys(cab.keys, keyboard, keys, frame, settings.horn, protection.mode,
                                   cab.inputs, aids.tasc, aids.voltage));
}

// In the order the keys are polled: a key withdrawn stops the chime before the EBNFB switch
// restarts the spot protection, and the pattern is reset before its brake is released.
void Plugin::ApplyCabKeyActions(CabKeyActions actions) {
    using namespace CabKeyActionBits;
    const std::uint16_t bits = actions.bits;
    if ((bits & StcStopChime) != 0) protection.stc.StopChime();
    if ((bits & StcRestartWithBell) != 0)
        protection.stc.Restart(false);
    else if ((bits & StcRestartSilent) != 0)
        protection.stc.Restart(true);
    if ((bits & PtcReset) != 0) protection.ptc.Reset(PtcView());
    if ((bits & PtcBell) != 0) protection.ptc.bellOut = 1;
    if ((bits & PtcReleaseLamp) != 0) protection.ptc.releaseLamp = 1;
    if ((bits & PtcReleaseBrake) != 0) protection.ptc.ReleaseBrake(PtcView());
    if ((bits & OneManDoorsOpened) != 0) DoorsOpened(false);
}

} // namespace velqa3
