#include "sim/train.h"

#include <algorithm>
#include <cmath>

namespace velqa3::sim {

namespace {

// km/h/s of acceleration along a 1 per mille grade.
constexpr double kGradeAcceleration = 9.80665 * 3.6 / 1000.0;
constexpr double kBrakePipeCharged = 490.0; // kPa
constexpr double kTopSpeed = 1000.0;        // km/h

double Interpolate(const std::vector<CurvePoint>& curve, double speed) {
    if (speed <= curve.front().speed) return curve.front().acceleration;
    for (std::size_t i = 1; i < curve.size(); ++i) {
        if (speed <= curve[i].speed) {
            const CurvePoint& a = curve[i - 1];
            const CurvePoint& b = curve[i];
            return a.acceleration +
                   (b.acceleration - a.acceleration) * (speed - a.speed) / (b.speed - a.speed);
        }
    }
    return curve.back().acceleration;
}

double Towards(double value, double target, double step) {
    return value < target ? std::min(target, value + step) : std::max(target, value - step);
}

} // namespace

Train::Train(const VehicleModel& model) : model_(model), mr_(model.mrMax) {}

void Train::Place(double location, double speed) {
    location_ = location;
    speed_ = speed;
    constantSpeed_ = false;
}

void Train::Command(const HandleOutput& output) {
    // The host keeps every command within the handle's travel, whatever the plug-in returns.
    brake_ = std::clamp(output.Brake, 0, emergencyNotch());
    power_ = std::clamp(output.Power, 0, model_.spec.PowerNotches);
    reverser_ = std::clamp(output.Reverser, -1, 1);
    if (output.ConstantSpeed == 1 && !constantSpeed_) {
        constantSpeed_ = true;
        heldSpeed_ = std::fabs(speed_);
    } else if (output.ConstantSpeed == 2) {
        constantSpeed_ = false;
    }
}

double Train::PowerAcceleration(int notch, double speed) const {
    if (notch <= 0) return 0.0;
    const int index = std::min(notch, model_.spec.PowerNotches) - 1;
    return Interpolate(model_.powerCurves[static_cast<std::size_t>(index)], std::fabs(speed));
}

double Train::BrakeDeceleration(double bc) const {
    // Piecewise linear through (0, 0), each service notch and the emergency position.
    double lowBc = 0.0, lowDecel = 0.0;
    const std::size_t notches = model_.bcPressure.size();
    for (std::size_t i = 0; i <= notches; ++i) {
        const double highBc = i < notches ? model_.bcPressure[i] : model_.emergencyBcPressure;
        const double highDecel =
            i < notches ? model_.brakeDeceleration[i] : model_.emergencyDeceleration;
        if (bc <= highBc)
            return lowDecel + (highDecel - lowDecel) * (bc - lowBc) / (highBc - lowBc);
        lowBc = highBc;
        lowDecel = highDecel;
    }
    return model_.emergencyDeceleration;
}

double Train::TargetPressure() const {
    if (brake_ <= 0) return 0.0;
    if (brake_ >= emergencyNotch()) return model_.emergencyBcPressure;
    return model_.bcPressure[static_cast<std::size_t>(brake_ - 1)];
}

void Train::Step(double dt, double permil) {
    if (!(dt > 0.0)) return;
    const double before = bc_;
    const double target = TargetPressure();
    bc_ = Towards(bc_, target, (target > bc_ ? model_.bcApplyRate : model_.bcReleaseRate) * dt);
    if (bc_ > before) mr_ -= model_.airUse * (bc_ - before);
    if (mr_ < model_.mrMin) compressorOn_ = true;
    if (mr_ >= model_.mrMax) compressorOn_ = false;
    if (compressorOn_) mr_ = std::min(model_.mrMax, mr_ + model_.compressorRate * dt);

    const double v = std::fabs(speed_);
    const double resistance =
        model_.resistance[0] + model_.resistance[1] * v + model_.resistance[2] * v * v;
    const double grade = -kGradeAcceleration * permil; // along increasing location
    const int power = doorsOpen_ || reverser_ == 0 ? 0 : power_;
    double traction = PowerAcceleration(power, speed_);
    if (constantSpeed_ && power > 0 && v >= heldSpeed_) {
        // Hold the speed: only as much traction as resistance and an upward grade take away.
        const double uphill = std::max(0.0, -grade * reverser_);
        traction = std::min(traction, resistance + uphill);
    }
    const bool electric = brake_ > 0 && brake_ < emergencyNotch() && v >= model_.regenMinSpeed;
    current_ = electric ? -model_.regenCurrentPerNotch * brake_ : model_.currentPerNotch * power;

    // Traction and gravity push; brakes and resistance only ever slow the train, down to rest.
    const double previous = speed_;
    double pushed = speed_ + (traction * reverser_ + grade) * dt;
    const double friction = (BrakeDeceleration(bc_) + resistance) * dt;
    if (pushed > friction)
        pushed -= friction;
    else if (pushed < -friction)
        pushed += friction;
    else
        pushed = 0.0;
    // A runaway on a steep grade stops gaining here; the host's speed is a float.
    speed_ = std::clamp(pushed, -kTopSpeed, kTopSpeed);
    location_ += (previous + speed_) / 2.0 / 3.6 * dt;
}

VehicleState Train::State(std::int32_t time) const {
    VehicleState state{};
    state.Location = location_;
    state.Speed = static_cast<float>(speed_);
    state.Time = time;
    state.BcPressure = static_cast<float>(bc_);
    state.MrPressure = static_cast<float>(mr_);
    const double pipe = std::max(0.0, kBrakePipeCharged * (1.0 - bc_ / model_.emergencyBcPressure));
    state.ErPressure = static_cast<float>(pipe);
    state.BpPressure = static_cast<float>(pipe);
    state.SapPressure = static_cast<float>(bc_);
    state.Current = static_cast<float>(current_);
    return state;
}

} // namespace velqa3::sim
