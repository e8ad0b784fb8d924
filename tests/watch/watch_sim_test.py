#!/usr/bin/env python3
"""velqa3-watch against the plug-in driven by velqa3-sim: the demo drive with telemetry on.

Both modes are run on a fresh loopback port: --json must print every status and stop datagram
the run sent, each one line of valid JSON, and the table must end showing the last of them.
The number of datagrams is counted from the trace: one status per 500 ms boundary and one stop
message per 1000 ms boundary of the frame clock, repeated in suspended frames."""
import argparse
import csv
import json
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import time

STATUS_KEYS = ["Ats", "Sig", "NSD", "Lim", "LimDo", "Beacon"]
STOP_KEYS = ["Time", "Location", "PanelLocation", "Speed", "Stop", "StaId", "Crawl"]


def free_port():
    # The settings accept ports from 49152 on only.
    for _ in range(200):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        if port >= 49152:
            return port
    sys.exit("no free port from 49152 on")


def expected_counts(trace_path):
    """Datagrams the plug-in must have sent, from the frame clock of each host call."""
    status = stop = 0
    clock = interval = 0
    with open(trace_path, newline="") as f:
        for row in csv.DictReader(f):
            h, m, s = row["clock"].split(":")
            t = round((int(h) * 3600 + int(m) * 60 + float(s)) * 1000)
            if row["suspended"] == "0":
                interval, clock = t - clock, t
            if interval > 0:
                status += (clock // 500) != ((clock - interval) // 500)
                stop += (clock // 1000) != ((clock - interval) // 1000)
    return status, stop


def run(args, work, port, json_mode):
    out_path = os.path.join(work, "watch-json.txt" if json_mode else "watch-table.txt")
    command = [args.watch, str(port), "--bind", "127.0.0.1"] + (["--json"] if json_mode else [])
    with open(out_path, "w") as out:
        watch = subprocess.Popen(command, stdout=out, stderr=subprocess.PIPE, text=True)
        line = watch.stderr.readline()
        if "listening" not in line:
            sys.exit(f"velqa3-watch did not start: {line!r}")
        # What is not JSON is counted; the table never shows it, --json prints it repaired.
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.sendto(b"not json\0", ("127.0.0.1", port))
            s.sendto(b'{"Ats":{"Spd":nan}}\0', ("127.0.0.1", port))
        sim = subprocess.run(args.emulator + [args.sim, args.scenario, "--plugin", args.plugin, "--settings",
                              os.path.join(work, "velqa3.dat"), "--out",
                              os.path.join(work, "run-json" if json_mode else "run-table"),
                              "--no-plot", "--pace", "60"], capture_output=True, text=True)
        if sim.returncode != 0:
            sys.exit(f"velqa3-sim failed ({sim.returncode}):\n{sim.stdout}{sim.stderr}")
        time.sleep(0.5)
        watch.send_signal(signal.SIGINT)
        err = watch.stderr.read()
        if watch.wait(timeout=10) != 0:
            sys.exit(f"velqa3-watch exited {watch.returncode}: {err}")
    said = ("2 datagram(s) were not JSON in UTF-8" if json_mode
            else "ignored 2 datagram(s) that were not JSON")
    if said not in err:
        sys.exit(f"velqa3-watch did not report the two bad datagrams: {err!r}")
    with open(out_path) as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--watch", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--scenario", required=True)
    parser.add_argument("--settings", required=True, help="settings with telemetry on")
    parser.add_argument("--emulator", action="append", default=[],
                        help="runs velqa3-sim (a Windows build under wine: Windows sockets "
                             "sending to a Linux receiver)")
    args = parser.parse_args()

    failures = []
    with tempfile.TemporaryDirectory(prefix="velqa3-watch-") as work:
        port = free_port()
        # Both messages to the one port: a CastPort line above the Port line is not moved off it.
        with open(args.settings) as f:
            settings = re.sub(r"^Port=\d+$", f"CastPort={port}\nPort={port}", f.read(),
                              flags=re.M)
        with open(os.path.join(work, "velqa3.dat"), "w") as f:
            f.write(settings)

        lines = run(args, work, port, True).splitlines()
        want_status, want_stop = expected_counts(os.path.join(work, "run-json", "trace.csv"))
        messages = [json.loads(line) for line in lines]  # every line valid JSON
        repaired = [m for m in messages if list(m)[:1] == ["Repaired"]]
        if [m["Text"] for m in repaired] != ["not json", '{"Ats":{"Spd":nan}}']:
            failures.append(f"the datagrams that are not JSON came out as {repaired}")
        messages = messages[len(repaired):]
        status = [m for m in messages if list(m)[:1] == ["Ats"]]
        stop = [m for m in messages if list(m)[:1] == ["Time"]]
        if len(status) + len(stop) != len(messages):
            failures.append(f"{len(messages) - len(status) - len(stop)} lines of neither kind")
        if len(status) != want_status or len(stop) != want_stop:
            failures.append(f"status {len(status)} / stop {len(stop)} datagrams, the trace "
                            f"calls for {want_status} / {want_stop}")
        if any(list(m) != STATUS_KEYS for m in status):
            failures.append("a status message with other members")
        if any(list(m) != STOP_KEYS for m in stop):
            failures.append("a stop message with other members")
        if not any(m["Stop"] == 1 and m["StaId"] == 2 for m in stop):
            failures.append("no stop message announced the stop at station 2")
        seconds = [m["Time"] for m in stop]
        if seconds != list(range(seconds[0], seconds[0] + len(seconds))):
            failures.append("stop messages are not one per second")

        table = run(args, work, port, False)
        last = table.split("velqa3-watch: port")[-1]
        words = " ".join(last.split())
        final_stop = stop[-1]
        for want in [f"status {want_status} stop {want_stop} ignored 2",
                     f"Station {final_stop['StaId']} stops there: no",
                     f"Location {final_stop['Location']} m",
                     f"Speed {status[-1]['Ats']['Spd']:.1f} km/h"]:
            if want not in words:
                failures.append(f"the final table lacks {want!r}:\n{last}")

    for failure in failures:
        print("FAIL:", failure)
    print(f"velqa3-watch: {len(status)} status and {len(stop)} stop messages seen")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
