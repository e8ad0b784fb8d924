// The train as the stand-in host moves it: the handle commands the plug-in returned act on a
// point mass through acceleration curves, a brake cylinder that fills and empties at a set
// rate, running resistance and gradient.
#pragma once

#include "host/host.h"
#include "sim/scenario.h"

namespace velqa3::sim {

class Train {
  public:
    explicit Train(const VehicleModel& model);

    // Puts the train at a place, at a speed (km/h, negative backwards), brakes as commanded.
    void Place(double location, double speed);
    // The commands the host applies until the next frame.
    void Command(const HandleOutput& output);
    void SetDoorsOpen(bool open) { doorsOpen_ = open; }
    // Advances by dt seconds on a gradient (per mille, uphill towards increasing location).
    void Step(double dt, double permil);

    VehicleState State(std::int32_t time) const;
    double location() const { return location_; }
    double speed() const { return speed_; }
    bool constantSpeed() const { return constantSpeed_; }
    int emergencyNotch() const { return model_.spec.BrakeNotches + 1; }

    // Steady deceleration (km/h/s) that a brake-cylinder pressure gives.
    double BrakeDeceleration(double bc) const;
    // Acceleration (km/h/s) of a power notch at a speed.
    double PowerAcceleration(int notch, double speed) const;

  private:
    double TargetPressure() const;

    const VehicleModel& model_;
    double location_ = 0.0;
    double speed_ = 0.0; // km/h
    double bc_ = 0.0;
    double mr_ = 0.0;
    double current_ = 0.0;
    bool compressorOn_ = false;
    bool doorsOpen_ = false;
    int brake_ = 0, power_ = 0, reverser_ = 0;
    bool constantSpeed_ = false;
    double heldSpeed_ = 0.0;
};

} // namespace velqa3::sim
