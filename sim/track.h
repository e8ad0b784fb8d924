// The route while the train runs on it: which beacons a move passes, which gradient lies under
// the train, and the aspects of the signals as they change.
#pragma once

#include "host/host.h"
#include "sim/scenario.h"

#include <vector>

namespace velqa3::sim {

class Track {
  public:
    explicit Track(const Route& route);

    double GradientAt(double location) const;

    // Beacons whose position a move from one location to another passes (a position equal to
    // the end counts, one equal to the start does not), in the order the train meets them.
    // Writes indices into out, which is cleared first.
    void BeaconsPassed(double from, double to, std::vector<int>& out) const;
    // What the host hands the plug-in for a beacon: its signal's aspect and distance.
    BeaconData Data(int beacon) const;
    const Beacon& beacon(int index) const { return route_.beacons[index]; }

    // Applies the changes due at elapsed time s and for a move between two locations; returns
    // the indices of signals whose aspect changed (into out, cleared first).
    void AdvanceSignals(double seconds, double from, double to, std::vector<int>& out);
    // The first signal beyond a location, -1 when there is none.
    int SignalAhead(double location) const;
    std::int32_t Aspect(int signal) const { return aspects_[signal]; }
    const Signal& signal(int index) const { return route_.signals[index]; }
    // Every signal back to its first aspect, each change to happen again.
    void Restart();

  private:
    int SignalFor(const Beacon& beacon) const;

    const Route& route_;
    std::vector<std::int32_t> aspects_;
    std::vector<std::vector<bool>> done_; // per signal, per change: already applied
};

} // namespace velqa3::sim
