#!/usr/bin/env python3
"""velqa3-sim loads the companions lying beside the plug-in, as the simulator does.

A vehicle folder gets the plug-in and the recording companions under their real names; the
sim runs a short scenario from it. With Tameo alone, the plug-in's own panel stage writes over
what Tameo wrote and the slots it leaves alone keep Tameo's value; with Norvelid too, Norvelid
writes last and its values stay everywhere. The companions' own logs show the calls they got.
"""
import argparse
import csv
import pathlib
import shutil
import subprocess
import sys
import tempfile

SCENARIO = """name = "companions"
[run]
settings = "companions.dat"
max_s = 2
[trace]
panel = [29, 150]
sound = [150]
"""


def run(args, folder, settings):
    vehicle = folder / "vehicle"
    vehicle.mkdir()
    plugin = pathlib.Path(args.plugin)
    extension = plugin.suffix
    shutil.copy(plugin, vehicle / plugin.name)
    shutil.copy(args.partial, vehicle / ("Tameo" + extension))
    shutil.copy(args.full, vehicle / ("Norvelid" + extension))
    (folder / "companions.dat").write_text(settings)
    (folder / "companions.toml").write_text(SCENARIO)
    out = folder / "run"
    command = args.emulator + [args.sim, str(folder / "companions.toml"), "--plugin",
                               str(vehicle / plugin.name), "--out", str(out), "--no-plot"]
    done = subprocess.run(command, capture_output=True, text=True, timeout=240)
    if done.returncode != 0:
        sys.exit(f"velqa3-sim exited {done.returncode}:\n{done.stdout}{done.stderr}")
    with open(out / "trace.csv", newline="") as trace:
        last = list(csv.DictReader(trace))[-1]
    log = (out / "companions.log").read_text().splitlines()
    return last, log


def expect(what, got, wanted, failures):
    if got != wanted:
        failures.append(f"{what}: got {got!r}, wanted {wanted!r}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--emulator", default="")
    parser.add_argument("--sim", required=True)
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--full", required=True)
    parser.add_argument("--partial", required=True)
    args = parser.parse_args()
    args.emulator = args.emulator.split() if args.emulator else []
    failures = []
    with tempfile.TemporaryDirectory() as root:
        root = pathlib.Path(root)
        (root / "tameo").mkdir()
        last, log = run(args, root / "tameo", "[EXTRA]\nTameo=1\n")
        expect("Tameo alone: a slot the panel stage writes", last["panel_29"], "2", failures)
        expect("Tameo alone: a slot nothing else writes", last["panel_150"], "8", failures)
        expect("Tameo alone: a sound nothing else writes", last["sound_150"], "8", failures)
        expect("Tameo's calls", sorted({line.split()[1] for line in log}), ["Elapse"], failures)

        (root / "both").mkdir()
        last, log = run(args, root / "both", "[EXTRA]\nTameo=1\nHybrid=1\n")
        expect("with Norvelid: the panel stage's slot", last["panel_29"], "7", failures)
        expect("with Norvelid: the free slot", last["panel_150"], "7", failures)
        norvelid = [line.split()[1] for line in log if line.startswith("Norvelid")]
        expect("Norvelid's first calls", norvelid[:3], ["Load", "SetVehicleSpec", "Initialize"],
               failures)
        expect("Norvelid's frames", "Elapse" in norvelid, True, failures)
    if failures:
        sys.exit("\n".join(failures))
    print("companions beside the plug-in: loaded and called")


if __name__ == "__main__":
    main()
