#!/usr/bin/env python3
"""Runs a scenario with a Windows velqa3-sim.exe and a Windows plug-in under wine, and compares
its trace with the native build's run of the same scenario (compare_traces.py). A machine that
cannot execute the Windows code (no wine, or a 32-bit wine missing) is said to be so, loudly,
and the test is reported as not run (exit 77), never as passed.

A shipping DLL takes the calendar for its line-voltage wander from the wall clock (only the test
builds let the host set it), so two runs of it wander differently. With --steady-line both runs
get the scenario with one more pair of beacons around the start: type 56 with an Optional of 0,
which narrows the wander to nothing, so the line stands at its nominal voltage from the first
metre on and every other output can be compared exactly."""
import argparse
import os
import subprocess
import sys
import tempfile
import tomllib

NOT_RUN = 77

parser = argparse.ArgumentParser()
parser.add_argument("--wine", required=True)
parser.add_argument("--sim", required=True, help="the Windows velqa3-sim.exe")
parser.add_argument("--plugin", required=True, help="the Windows velqa3.dll")
parser.add_argument("--scenario", required=True)
parser.add_argument("--native-build", required=True)
parser.add_argument("--settings")
parser.add_argument("--host-columns", action="store_true")
parser.add_argument("--steady-line", action="store_true")
args = parser.parse_args()


def steady_variant(scenario, folder):
    """The scenario with the spread-0 beacons added, its settings path made absolute."""
    with open(scenario, "rb") as f:
        parsed = tomllib.load(f)
    run = parsed.get("run", {})
    start = float(run.get("start_location", 0.0))
    with open(scenario, encoding="utf-8") as f:
        lines = f.read().splitlines()
    if "settings" in run:
        absolute = os.path.join(os.path.dirname(os.path.abspath(scenario)), run["settings"])
        table = ""
        for number, line in enumerate(lines):
            if line.strip().startswith("["):
                table = line.strip()
            elif table == "[run]" and line.split("=")[0].strip() == "settings":
                lines[number] = 'settings = "%s"' % absolute.replace("\\", "/")
    for position in (start + 0.001, start - 0.001):
        lines += ["", "[[beacon]]", "position = %r" % position, "type = 56", "optional = 0"]
    variant = os.path.join(folder, os.path.basename(scenario))
    with open(variant, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    return variant


def not_run(why):
    print("NOT RUN: %s: this machine cannot execute this Windows build (%s). tools/install-deps "
          "installs wine, and for 32-bit code wine32 with the i386 architecture added." %
          (os.path.basename(args.scenario), why))
    sys.exit(NOT_RUN)


if not os.path.isfile(args.wine):
    not_run("%s is missing" % args.wine)
env = dict(os.environ, WINEDEBUG="-all")
with tempfile.TemporaryDirectory() as folder:
    if args.steady_line:
        args.scenario = steady_variant(args.scenario, folder)
    out = os.path.join(folder, "run")
    command = [args.wine, args.sim, args.scenario, "--plugin", args.plugin, "--out", out,
               "--no-plot"]
    if args.settings:
        command += ["--settings", args.settings]
    run = subprocess.run(command, capture_output=True, text=True, env=env, timeout=600)
    trace = os.path.join(out, "trace.csv")
    if not os.path.isfile(trace):
        text = run.stdout + run.stderr
        if "Bad EXE format" in text or "wine32 is missing" in text or "not supported" in text:
            not_run(text.strip().splitlines()[-1] if text.strip() else "no output")
        print("FAILED: the Windows host wrote no trace (exit %d):\n%s" % (run.returncode, text))
        sys.exit(1)
    compare = [sys.executable, os.path.join(os.path.dirname(__file__), "..", "scenarios",
                                            "compare_traces.py"),
               "--native-build", args.native_build, "--scenario", args.scenario,
               "--trace", trace]
    if args.settings:
        compare += ["--settings", args.settings]
    if args.host_columns:
        compare += ["--host-columns"]
    sys.exit(subprocess.run(compare).returncode)
