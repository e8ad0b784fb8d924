// The readers of the scenario's sections, shared by the files that implement them.
#pragma once

#include "sim/scenario.h"
#include "sim/toml_fields.h"

namespace velqa3::sim {

// What a scenario may place and ask for. The picture draws every beacon and signal (gnuplot
// takes about a second per thousand beacons), and a signal's label lists its changes.
inline constexpr std::size_t kMaxSignals = 2000;
inline constexpr std::size_t kMaxSignalChanges = 64;
inline constexpr std::size_t kMaxBeacons = 5000;
inline constexpr std::size_t kMaxGradients = 5000;
inline constexpr std::size_t kMaxDriverSteps = 10000;
inline constexpr std::size_t kMaxExpectations = 1000;

void ReadVehicle(Fields& fields, VehicleModel& vehicle);
// The driver's handles as the host can move them: a reverser of -1..1, a power notch of the
// vehicle, a brake notch or "emergency".
std::int32_t ReverserOf(Fields& fields, std::string_view key);
std::int32_t PowerOf(Fields& fields, std::string_view key, const VehicleSpec& spec);
std::int32_t BrakeOf(Fields& fields, std::string_view key, const VehicleSpec& spec);
void ReadSignal(Fields& fields, Route& route);
void ReadBeacon(Fields& fields, Route& route);
void ReadGradient(Fields& fields, Route& route);
// Sorts the route by position once everything is read; beacons keep their signals.
void FinishRoute(Route& route);
DriverStep ReadDriverStep(Fields& fields, const VehicleSpec& spec);
Expectation ReadExpectation(Fields& fields, const VehicleSpec& spec);

} // namespace velqa3::sim
