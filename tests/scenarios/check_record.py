#!/usr/bin/env python3
"""Reads the run record a scenario left with a CSV reader and checks its columns.

usage: check_record.py MODE RECORD.csv TRACE.csv
"""
import csv
import sys

COLUMNS = {1: 6, 2: 12, 3: 15}
PERIOD_S = {1: 1.0, 2: 0.1, 3: 0.1}


def fail(message):
    print(f"check_record: {message}")
    sys.exit(1)


def main():
    mode, record_path, trace_path = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    with open(record_path, "rb") as f:
        raw = f.read()
    if not raw.endswith(b"\r\n") or raw.count(b"\n") != raw.count(b"\r\n"):
        fail("every line must end in CR LF")
    if any(b > 0x7E for b in raw):
        fail("the record is plain ASCII")
    with open(record_path, newline="") as f:
        rows = list(csv.reader(f, skipinitialspace=True))
    if not rows:
        fail("no lines")
    for number, row in enumerate(rows, 1):
        # Every format ends its last field with a comma: the reader sees one empty field more.
        if len(row) != COLUMNS[mode] + 1 or row[-1] != "":
            fail(f"line {number}: {len(row)} fields: {row}")
        try:
            [float(v) for v in row[:-1] if mode != 3 or v not in row[12:14]]
            if mode == 3:
                [int(v, 16) for v in row[12:14]]
        except ValueError as e:
            fail(f"line {number}: {e}")
    times = [float(r[0]) for r in rows]
    if any(b <= a for a, b in zip(times, times[1:])):
        fail("time must rise line by line")
    steps = [round(b - a, 3) for a, b in zip(times, times[1:])]
    if mode == 1 and any(s != 1.0 for s in steps):
        fail(f"mode 1 writes one line per second: {steps}")
    if mode != 1 and max(steps) > 0.1 + 0.02:
        fail(f"a tenth of a second went without a line: {max(steps)}")

    # The run lasted as long as the trace says; one line per boundary crossed.
    with open(trace_path, newline="") as f:
        trace = list(csv.DictReader(f))
    duration = (int(trace[-1]["time_ms"]) - int(trace[0]["time_ms"])) / 1000.0
    expected = duration / PERIOD_S[mode]
    if abs(len(rows) - expected) > 2:
        fail(f"{len(rows)} lines for {duration} s of run")
    speeds = [float(r[1]) for r in rows]
    if max(speeds) < 55.0:
        fail(f"the record never saw the train at speed: {max(speeds)}")
    if mode != 1:
        volts = [int(r[10]) for r in rows]
        if not all(0 <= v < 3000 for v in volts):
            fail("line voltage out of range")
        if len(set(volts)) < 3:
            fail("the line voltage never moved with the current")
        drawn = [float(r[9]) * int(r[10]) / 1000.0 - float(r[11]) for r in rows]
        if max(abs(d) for d in drawn) > 0.2:
            fail("power is current times voltage")
    print(f"check_record: mode {mode}: {len(rows)} lines, columns as they should be")


main()
