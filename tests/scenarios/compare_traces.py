#!/usr/bin/env python3
"""Runs a scenario with the native host and plug-in and compares the trace that the Windows
host wrote under wine with it, row by row. Every protection output (the commands returned, the
traced panel and sound entries) must be equal; so must the rest, since both hosts compute the
train with the same float rules."""
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
args = parser.parse_args()

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
    run = subprocess.run([sim, args.scenario, "--plugin", plugin, "--out", out, "--no-plot"],
                         capture_output=True, text=True)
    if run.returncode == 2 or not os.path.isfile(os.path.join(out, "trace.csv")):
        print("FAILED: the native host could not run the scenario:\n" + run.stdout + run.stderr)
        sys.exit(1)
    with open(os.path.join(out, "trace.csv")) as f:
        native = f.read().splitlines()
with open(args.trace) as f:
    windows = f.read().splitlines()

if native[:1] != windows[:1]:
    print("FAILED: the traces have different columns:\n  native:  %s\n  windows: %s"
          % (native[:1], windows[:1]))
    sys.exit(1)
header = native[0].split(",")
for number, (a, b) in enumerate(zip(native[1:], windows[1:]), start=2):
    if a != b:
        diffs = ["%s native %s windows %s" % (name, x, y)
                 for name, x, y in zip(header, a.split(","), b.split(",")) if x != y]
        print("FAILED: line %d differs: %s" % (number, "; ".join(diffs)))
        sys.exit(1)
if len(native) != len(windows):
    print("FAILED: the native trace has %d rows, the Windows trace %d"
          % (len(native) - 1, len(windows) - 1))
    sys.exit(1)
print("ok: %d rows of %d columns equal in the native and the Windows trace"
      % (len(native) - 1, len(header)))
