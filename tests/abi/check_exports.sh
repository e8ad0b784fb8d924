#!/usr/bin/env bash
# The native library exports the host's sixteen entry points and SetKeyboardState, and
# GetDiagnostics and SetCalendarTime when built with them (second argument ON), nothing else.
set -euo pipefail
library=$1
diagnostics=${2:-OFF}
expected="Dispose DoorClose DoorOpen Elapse GetPluginVersion HornBlow Initialize KeyDown KeyUp Load SetBeaconData SetBrake SetKeyboardState SetPower SetReverser SetSignal SetVehicleSpec"
if [ "$diagnostics" = ON ]; then
  expected="Dispose DoorClose DoorOpen Elapse GetDiagnostics GetPluginVersion HornBlow Initialize KeyDown KeyUp Load SetBeaconData SetBrake SetCalendarTime SetKeyboardState SetPower SetReverser SetSignal SetVehicleSpec"
fi
actual=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TtWDdBb]$/ {print $3}' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
  echo "exports differ"
  echo "expected: $expected"
  echo "actual:   $actual"
  exit 1
fi
echo "exports: $actual"
