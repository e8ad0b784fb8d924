#!/usr/bin/env python3
"""velqa3-watch stops on SIGINT and on SIGTERM while its reader does not read.

`velqa3-watch --json | sleep 30` used to hang in a write that the signal did not cut short. Here
the output is a pipe nobody reads; datagrams fill it, then the signal must end the watch within a
second, and the lines it could not write are counted on stderr. A reader that keeps up must get
every line: a burst of datagrams larger than the pipe holds arrives whole. Arguments that
hold terminal commands come back in its errors as text."""
import argparse
import json
import os
import signal
import socket
import subprocess
import sys
import threading
import time


def start(watch, stdout):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        free = s.getsockname()[1]
    proc = subprocess.Popen([watch, str(free), "--json", "--bind", "127.0.0.1"], stdout=stdout,
                            stderr=subprocess.PIPE, text=True)
    line = proc.stderr.readline()
    if "listening on 127.0.0.1 port" not in line:
        sys.exit(f"velqa3-watch did not start: {line!r}")
    return proc, int(line.split()[-1])


def send(port, count, size):
    body = b'{"Ats":{"Spd":1.0}, "Pad":"' + b"x" * size + b'"}\0'
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        for _ in range(count):
            s.sendto(body, ("127.0.0.1", port))
            time.sleep(0.001)


def blocked_reader(watch, signum):
    read_end, write_end = os.pipe()
    try:
        proc, port = start(watch, write_end)
        os.close(write_end)
        # 3 MB: the 64 KiB pipe and the watch's own megabyte of queue both fill up.
        send(port, 400, 8000)
        time.sleep(0.3)
        if proc.poll() is not None:
            return [f"{signum.name}: velqa3-watch ended before the signal: {proc.returncode}"]
        sent_at = time.monotonic()
        proc.send_signal(signum)
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            return [f"{signum.name}: velqa3-watch did not stop while its output was blocked"]
        took = time.monotonic() - sent_at
        err = proc.stderr.read()
        failures = []
        if took > 1.0:
            failures.append(f"{signum.name}: stopping took {took:.2f} s")
        if proc.returncode != 0:
            failures.append(f"{signum.name}: exit code {proc.returncode}: {err}")
        if "line(s) not written" not in err:
            failures.append(f"{signum.name}: the lost lines were not counted: {err!r}")
        return failures
    finally:
        os.close(read_end)


def is_message(line):
    try:
        return json.loads(line)["Ats"]["Spd"] == 1.0
    except (ValueError, KeyError, TypeError):
        return False


def keeping_up(watch):
    proc, port = start(watch, subprocess.PIPE)
    lines = []
    reader = threading.Thread(target=lambda: lines.extend(proc.stdout))
    reader.start()
    # Bursts of 160 kB, each more than the pipe holds at once but well within what the socket
    # queues, so that what is measured is the watch and not how busy the machine is.
    for burst in range(1, 11):
        send(port, 20, 8000)
        deadline = time.monotonic() + 10
        while len(lines) < 20 * burst and time.monotonic() < deadline:
            time.sleep(0.01)
    proc.send_signal(signal.SIGINT)
    proc.wait(timeout=5)
    reader.join()
    err = proc.stderr.read()
    failures = []
    whole = sum(1 for line in lines if is_message(line))
    if len(lines) != 200 or whole != 200:
        failures.append(f"a reader that keeps up got {len(lines)} of 200 lines, {whole} whole")
    if "not written" in err:
        failures.append(f"lines were dropped for a reader that keeps up: {err!r}")
    return failures


def hostile_arguments(watch):
    """A command line is shown, never obeyed, by the terminal the errors go to."""
    failures = []
    for argv in (["\x1b]0;owned\x07"], ["--bind", "\x1b[2J"], ["--for", "1\u009b"]):
        done = subprocess.run([watch] + argv, capture_output=True, timeout=10)
        if done.returncode == 0 or any(b < 0x20 and b != 0x0A or b == 0x7F
                                       for b in done.stderr) or b"\xc2\x9b" in done.stderr:
            failures.append(f"{argv!r} gave {done.returncode}: {done.stderr!r}")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--watch", required=True)
    args = parser.parse_args()
    failures = []
    for signum in (signal.SIGTERM, signal.SIGINT):
        failures += blocked_reader(args.watch, signum)
    failures += keeping_up(args.watch)
    failures += hostile_arguments(args.watch)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
