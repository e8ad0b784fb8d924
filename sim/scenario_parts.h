// The readers of the scenario's sections, shared by the files that implement them.
#pragma once

#include "sim/scenario.h"
#include "sim/toml_fields.h"

namespace velqa3::sim {

void ReadVehicle(Fields& fields, VehicleModel& vehicle);
void ReadSignal(Fields& fields, Route& route);
void ReadBeacon(Fields& fields, Route& route);
void ReadGradient(Fields& fields, Route& route);
// Sorts the route by position once everything is read; beacons keep their signals.
void FinishRoute(Route& route);
DriverStep ReadDriverStep(Fields& fields, const VehicleSpec& spec);
Expectation ReadExpectation(Fields& fields, const VehicleSpec& spec);

} // namespace velqa3::sim
