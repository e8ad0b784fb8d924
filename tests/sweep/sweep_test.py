#!/usr/bin/env python3
"""velqa3-sim's sweep as a route author runs it: the worked example passes every case; a stop
beacon moved past the signal fails its case, which the summary names and whose run folder stays;
a plug-in that crashes in one case leaves the others to finish; a value that makes a case invalid
is refused before anything runs. With --emulator the Windows program runs under wine."""
import argparse
import csv
import os
import pty
import signal
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

failures = []


def check(what, condition, detail=""):
    print(("ok: " if condition else "FAILED: ") + what)
    if not condition:
        failures.append(what)
        if detail:
            print("    " + str(detail)[-3000:])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim", required=True)
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--probe")
    parser.add_argument("--examples", required=True)
    parser.add_argument("--emulator", default="")
    args = parser.parse_args()
    base = [args.emulator] if args.emulator else []
    examples = Path(args.examples)

    def sweep(scenario, out, *extra, env=None):
        command = base + [args.sim, str(scenario), "--plugin", args.plugin, "--out", str(out),
                          "--jobs", "2", *extra]
        done = subprocess.run(command, capture_output=True, text=True, timeout=600,
                              env=dict(os.environ, WINEDEBUG="-all", **(env or {})))
        return done.returncode, done.stdout, done.stderr

    def rows(out):
        with open(out / "sweep.csv", newline="") as table:
            return list(csv.DictReader(table))

    with tempfile.TemporaryDirectory() as folder:
        folder = Path(folder)
        # The scenario and the settings it names, in a folder of their own as an author has them.
        shutil.copy(examples / "sweep.toml", folder / "sweep.toml")
        shutil.copy(examples / "demo.dat", folder / "demo.dat")

        # The worked example: its [sweep] table, 22 cases, every one stopped before B home.
        out = folder / "example"
        code, said, err = sweep(folder / "sweep.toml", out)
        check("example: every case met its expectations (exit 0)", code == 0, said + err)
        table = rows(out) if (out / "sweep.csv").exists() else []
        check("example: a row for each of the 22 cases, all met",
              len(table) == 22 and all(r["result"] == "met" for r in table), table[:3])
        check("example: each case stood before the signal at 1000 m",
              all(r["first_stand_m"] and float(r["first_stand_m"]) < 1000 for r in table))
        check("example: the entry speeds 20 to 120 km/h, each with both drivers",
              sorted({r["driver[1].initialize.speed"] for r in table}, key=float) ==
              [str(v) for v in range(20, 130, 10)]
              and {r["driver[2].at_location"] for r in table} == {"950", "2950"})
        check("example: the summary names the closest case and its margin",
              "closest: case " in said and "stops_before held by" in said, said)
        check("example: passing cases keep no run folder",
              not any(p.name.startswith("case-") for p in out.iterdir()), list(out.iterdir()))

        # A planted overrun: the second pattern beacon moved past the signal, the first swept
        # from its place (it protects) to beyond the signal too (nothing protects).
        text = (folder / "sweep.toml").read_text()
        text = text.replace("position = 600\n", "position = 1040\n")
        (folder / "planted.toml").write_text(text)
        out = folder / "planted"
        code, said, err = sweep(folder / "planted.toml", out, "--vary",
                                "beacon[3].position=300:1020:720", "--vary",
                                "driver[1].initialize.speed=80")
        check("overrun: a case failed (exit 1)", code == 1, said + err)
        check("overrun: the summary names the failing case and by how much it missed",
              "worst: case 2 (beacon[3].position=1020, driver[1].initialize.speed=80): "
              "expect[1] stops_before missed by" in said, said)
        table = rows(out) if (out / "sweep.csv").exists() else []
        check("overrun: the beacon in place stops the train, the one past the signal does not",
              [r["result"] for r in table] == ["met", "failed"], table)
        check("overrun: the failing case keeps its run folder, the passing one none",
              (out / "case-0002" / "trace.csv").exists() and (out / "case-0002" / "scenario.toml")
              .exists() and not (out / "case-0001").exists())
        check("overrun: the kept case's scenario holds the value that failed",
              "1020" in (out / "case-0002" / "scenario.toml").read_text()
              if (out / "case-0002" / "scenario.toml").exists() else False)

        # Values that make a case invalid: refused with the key and the value, nothing made.
        for vary, words in [("signal[2].aspect=0:1:0.5", "signal[2].aspect=0.5"),
                            ("driver[9].at_s=1:2:1", "has 3 driver entries"),
                            ("beacon[1].type.x=1:2:1", "beacon[1].type is not a table"),
                            ("run.max_s=100:900000:899900", "run.max_s=900000"),
                            ("run.max_s=1:2", "STEP")]:
            out = folder / "refused"
            code, said, err = sweep(folder / "sweep.toml", out, "--vary", vary)
            check(f"refused: {vary} (exit 2, named, nothing made)",
                  code == 2 and words in err and not out.exists(), said + err)

        # A plug-in that crashes in one case: that case says so, the others finish.
        if args.probe:
            (folder / "short.toml").write_text(
                'name = "short"\n[run]\ninterval_ms = 100\nmax_s = 5\n')
            out = folder / "crash"
            command = base + [args.sim, str(folder / "short.toml"), "--plugin", args.probe,
                              "--out", str(out), "--vary", "run.max_s=5:25:10", "--no-plot"]
            done = subprocess.run(command, capture_output=True, text=True, timeout=600,
                                  env=dict(os.environ, VELQA3_PROBE_FAULT="crash:10000"))
            table = rows(out) if (out / "sweep.csv").exists() else []
            check("crash: the sweep reports a failure (exit 1)", done.returncode == 1,
                  done.stdout + done.stderr)
            check("crash: the case before the fault met, the two past it crashed",
                  [r["result"] for r in table] == ["met", "crashed", "crashed"], table)
            check("crash: the summary says how the case ended",
                  "CRASHED case 2 (run.max_s=15): " in done.stdout and "SIGSEGV" in done.stdout,
                  done.stdout)
            check("crash: the crashed case keeps what it printed",
                  "SIGSEGV" in (out / "case-0002" / "output.txt").read_text()
                  if (out / "case-0002" / "output.txt").exists() else False)

        if not args.emulator:
            # Ctrl-C: the cases under way finish, no more start, and the record says which ran.
            out = folder / "interrupted"
            command = [args.sim, str(folder / "sweep.toml"), "--plugin", args.plugin, "--out",
                       str(out), "--no-plot", "--jobs", "1", "--keep-all", "--vary",
                       "driver[1].initialize.speed=20:120:0.1"]
            sweep_process = subprocess.Popen(command, stdout=subprocess.PIPE,
                                             stderr=subprocess.PIPE, text=True)
            # Once the second case has run (its folder kept), the sweep is under way.
            for _ in range(600):
                if (out / "case-0002").exists() or sweep_process.poll() is not None:
                    break
                time.sleep(0.1)
            sweep_process.send_signal(signal.SIGINT)
            said, err = sweep_process.communicate(timeout=120)
            table = rows(out) if (out / "sweep.csv").exists() else []
            ran = [r for r in table if r["result"] != "not run"]
            check("interrupted: exit 3, saying how many cases ran",
                  sweep_process.returncode == 3 and "the sweep was interrupted after" in err,
                  said + err)
            check("interrupted: sweep.csv holds every case, those that ran met",
                  len(table) == 1001 and 0 < len(ran) < 1001
                  and all(r["result"] == "met" for r in ran), [r["result"] for r in table][:5])

            # On a terminal the progress shows, cases done of all and the failures so far.
            primary, secondary = pty.openpty()
            done = subprocess.run(
                [args.sim, str(folder / "planted.toml"), "--plugin", args.plugin, "--out",
                 str(folder / "progress"), "--no-plot", "--vary", "beacon[3].position=300:1020:720",
                 "--vary", "driver[1].initialize.speed=80"],
                stdout=subprocess.PIPE, stderr=secondary, timeout=120)
            os.close(secondary)
            shown = b""
            try:
                while True:
                    chunk = os.read(primary, 4096)
                    if not chunk:
                        break
                    shown += chunk
            except OSError:
                pass
            os.close(primary)
            check("progress: shown on a terminal with the failures so far",
                  b"sweep: 2 of 2 cases, 1 failed" in shown, shown)
            check("progress: not in the output when that is no terminal",
                  b"2 of 2 cases" not in done.stdout, done.stdout)

        # A case that runs past --case-seconds is stopped and says so; the other one met.
        (folder / "long.toml").write_text('name = "long"\n[run]\ninterval_ms = 1\n'
                                          'max_s = 5000\n[trace]\nperiod_ms = 60000\n')
        out = folder / "long"
        code, said, err = sweep(folder / "long.toml", out, "--vary", "run.max_s=1:5000:4999",
                                "--case-seconds", "1", "--no-plot")
        table = rows(out) if (out / "sweep.csv").exists() else []
        check("too long: exit 1, the long case stopped and named",
              code == 1 and [r["result"] for r in table] == ["met", "timed out"]
              and "TIMED OUT case 2 (run.max_s=5000): ran longer than 1 s" in said, said + err)

    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
