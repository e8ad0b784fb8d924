#include "sim/track.h"

#include <algorithm>

namespace velqa3::sim {

namespace {

// A position is passed by a move when it lies in (from, to] going forwards or [to, from)
// going backwards: a train that stops exactly on a beacon and backs off meets it again.
bool Passes(double from, double to, double position) {
    return from < to ? from < position && position <= to : to <= position && position < from;
}

} // namespace

Track::Track(const Route& route) : route_(route) {
    for (const Signal& s : route.signals) {
        aspects_.push_back(s.aspect);
        done_.emplace_back(s.changes.size(), false);
    }
}

double Track::GradientAt(double location) const {
    const auto& grades = route_.grades;
    const auto after =
        std::upper_bound(grades.begin(), grades.end(), location,
                         [](double at, const GradientChange& change) { return at < change.from; });
    return after == grades.begin() ? 0.0 : std::prev(after)->permil;
}

void Track::BeaconsPassed(double from, double to, std::vector<int>& out) const {
    out.clear();
    if (from == to) return;
    const auto& beacons = route_.beacons;
    const double low = std::min(from, to), high = std::max(from, to);
    auto first = std::lower_bound(beacons.begin(), beacons.end(), low,
                                  [](const Beacon& b, double at) { return b.position < at; });
    for (auto it = first; it != beacons.end() && it->position <= high; ++it)
        if (Passes(from, to, it->position)) out.push_back(static_cast<int>(it - beacons.begin()));
    if (to < from) std::reverse(out.begin(), out.end());
}

int Track::SignalFor(const Beacon& beacon) const {
    return beacon.signal >= 0 ? beacon.signal : SignalAhead(beacon.position);
}

BeaconData Track::Data(int index) const {
    const Beacon& b = route_.beacons[index];
    BeaconData data{b.type, 0, 0.0f, b.optional};
    const int signal = SignalFor(b);
    if (signal >= 0) {
        data.Signal = aspects_[signal];
        data.Distance = static_cast<float>(route_.signals[signal].position - b.position);
    }
    return data;
}

void Track::AdvanceSignals(double seconds, double from, double to, std::vector<int>& out) {
    out.clear();
    for (std::size_t s = 0; s < route_.signals.size(); ++s) {
        const Signal& signal = route_.signals[s];
        for (std::size_t c = 0; c < signal.changes.size(); ++c) {
            if (done_[s][c]) continue;
            const SignalChange& change = signal.changes[c];
            bool due = false;
            switch (change.trigger) {
            case SignalChange::Trigger::Time:
                due = seconds >= change.at;
                break;
            case SignalChange::Trigger::Location:
                due = Passes(from, to, change.at);
                break;
            case SignalChange::Trigger::Passed:
                due = from < to && Passes(from, to, signal.position);
                break;
            }
            if (!due) continue;
            done_[s][c] = true;
            if (aspects_[s] != change.aspect) {
                aspects_[s] = change.aspect;
                if (std::find(out.begin(), out.end(), static_cast<int>(s)) == out.end())
                    out.push_back(static_cast<int>(s));
            }
        }
    }
}

void Track::Restart() {
    for (std::size_t s = 0; s < route_.signals.size(); ++s) {
        aspects_[s] = route_.signals[s].aspect;
        done_[s].assign(done_[s].size(), false);
    }
}

int Track::SignalAhead(double location) const {
    const auto& signals = route_.signals;
    const auto it = std::upper_bound(signals.begin(), signals.end(), location,
                                     [](double at, const Signal& s) { return at < s.position; });
    return it == signals.end() ? -1 : static_cast<int>(it - signals.begin());
}

} // namespace velqa3::sim
