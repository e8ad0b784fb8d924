// The readers of the scenario's sections, shared by the files that implement them.
#pragma once

#include "sim/scenario.h"
#include "sim/toml_fields.h"

namespace velqa3::sim {

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
