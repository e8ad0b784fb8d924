#!/usr/bin/env python3
"""How a velqa3-sim run ends when it cannot end as planned, as a user sees it.

A plug-in that crashes or calls exit(), Ctrl-C, a kill that cannot be caught, a full disc and a
standard output that cannot be written: each run must leave its trace and event log in whole
rows up to where it ended, hold in plugin-stderr.txt only what was written there, say on the
terminal how it ended, and exit with 3 (the run's record is incomplete).
"""
import argparse
import os
import pathlib
import resource
import signal
import subprocess
import sys
import tempfile
import time

SCENARIO = """name = "endings"
[run]
max_s = 60
[[driver]]
at_s = 1
horn = 1
"""

failures = []


def check(what, condition, detail=""):
    if not condition:
        failures.append(f"{what}: {detail}")


def whole_rows(what, out, at_least_ms):
    """The trace and the event log end on a line's end, every row as wide as the heading."""
    trace = (out / "trace.csv").read_bytes()
    events = (out / "events.log").read_bytes()
    check(f"{what}: trace.csv ends on a row's end", trace.endswith(b"\n"), trace[-80:])
    check(f"{what}: events.log ends on a line's end", events.endswith(b"\n"), events[-80:])
    if b"\0" in trace + events:
        check(f"{what}: no zero bytes", False)
    rows = trace.decode().splitlines()
    if not rows:
        check(f"{what}: trace.csv has its heading", False, "it is empty")
        return -1
    width = rows[0].count(",")
    check(f"{what}: every row as wide as the heading",
          all(row.count(",") == width for row in rows), rows[-1])
    last = int(rows[-1].split(",")[0]) if len(rows) > 1 else -1
    check(f"{what}: the trace reaches {at_least_ms} ms", last >= at_least_ms, f"it ends at {last}")
    return last


def sim(args, folder, out, extra=(), fault=None, **kwargs):
    scenario = folder / "endings.toml"
    scenario.write_text(SCENARIO)
    env = dict(os.environ)
    if fault:
        env["VELQA3_PROBE_FAULT"] = fault
    command = [args.sim, str(scenario), "--plugin", args.probe, "--out", str(out), "--no-plot",
               *extra]
    return subprocess.Popen(command, env=env, stdout=kwargs.pop("stdout", subprocess.PIPE),
                            stderr=subprocess.PIPE, text=True, **kwargs)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--demo", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as temp:
        folder = pathlib.Path(temp)

        # The plug-in crashes in its Elapse at 10 s.
        out = folder / "crash"
        _, err = sim(args, folder, out, fault="crash:10000").communicate(timeout=120)
        check("crash: the terminal says how the run ended",
              "the run ended abnormally at 10.016 s of simulated time: the plug-in or a "
              "companion crashed (SIGSEGV" in err, err)
        whole_rows("crash", out, 10000)
        check("crash: the event log ends with how",
              (out / "events.log").read_text().splitlines()[-1].endswith(
                  "the plug-in or a companion crashed (SIGSEGV, a memory fault)"))
        stderr_file = (out / "plugin-stderr.txt").read_bytes()
        check("crash: plugin-stderr.txt holds what was written", stderr_file ==
              b"probe horn: type 1\n", stderr_file[:60])

        # exit() while the plug-in is loaded, and in a frame.
        for fault, said in (("exit:3", "while the plug-in was being loaded"),
                            ("elapse-exit:4", "at 0.016 s of simulated time")):
            out = folder / fault.replace(":", "")
            run = sim(args, folder, out, fault=fault)
            _, err = run.communicate(timeout=120)
            check(f"{fault}: exit code 3", run.returncode == 3, run.returncode)
            check(f"{fault}: the terminal says so",
                  f"the run ended abnormally {said}: the plug-in or a companion ended the "
                  "process (it called exit())" in err, err)
            whole_rows(fault, out, -1)

        # Ctrl-C while the run follows the wall clock: the run ends as any other, Dispose
        # included; a kill that cannot be caught still leaves the rows flushed so far.
        for sent in (signal.SIGINT, signal.SIGKILL):
            out = folder / f"signal{int(sent)}"
            run = sim(args, folder, out, extra=["--pace", "4"])
            time.sleep(2.5)
            run.send_signal(sent)
            _, err = run.communicate(timeout=120)
            if sent == signal.SIGINT:
                check("Ctrl-C: exit code 3", run.returncode == 3, run.returncode)
                check("Ctrl-C: the terminal says so",
                      "the run was interrupted at " in err and "is incomplete" in err, err)
                events = (out / "events.log").read_text().splitlines()
                check("Ctrl-C: Dispose ends the log",
                      "Dispose: the run was interrupted (SIGINT, Ctrl-C)" in events[-1], events[-1])
            whole_rows(f"signal {int(sent)}", out, 5000)

        # A standard output that cannot be written.
        out = folder / "full"
        with open("/dev/full", "w") as full:
            run = sim(args, folder, out, stdout=full)
            _, err = run.communicate(timeout=120)
        check("/dev/full: exit code 3", run.returncode == 3, run.returncode)
        check("/dev/full: said", "cannot write the standard output: No space left on device"
              in err, err)

        # A disc that fills: first as the trace grows, then before the copies are made.
        def limited(size):
            def apply():
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
            return apply
        out = folder / "fsize"
        # Room for the copy of the probe (larger in a sanitizer build), not for the whole trace.
        room = max(100_000, os.path.getsize(args.probe) + 4096)
        run = sim(args, folder, out, preexec_fn=limited(room))
        _, err = run.communicate(timeout=120)
        check("file size: exit code 3", run.returncode == 3, run.returncode)
        check("file size: the file and the reason",
              f"cannot write {out / 'trace.csv'}: File too large" in err, err)
        out = folder / "fsize-copy"
        run = subprocess.run([args.sim, args.demo, "--plugin", args.plugin, "--out", str(out),
                              "--no-plot"], capture_output=True, text=True, timeout=120,
                             preexec_fn=limited(100_000))
        check("file size: a copy that fails is refused", run.returncode == 2, run.returncode)
        check("file size: the copy named", "File too large" in run.stderr, run.stderr)
        check("file size: the run folder it made goes", not out.exists())
    for failure in failures:
        print(failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
