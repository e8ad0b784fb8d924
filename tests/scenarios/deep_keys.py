#!/usr/bin/env python3
"""velqa3-sim refuses keys of many parts before its TOML parser recurses through them.

A dotted key or a header of tens of thousands of parts once ran the parser off the stack: 16 000
parts (32 kB) were enough on a Windows thread's 1 MB. Each file must end in exit 2 with its
file, line and key named, whatever the build's stack.
"""
import argparse
import pathlib
import subprocess
import sys
import tempfile

CASES = [
    ("dotted.toml", "name = \"deep\"\n" + "a." * 16000 + "a = 1\n",
     "dotted.toml:2: a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a...: the key has 16001 parts"),
    ("longer.toml", "a." * 150000 + "a = 1\n", "longer.toml:1: a.a.a.a.a.a.a.a.a.a.a.a.a.a.a"),
    ("header.toml", "[run]\nmax_s = 1\n[" + "h." * 400000 + "h]\n",
     "header.toml:3: h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h.h...: the key has 400001 parts"),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--emulator", default="")
    parser.add_argument("--sim", required=True)
    args = parser.parse_args()
    emulator = [args.emulator] if args.emulator else []
    failures = []
    with tempfile.TemporaryDirectory() as temp:
        folder = pathlib.Path(temp)
        for name, text, said in CASES:
            (folder / name).write_text(text)
            out = folder / ("run-" + name)
            done = subprocess.run(emulator + [args.sim, str(folder / name), "--out", str(out),
                                              "--no-plot"],
                                  capture_output=True, text=True, timeout=240)
            if done.returncode != 2 or said not in done.stderr:
                failures.append(f"{name}: exit {done.returncode}, said {done.stderr[:300]!r}")
            if out.exists():
                failures.append(f"{name}: a run folder was left")
    for failure in failures:
        print(failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
