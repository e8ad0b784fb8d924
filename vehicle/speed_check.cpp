#include "vehicle/speed_check.h"

namespace velqa3 {

void RunSpeedCheck(SpeedCheck& check, const FrameValues& frame, const ModeGlobals& mode) {
    using namespace SpeedCheckStates;
    std::int32_t& state = check.state;
    // A check that is not running brakes nothing and must not leave its lamps lit either.
    if (mode.cabSignalMode == 0) {
        state = Within;
        check.overLimitTime = 0;
        return;
    }
    const std::int32_t code = mode.cabSignalCode;
    if (code < 0 || code >= kSpeedCheckCodes) return;
    if (frame.speed > static_cast<float>(check.limit[code])) {
        const std::int64_t grown = std::int64_t{check.overLimitTime} + frame.interval;
        check.overLimitTime = grown > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(grown);
        // Code 0 forbids running at all. Elsewhere full service stops the overspeed quickly,
        // for the whole first second; after it the reduced notch lets the train settle under
        // the limit.
        if (code == 0)
            state = Emergency;
        else
            state = check.overLimitTime <= kFullServiceTime ? FullService : Reduced;
    } else {
        state = Within;
        check.overLimitTime = 0;
    }
    const bool braking = state > Within;
    if (code != check.previousCode || braking != check.previousBraking) check.bell = kSoundPlayOnce;
    check.previousCode = code;
    check.previousBraking = braking;
}

void FillSpeedCheckLimits(SpeedCheck& check) {
    constexpr std::int32_t kLow[8] = {-5, 0, 25, 40, 55, 65, 75, -5};
    for (int i = 0; i < 8; ++i)
        check.limit[i] = kLow[i];
    for (int i = 8; i < kSpeedCheckCodes; ++i)
        check.limit[i] = 40 + 5 * i;
}

} // namespace velqa3
