#!/usr/bin/env python3
"""Runs a scenario with the native host and plug-in and compares the trace that the Windows
host wrote under wine with it, row by row. Every protection output (the commands returned, the
traced panel and sound entries, the plug-in's diagnostics) must be equal; so must the rest, since
both hosts compute the train with the same float rules. With --record, the plug-in's run record
of the Windows run must equal the native one byte for byte, line ends included."""
import argparse
import os
import subprocess
import sys
import tempfile

parser = argparse.ArgumentParser()
parser.add_argument("--native-build", required=True)
parser.add_argument("--scenario", required=True)
parser.add_argument("--native-plugin", default="velqa3.so",
                    help="the plug-in, relative to the native build")
parser.add_argument("--trace", required=True, help="trace.csv written by the Windows host")
parser.add_argument("--settings", help="settings file both runs give the plug-in")
parser.add_argument("--record", help="velqa3.csv the plug-in wrote in the Windows run")
parser.add_argument("--host-columns", action="store_true",
                    help="compare only what the host sees: a shipping DLL has no diagnostics, "
                         "so its trace leaves their columns empty")
args = parser.parse_args()

# What only the diagnostics entry point of a test build reports.
DIAGNOSTICS = {"tasc_distance_m", "tasc_step", "brake_demand", "brake_reasons",
               "line_voltage_v", "bc_display_kpa"}

sim = os.path.join(args.native_build, "velqa3-sim")
plugin = os.path.join(args.native_build, args.native_plugin)
for needed in (sim, plugin):
    if not os.path.isfile(needed):
        print("FAILED: %s is missing; build the native preset first "
              "(tools/test-all builds it before win64)" % needed)
        sys.exit(1)
if not os.path.isfile(args.trace):
    print("FAILED: the Windows host wrote no trace at %s" % args.trace)
    sys.exit(1)

with tempfile.TemporaryDirectory() as folder:
    out = os.path.join(folder, "run")
    command = [sim, args.scenario, "--plugin", plugin, "--out", out, "--no-plot"]
    if args.settings:
        command += ["--settings", args.settings]
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode == 2 or not os.path.isfile(os.path.join(out, "trace.csv")):
        print("FAILED: the native host could not run the scenario:\n" + run.stdout + run.stderr)
        sys.exit(1)
    with open(os.path.join(out, "trace.csv")) as f:
        native = f.read().splitlines()
    native_record = None
    if args.record:
        path = os.path.join(out, "velqa3.csv")
        if not os.path.isfile(path):
            print("FAILED: the native plug-in wrote no run record at %s" % path)
            sys.exit(1)
        with open(path, "rb") as f:
            native_record = f.read()
with open(args.trace) as f:
    windows = f.read().splitlines()

if native[:1] != windows[:1]:
    print("FAILED: the traces have different columns:\n  native:  %s\n  windows: %s"
          % (native[:1], windows[:1]))
    sys.exit(1)
header = native[0].split(",")
compared = [i for i, name in enumerate(header)
            if not (args.host_columns and name in DIAGNOSTICS)]
for number, (a, b) in enumerate(zip(native[1:], windows[1:]), start=2):
    x_cells, y_cells = a.split(","), b.split(",")
    if len(x_cells) != len(y_cells) or any(x_cells[i] != y_cells[i] for i in compared):
        diffs = ["%s native %s windows %s" % (header[i], x, y)
                 for i, (x, y) in enumerate(zip(x_cells, y_cells))
                 if i in compared and x != y]
        print("FAILED: line %d differs: %s" % (number, "; ".join(diffs) or "in its cell count"))
        sys.exit(1)
if len(native) != len(windows):
    print("FAILED: the native trace has %d rows, the Windows trace %d"
          % (len(native) - 1, len(windows) - 1))
    sys.exit(1)
print("ok: %d rows of %d columns equal in the native and the Windows trace%s"
      % (len(native) - 1, len(compared),
         " (the %d diagnostics columns left out)" % (len(header) - len(compared))
         if len(compared) < len(header) else ""))
if native_record is None:
    sys.exit(0)
if not os.path.isfile(args.record):
    print("FAILED: the Windows plug-in wrote no run record at %s" % args.record)
    sys.exit(1)
with open(args.record, "rb") as f:
    windows_record = f.read()
native_lines = native_record.split(b"\r\n")
windows_lines = windows_record.split(b"\r\n")
if len(native_lines) < 3:
    print("FAILED: the native run record has fewer than two lines: nothing to compare")
    sys.exit(1)
for number, (a, b) in enumerate(zip(native_lines, windows_lines), start=1):
    if a != b:
        print("FAILED: run record line %d differs:\n  native:  %r\n  windows: %r" % (number, a, b))
        sys.exit(1)
if native_record != windows_record:
    print("FAILED: the run records differ in length (native %d bytes in %d lines, windows %d "
          "bytes in %d lines)" % (len(native_record), len(native_lines) - 1, len(windows_record),
                                   len(windows_lines) - 1))
    sys.exit(1)
print("ok: the run records are equal, %d bytes in %d CR LF lines"
      % (len(native_record), len(native_lines) - 1))
