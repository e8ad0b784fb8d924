#include "vehicle/slip.h"

#include "host/brake_demand.h"
#include "vehicle/brake_reasons.h"

#include <cmath>

namespace velqa3 {

namespace {

enum class Verdict { Unchanged, Slipping, Clear };

// v the wheels' speed, u the ground speed (km/h), g the deceleration estimate (km/h/s, halved
// against noise). Above 66.7 km/h a slip must exceed a margin that grows with speed.
Verdict Judge(double v, double u, double g) {
    if (u < 66.7 && v > u + 10.0) return Verdict::Slipping;
    if (u >= 66.7 && v - u > (v - 130.0) * 0.15 + 19.5) return Verdict::Slipping;
    if (!(g < -15.0)) return Verdict::Unchanged;
    if (u < 5.0 && u - v > 3.0) return Verdict::Slipping;
    if (u > 3.0 && u - v > (v - 130.0) * 0.104 + 16.0) return Verdict::Slipping;
    return Verdict::Clear;
}

} // namespace

void RunSlipCheck(SlipCheck& check, const FrameValues& frame, std::uint8_t& brakeDemand,
                  std::uint8_t& soundRequests) {
    if (check.relocated) {
        check.relocated = false;
        return;
    }
    if (frame.interval <= 0) return;
    const double dt = frame.interval;
    // metres per ms × 3600 = km/h
    const double u = (frame.state.Location - frame.previousLocation) / dt * 3600.0;
    if (u == 0.0 || !std::isfinite(u)) return;
    const double v = frame.speed;
    const double g = (v - double{frame.previousSpeed}) / dt * 1000.0 / 2.0;
    switch (Judge(v, u, g)) {
    case Verdict::Slipping:
        RaiseAlarmedDemand(BrakeDemandBits::SlipBrake, brakeDemand, soundRequests);
        return;
    case Verdict::Clear:
        brakeDemand &= static_cast<std::uint8_t>(~BrakeDemandBits::SlipBrake);
        return;
    case Verdict::Unchanged:
        return;
    }
}

} // namespace velqa3
