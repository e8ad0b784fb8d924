#!/usr/bin/env python3
"""Opens velqa3-sim's run reports in headless Chromium, as a route author would open them in a
browser, and checks what the page drew against what the run wrote: every chart and series, the
strip's lamps and sounds (exactly those that changed, by their slot names), a mark for every
beacon and signal of the route, no script error, nothing blocked or fetched, and a screenshot
that is a picture and not a blank page.

With --scenario (repeatable) each scenario is run by --sim into a fresh folder first; with
--report an existing report is checked against the trace.csv and scenario.toml beside it (the
Windows host's report, say)."""
import argparse
import csv
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import tomllib
import zlib

parser = argparse.ArgumentParser()
parser.add_argument("--sim")
parser.add_argument("--plugin")
parser.add_argument("--scenario", action="append", default=[])
parser.add_argument("--report", action="append", default=[])
parser.add_argument("--chromium", default=shutil.which("chromium") or "chromium")
parser.add_argument("--screenshots", help="keep the screenshots in this folder")
args = parser.parse_args()

if shutil.which(args.chromium) is None:
    print(f"{args.chromium} not found: tools/install-deps installs Debian's chromium")
    sys.exit(1)

CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--hide-scrollbars",
                  "--window-size=1500,1300", "--virtual-time-budget=5000",
                  # Half the pixels: the page still lays out at 1500 by 1300, and the picture
                  # decodes in a quarter of the time.
                  "--force-device-scale-factor=0.5"]


def chromium(page, extra, work):
    profile = tempfile.mkdtemp(dir=work)
    return subprocess.run([args.chromium, *CHROMIUM_FLAGS, f"--user-data-dir={profile}", *extra,
                           "file://" + os.path.abspath(page)],
                          capture_output=True, text=True, timeout=120)


def png_pixels(path):
    """Width, height and the rows of an 8-bit RGB or RGBA PNG, as Chromium writes them."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 6), f"PNG of depth {depth}, colour type {colour}"
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    step = 3 if colour == 2 else 4
    raw, stride = zlib.decompress(idat), width * step
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - step] if i >= step else 0
            up, corner = previous[i], previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, step, rows


def check_screenshot(path):
    width, height, step, rows = png_pixels(path)
    colours, inked = set(), 0
    for row in rows[::4]:
        for x in range(0, width * step, step * 4):
            pixel = row[x:x + 3]
            colours.add(pixel)
            inked += pixel != b"\xff\xff\xff"
    sampled = (height // 4 + 1) * (width // 4 + 1)
    problems = []
    if len(colours) < 8:
        problems.append(f"the screenshot has {len(colours)} colours: a blank page")
    if inked < sampled * 0.02:
        problems.append(f"the screenshot is {100 * inked / sampled:.1f}% ink: a blank page")
    return problems


def expected(folder):
    """What the page must show, from the run's own files."""
    scenario = tomllib.load(open(os.path.join(folder, "scenario.toml"), "rb"))
    with open(os.path.join(folder, "trace.csv"), newline="") as f:
        table = list(csv.reader(f))
    head, body = table[0], table[1:]
    columns = {name: [row[i] for row in body if i < len(row)] for i, name in enumerate(head)}
    series = {"speed (km/h)", "brake output", "driver brake"}
    pattern = scenario.get("trace", {}).get("pattern_speed_panel")
    if pattern is not None and any(v not in ("", "0") for v in columns.get(f"panel_{pattern}", [])):
        series.add("pattern speed (km/h)")
    if any(v != "" for v in columns.get("line_voltage_v", [])):
        series |= {"line voltage (V)", "BC gauge (kPa)"}
    changed, still = [], []
    for name, values in columns.items():
        match = re.fullmatch(r"(panel|sound)_(\d+)", name)
        if not match or (match[1] == "panel" and int(match[2]) == pattern):
            continue
        (changed if len(set(values)) > 1 else still).append(f"{match[1]} {match[2]}")
    beacons = [b.get("type") for b in scenario.get("beacon", [])]
    signals = [s.get("id") for s in scenario.get("signal", [])]
    return series, changed, still, beacons, signals


def check_report(page, work, shots):
    problems = []
    html = open(page, encoding="utf-8").read()
    if re.search(r"<(script|link|img|iframe)[^>]*\s(src|href)=", html, re.I):
        problems.append("the page loads a file from outside itself")
    dom = chromium(page, ["--dump-dom"], work)
    found = re.search(r'<pre id="report-status">(.*?)</pre>', dom.stdout, re.S)
    if dom.returncode != 0 or not found:
        return problems + [f"Chromium gave no report status (exit {dom.returncode}): "
                           f"{dom.stderr[-2000:]}"]
    status = json.loads(found[1].replace("&quot;", '"').replace("&lt;", "<").replace("&gt;", ">")
                        .replace("&amp;", "&"))
    if status["errors"]:
        problems.append(f"errors in the page: {status['errors']}")
    series, changed, still, beacons, signals = expected(os.path.dirname(page))
    want_charts = 1 + ("line voltage (V)" in series) + bool(changed)
    if status["charts"] != want_charts:
        problems.append(f"{status['charts']} charts drawn, {want_charts} expected")
    missing = series - set(status["series"])
    if missing:
        problems.append(f"series missing: {sorted(missing)}")
    strip = [" ".join(name.split(" ")[:2]) for name in status["strip"]]
    if sorted(strip) != sorted(changed):
        problems.append(f"the strip shows {strip}; the slots that changed are {changed}")
    if set(strip) & set(still):
        problems.append(f"the strip shows slots that never changed: {set(strip) & set(still)}")
    marks = status["marks"]
    for kind, wanted in (("beacon", beacons), ("signal", signals)):
        for name in wanted:
            prefix = f"{kind}:{name}{' ' if kind == 'beacon' else ':'}"
            if not any(m.startswith(prefix) for m in marks):
                problems.append(f"no mark for the {kind} {name}")
    shot = os.path.join(work, "shot.png")
    taken = chromium(page, [f"--screenshot={shot}"], work)
    if taken.returncode != 0 or not os.path.exists(shot):
        return problems + [f"Chromium took no screenshot: {taken.stderr[-2000:]}"]
    problems += check_screenshot(shot)
    if shots:
        os.makedirs(shots, exist_ok=True)
        shutil.copy(shot, os.path.join(shots, os.path.basename(os.path.dirname(page)) + ".png"))
    os.remove(shot)
    return problems


failed = 0
with tempfile.TemporaryDirectory() as work:
    reports = list(args.report)
    for scenario in args.scenario:
        name = os.path.splitext(os.path.basename(scenario))[0]
        out = os.path.join(work, name)
        run = subprocess.run([args.sim, scenario, "--plugin", args.plugin, "--out", out,
                              "--no-plot"], capture_output=True, text=True, timeout=300)
        if run.returncode not in (0, 1):  # an expectation may fail; the report is still due
            print(f"FAILED {name}: velqa3-sim exit {run.returncode}: {run.stderr[-2000:]}")
            failed += 1
            continue
        reports.append(os.path.join(out, "report.html"))
    for page in reports:
        problems = check_report(page, work, args.screenshots)
        label = os.path.basename(os.path.dirname(page))
        for p in problems:
            print(f"FAILED {label}: {p}")
        if not problems:
            print(f"ok {label}")
        failed += bool(problems)
print(f"{len(args.scenario) + len(args.report) - failed} passed, {failed} failed")
sys.exit(1 if failed else 0)
